#include "templatefiles.h"

#include "commondlg.h"
#include "diskfile.h"
#include "messagebox.h"

#include <QFile>

namespace {

const char* const kTitle = "TRAPLINE";
constexpr int32_t kPathMustExist = 0x800;
constexpr int32_t kFileMustExist = 0x1000;

/// What the open and save dialogs share.
void setUp(CommonDLG& dlg, const QString& title, int32_t flags, const QString& folder,
           const QString& filter, QWidget* owner) {
    dlg.setDialogTitle(title);
    dlg.setCancelError(true);
    dlg.setHwnd(owner);
    dlg.setFlags(flags);
    dlg.setInitDir(folder);
    dlg.setFilter(filter);
    dlg.setFilterIndex(1);
}

std::string localPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

} // namespace

TemplateFiles::TemplateFiles(Services services) : m_services(std::move(services)) {}

trapline::Codepage TemplateFiles::codepage() const {
    return m_services.codepage ? m_services.codepage() : trapline::Codepage();
}

void TemplateFiles::report(long number, const QString& description) const {
    m_services.messages.show(std::to_string(number) + ": " + description.toStdString(), kTitle,
                             trapline::MsgIcon::Critical, trapline::MsgButtons::Ok);
}

QString TemplateFiles::withTemplateExtension(const QString& path) {
    const qsizetype slash = std::max(path.lastIndexOf(u'/'), path.lastIndexOf(u'\\'));
    const QString name = path.mid(slash + 1);
    if (name.contains(".ert", Qt::CaseInsensitive))
        return path;
    return path + ".ert";
}

QString TemplateFiles::LoadTextFromFile(QWidget* owner) {
    CommonDLG dlg;
    setUp(dlg, QString::fromUtf8("Укажите путь к файлу"), kPathMustExist | kFileMustExist,
          m_services.addInFolder, "On Error Template|*.ert|Text File|*.txt|All Files|*.*", owner);
    if (DlgResult<void> shown = dlg.ShowOpen(); !shown) {
        if (shown.error().number != dlgerrors::Cancelled)
            report(shown.error().number, shown.error().description);
        return {};
    }
    const QString path = dlg.Filename();
    if (path.isEmpty())
        return {};
    auto read = trapline::DiskFile::read(localPath(path));
    if (!read) {
        report(read.error().number, path + ": " + QString::fromStdString(read.error().description));
        return {};
    }
    // The box splits lines at "\n"; the file keeps the CR LF of the text
    // boxes, and a file written elsewhere may have LF alone.
    QString text = QString::fromStdString(codepage().toUtf8(read->bytes));
    text.replace("\r\n", "\n");
    return text;
}

void TemplateFiles::SaveTextToFile(const QString& text, QWidget* owner) {
    if (text.isEmpty())
        return;
    // Checked before the dialog: a text that cannot be kept is not worth a file name.
    QString lines = text;
    lines.replace("\n", "\r\n");
    auto bytes = codepage().fromUtf8(lines.toStdString());
    if (!bytes) {
        report(bytes.error().number, QString::fromStdString(bytes.error().description));
        return;
    }
    CommonDLG dlg;
    setUp(dlg, QString::fromUtf8("Сохранить в файл"), kPathMustExist, m_services.addInFolder,
          "On Error Template|*.ert", owner);
    if (DlgResult<void> shown = dlg.ShowSave(); !shown) {
        if (shown.error().number != dlgerrors::Cancelled)
            report(shown.error().number, shown.error().description);
        return;
    }
    if (dlg.Filename().isEmpty())
        return;
    const QString path = withTemplateExtension(dlg.Filename());
    // The text as it stands, no line end after it: saved and loaded again,
    // a template comes back unchanged.
    auto written = trapline::DiskFile::replace(localPath(path), *bytes, nullptr);
    if (!written)
        report(written.error().number,
               path + ": " + QString::fromStdString(written.error().description));
}
