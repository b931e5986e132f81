#include "templatefiles.h"

#include "commondlg.h"
#include "diskfile.h"
#include "forms.h"
#include "handlerinserter.h"
#include "messagebox.h"

#include <algorithm>
#include <cctype>

namespace {

const char* const kTitle = "TRAPLINE";
constexpr int32_t kPathMustExist = 0x800;
constexpr int32_t kFileMustExist = 0x1000;

/// What the open and save dialogs share.
void setUp(CommonDLG& dlg, const std::string& title, int32_t flags, const std::string& folder,
           const std::string& filter, void* owner) {
    dlg.setDialogTitle(title);
    dlg.setCancelError(true);
    dlg.setHwnd(owner);
    dlg.setFlags(flags);
    dlg.setInitDir(folder);
    dlg.setFilter(filter);
    dlg.setFilterIndex(1);
}

void replaceAll(std::string& text, std::string_view from, std::string_view to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

void* windowOf(forms::Form* owner) {
    return owner ? owner->windowHandle() : nullptr;
}

} // namespace

TemplateFiles::TemplateFiles(Services services) : m_services(std::move(services)) {}

trapline::Codepage TemplateFiles::codepage() const {
    return m_services.codepage ? m_services.codepage() : trapline::Codepage();
}

void TemplateFiles::report(long number, const std::string& description) const {
    m_services.messages.show(std::to_string(number) + ": " + description, kTitle,
                             trapline::MsgIcon::Critical, trapline::MsgButtons::Ok);
}

bool TemplateFiles::usable(const std::string& text, const std::string& name) const {
    const auto fault = trapline::HandlerInserter::templateFault(text);
    if (fault)
        report(trapline::errors::BadTemplate,
               name + ", line " + std::to_string(fault->line) + ": " + fault->reason);
    return !fault;
}

std::string TemplateFiles::boxText(const std::string& fileText) {
    std::string text = fileText;
    replaceAll(text, "\n", "\r\n");
    return text;
}

std::string TemplateFiles::fileText(const std::string& boxText) {
    std::string text = boxText;
    replaceAll(text, "\r\n", "\n");
    return text;
}

std::string TemplateFiles::withTemplateExtension(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (name.find(".ert") != std::string::npos)
        return path;
    return path + ".ert";
}

std::string TemplateFiles::LoadTextFromFile(forms::Form* owner) {
    return load(windowOf(owner));
}

void TemplateFiles::SaveTextToFile(const std::string& text, forms::Form* owner) {
    save(text, windowOf(owner));
}

std::string TemplateFiles::load(void* owner) {
    CommonDLG dlg;
    setUp(dlg, "Укажите путь к файлу", kPathMustExist | kFileMustExist, m_services.addInFolder,
          "On Error Template|*.ert|Text File|*.txt|All Files|*.*", owner);
    if (DlgResult<void> shown = dlg.ShowOpen(); !shown) {
        if (shown.error().number != dlgerrors::Cancelled)
            report(shown.error().number, shown.error().description);
        return {};
    }
    const std::string path = dlg.Filename();
    if (path.empty())
        return {};
    auto read = trapline::DiskFile::read(path);
    if (!read) {
        report(read.error().number, path + ": " + read.error().description);
        return {};
    }
    // The box splits lines at "\n"; the file keeps the CR LF of the text
    // boxes, and a file written elsewhere may have LF alone.
    std::string text = codepage().toUtf8(read->bytes);
    if (!usable(text, path))
        return {};
    replaceAll(text, "\r\n", "\n");
    return text;
}

void TemplateFiles::save(const std::string& text, void* owner) {
    if (text.empty())
        return;
    // Checked before the dialog: a text that cannot be kept is not worth a file name.
    std::string lines = text;
    replaceAll(lines, "\n", "\r\n");
    if (!usable(lines, "The template"))
        return;
    auto bytes = codepage().fromUtf8(lines);
    if (!bytes) {
        report(bytes.error().number, bytes.error().description);
        return;
    }
    CommonDLG dlg;
    setUp(dlg, "Сохранить в файл", kPathMustExist, m_services.addInFolder,
          "On Error Template|*.ert", owner);
    if (DlgResult<void> shown = dlg.ShowSave(); !shown) {
        if (shown.error().number != dlgerrors::Cancelled)
            report(shown.error().number, shown.error().description);
        return;
    }
    if (dlg.Filename().empty())
        return;
    const std::string path = withTemplateExtension(dlg.Filename());
    // The text as it stands, no line end after it: saved and loaded again,
    // a template comes back unchanged. The replacement is atomic.
    auto written = trapline::DiskFile::replace(path, *bytes, nullptr);
    if (!written)
        report(written.error().number, path + ": " + written.error().description);
}
