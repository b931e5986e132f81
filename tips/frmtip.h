#pragma once

#include <QDialog>
#include <QRandomGenerator>
#include <QStringList>

class QCheckBox;
class QLabel;
class QPushButton;
class SettingsStore;

/// "Tip of the Day": a random tip from TIPOFDAY.TXT in the add-in's folder.
class frmTip : public QDialog {
    Q_OBJECT
public:
    /// Loads the window (its load sequence runs here). `tipsFile` is the full
    /// name of the tips file.
    frmTip(SettingsStore& settings, QString tipsFile, QWidget* owner = nullptr);

    static constexpr const char* kFileName = "TIPOFDAY.TXT";
    /// What the tip label says when the tips file is missing.
    static QString missingFileMessage();

    QLabel* lblTipText;
    QLabel* Label1;
    QPushButton* cmdOK;
    QPushButton* cmdNextTip;
    QCheckBox* chkLoadTipsAtStartup;

    const QStringList& tips() const { return m_tips; }
    int CurrentTip() const { return m_currentTip; }

private:
    bool LoadTips(const QString& sFIle);
    void ShowRandomTip();
    void DisplayCurrentTip();
    void chkLoadTipsAtStartup_Click();

    SettingsStore& m_settings;
    QStringList m_tips;
    int m_currentTip = 0;
    QRandomGenerator m_random;
};
