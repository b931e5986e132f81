#include "frmtip.h"

#include "codepage.h"
#include "platform/filesystem.h"
#include "settingsservice.h"
#include "versionrecord.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

/// `text` with every `from` replaced by `to`; `from` is matched with ASCII
/// letter case ignored.
std::string replaced(std::string text, const std::string& from, const std::string& to,
                     bool ignoreCase = false) {
    auto same = [ignoreCase](char a, char b) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
        return ignoreCase ? lower(a) == lower(b) : a == b;
    };
    for (size_t at = 0; at + from.size() <= text.size();) {
        if (std::equal(from.begin(), from.end(), text.begin() + static_cast<std::ptrdiff_t>(at),
                       same)) {
            text.replace(at, from.size(), to);
            at += to.size();
        } else {
            ++at;
        }
    }
    return text;
}

/// A label shows CR LF as two breaks; one is what the text means.
std::string oneBreak(const std::string& text) {
    return replaced(text, "\r\n", "\n");
}

} // namespace

std::string frmTip::missingFileMessage() {
    return std::string("That the ") + kFileName + " file was not found? " + "\r\n" + "\r\n" +
           "Create a text file named " + kFileName + " using NotePad with 1 tip per line. " +
           "Then place it in the same directory as the application. ";
}

frmTip::frmTip(SettingsService& settings, const std::string& tipsFile, Owner owner)
    : Form("frmTip", owner), m_settings(settings) {
    setCaption("Tip of the Day");
    setIcon("tips.xpm");
    setSize(5415, 3285);
    Picture1.setBackColor(0xFFFFFF);
    Picture1.setBorder(true);
    Image1.setPicture("tips.xpm");
    for (forms::Label* l : {&Label1, &lblTipText})
        l->setBackColor(0xFFFFFF);
    Label1.setFont({"MS Sans Serif", 8.25, true});
    lblTipText.setWordWrap(true);

    // OK is the cancel button too: Esc closes the window like a dialog does.
    cmdOK.setDefault(true);
    cmdOK.setCancel(true);
    cmdOK.Click = [this] { Unload(); };
    cmdNextTip.Click = [this] { ShowRandomTip(); };
    chkLoadTipsAtStartup.Click = [this] { chkLoadTipsAtStartup_Click(); };
    Form_Load(tipsFile);
}

void frmTip::Form_Load(const std::string& tipsFile) {
    setTopMost(true);
    chkLoadTipsAtStartup.setValue(forms::vbChecked); // a change, so it stores "1"
    m_random.seed(static_cast<std::mt19937::result_type>(
        std::chrono::system_clock::now().time_since_epoch() / std::chrono::milliseconds(1)));
    if (!LoadTips(tipsFile))
        lblTipText.setCaption(oneBreak(missingFileMessage()));
}

bool frmTip::LoadTips(const std::string& sFIle) {
    std::error_code error;
    // A UTF-8 name, never read through the ANSI code page.
    const std::filesystem::path path = trapline::platform::toPath(sFIle);
    if (sFIle.empty() || !std::filesystem::is_regular_file(path, error))
        return false;
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return false;
    // The tips file is ANSI text in the Russian code page, one tip a line.
    const std::string bytes{std::istreambuf_iterator<char>(file), {}};
    const std::string text = trapline::Codepage().toUtf8(bytes);
    std::vector<std::string> lines;
    for (size_t start = 0;;) {
        const size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end - start));
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    if (!lines.empty() && lines.back().empty())
        lines.pop_back(); // the end of the last line, not a line of its own
    for (std::string& line : lines) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        m_tips.push_back(replaced(line, "vbCrLf", "\r\n", true));
    }
    ShowRandomTip();
    return true;
}

void frmTip::ShowRandomTip() {
    const double r = std::uniform_real_distribution<double>(0.0, 1.0)(m_random);
    const int count = static_cast<int>(m_tips.size());
    // The distribution may round up to 1.0 itself; the last tip is the most it gives.
    m_currentTip = std::min(static_cast<int>(std::floor(r * count + 1)), std::max(count, 1));
    DisplayCurrentTip();
}

void frmTip::DisplayCurrentTip() {
    if (m_tips.empty())
        return;
    lblTipText.setCaption(oneBreak(m_tips[static_cast<size_t>(m_currentTip - 1)]));
}

void frmTip::chkLoadTipsAtStartup_Click() {
    m_settings.saveSetting(VersionRecord::kProductName, "Options", "Show Tips at Startup",
                           chkLoadTipsAtStartup.Value() == forms::vbChecked ? "1" : "0");
}
