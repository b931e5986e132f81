#include "frmabout.h"

#include "messagebox.h"
#include "registrylookup.h"
#include "versionrecord.h"

#include "platform/filesystem.h"

#include <filesystem>

std::string frmAbout::versionText(int major, int minor, int revision) {
    return "Version " + std::to_string(major) + "." + std::to_string(minor) + "." +
           std::to_string(revision);
}

frmAbout::frmAbout(RegistryLookup& registry, trapline::MessageBoxService& messages, Starter start,
                   Owner owner)
    : Form("frmAbout", owner), m_registry(registry), m_messages(messages),
      m_start(std::move(start)) {
    setSize(5805, 5220);
    setCaption("About MyApp");
    picIcon.setPicture("trapline.xpm", true);
    Image1.setPicture("about.xpm", true);
    lblTitle.setFont({"HeliosCond", 14.25, true});
    lblTitle.setForeColor(0x000080);
    lblDescription.setWordWrap(true);
    lblLegal.setWordWrap(true);
    Label1.setHandPointer(true);
    cmdOK.setDefault(true);
    cmdOK.setCancel(true);
    cmdOK.Click = [this] { Unload(); };
    cmdSysInfo.Click = [this] { StartSysInfo(); };
    Form_Load();
}

void frmAbout::Form_Load() {
    setTopMost(true);
    setCaption(std::string("About ") + VersionRecord::kTitle);
    lblVersion.setCaption(
        versionText(VersionRecord::kMajor, VersionRecord::kMinor, VersionRecord::kRevision));
    lblTitle.setCaption(VersionRecord::kTitle);
    lblDescription.setCaption(VersionRecord::kFileDescription);
}

bool frmAbout::GetKeyValue(unsigned KeyRoot, const std::string& KeyName,
                           const std::string& SubKeyRef, std::string& KeyVal) {
    RegistryLookup::Value value;
    if (!m_registry.query(KeyRoot, KeyName, SubKeyRef, value)) {
        KeyVal.clear();
        return false;
    }
    if (value.type == RegistryLookup::Type::Text) {
        std::string bytes = value.bytes.substr(0, 1024);
        // The stored size counts a terminating NUL when there is one.
        if (!bytes.empty() && bytes.back() == '\0')
            bytes.pop_back();
        KeyVal = bytes;
    } else if (value.type == RegistryLookup::Type::Number) {
        KeyVal = std::to_string(value.number);
    }
    return true;
}

void frmAbout::StartSysInfo() {
    std::string path;
    const unsigned root = RegistryLookup::HKEY_LOCAL_MACHINE;
    if (GetKeyValue(root, "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", "PATH", path)) {
        if (m_start(path))
            return;
    } else if (GetKeyValue(root, "SOFTWARE\\Microsoft\\Shared Tools Location", "MSINFO", path)) {
        // The registry's text is UTF-8 here; the path is made from it as such,
        // never through the ANSI code page.
        const auto full = trapline::platform::toPath(path) / "MSINFO32.EXE";
        const std::u8string utf8 = full.u8string();
        const std::string program(utf8.begin(), utf8.end());
        std::error_code error;
        if (std::filesystem::is_regular_file(full, error) && m_start(program))
            return;
    }
    m_messages.show("System Information Is Unavailable At This Time", VersionRecord::kTitle,
                    trapline::MsgIcon::None, trapline::MsgButtons::Ok);
}
