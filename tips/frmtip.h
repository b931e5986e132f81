#pragma once

#include "forms.h"

#include <random>
#include <string>
#include <vector>

class SettingsService;

/// "Tip of the Day": a random tip from TIPOFDAY.TXT in the add-in's folder.
class frmTip : public forms::Form {
public:
    /// Loads the window (its load sequence runs here). `tipsFile` is the full
    /// name of the tips file.
    frmTip(SettingsService& settings, const std::string& tipsFile, Owner owner = {});

    static constexpr const char* kFileName = "TIPOFDAY.TXT";
    /// What the tip label says when the tips file is missing.
    static std::string missingFileMessage();

    // In the order of the design; later ones lie above earlier ones.
    forms::Picture Picture1{*this, "Picture1", {120, 120, 3735, 2715}};
    forms::Picture Image1{Picture1, "Image1", {90, 90, 480, 480}};
    forms::Label Label1{Picture1, "Label1", {540, 180, 2655, 255}, "Знаете ли Вы..."};
    forms::Label lblTipText{Picture1, "lblTipText", {180, 615, 3255, 1860}};
    forms::CommandButton cmdOK{*this, "cmdOK", {4080, 120, 1215, 375}, "OK"};
    forms::CommandButton cmdNextTip{*this, "cmdNextTip", {4080, 600, 1215, 375}, "&Next Tip"};
    forms::CheckBox chkLoadTipsAtStartup{
        *this, "chkLoadTipsAtStartup", {120, 2940, 3450, 315}, "&Показывать окно при запуске"};

    /// The tips read, each tip's "vbCrLf" markers made line breaks.
    const std::vector<std::string>& tips() const { return m_tips; }
    int CurrentTip() const { return m_currentTip; }

private:
    void Form_Load(const std::string& tipsFile);
    bool LoadTips(const std::string& sFIle);
    void ShowRandomTip();
    void DisplayCurrentTip();
    void chkLoadTipsAtStartup_Click();

    SettingsService& m_settings;
    std::vector<std::string> m_tips;
    int m_currentTip = 0;
    std::mt19937 m_random;
};
