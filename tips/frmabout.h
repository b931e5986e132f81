#pragma once

#include "forms.h"
#include "versionrecord.h"

#include <functional>
#include <string>

class RegistryLookup;
namespace trapline {
class MessageBoxService;
}

/// The About box: title, version, description, legal notice, and a button
/// that starts the System Information program where the registry names one.
class frmAbout : public forms::Form {
public:
    /// Starts a program; false when it could not be started.
    using Starter = std::function<bool(const std::string& program)>;

    frmAbout(RegistryLookup& registry, trapline::MessageBoxService& messages, Starter start,
             Owner owner = {});

    /// "Version major.minor.revision".
    static std::string versionText(int major, int minor, int revision);
    /// Reads a registry value as text: the value's text without one
    /// terminating NUL, or a number in decimal.
    bool GetKeyValue(unsigned KeyRoot, const std::string& KeyName, const std::string& SubKeyRef,
                     std::string& KeyVal);
    void StartSysInfo();

    // In the order of the design; later ones lie above earlier ones.
    forms::Picture picIcon{*this, "picIcon", {240, 240, 720, 720}};
    forms::Picture Image1{*this, "Image1", {240, 1575, 480, 480}};
    forms::Label lblTitle{*this, "lblTitle", {1005, 1575, 4515, 480}, "Application Title"};
    forms::Label lblVersion{*this, "lblVersion", {1005, 2130, 4515, 225}, "Version"};
    forms::Label lblDescription{
        *this, "lblDescription", {1005, 2475, 4515, 1170}, "App Description"};
    // The legal notice takes the free room left of the buttons, so that no
    // control of the box moves or shrinks for it.
    forms::Label lblLegal{
        *this, "lblLegal", {270, 4065, 4005, 480}, VersionRecord::kLegalCopyright};
    forms::Label Label1{*this, "Label1", {270, 3690, 5235, 240}, VersionRecord::kContact};
    forms::Line Line1{*this, "Line1", {225, 3975, 5310, 30}};
    forms::CommandButton cmdOK{*this, "cmdOK", {4425, 4065, 1260, 345}, "OK"};
    forms::CommandButton cmdSysInfo{
        *this, "cmdSysInfo", {4440, 4425, 1245, 345}, "&System Info..."};

private:
    void Form_Load();

    RegistryLookup& m_registry;
    trapline::MessageBoxService& m_messages;
    Starter m_start;
};
