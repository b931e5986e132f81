#include "qtdialogbackend.h"

#include "comdlgconsts.h"
#include "globalcomdlg.h"
#include "mdl_dialoghook.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QFontDialog>
#include <QGridLayout>
#include <QPageSetupDialog>
#include <QPalette>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QScreen>
#include <QUrl>
#include <QVariant>
#include <cerrno>
#include <cmath>
#include <cstring>

using namespace comdlg;

namespace {

/// The records' UTF-8, NULs kept, and back.
QString q(const std::string& text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

std::string u8(const QString& text) {
    return text.toStdString();
}

QWidget* widget(WindowHandle handle) {
    return static_cast<QWidget*>(handle);
}

/// Sends a dialog's events to a hook as the system's messages: the dialog
/// initialised when it is first shown, a command for each button pressed,
/// and the window destroyed when the dialog is done.
class HookDriver : public QObject {
public:
    HookDriver(QDialog* dialog, HookProc proc, QWidget* hookWindow)
        : QObject(dialog), m_dialog(dialog), m_proc(proc), m_hookWindow(hookWindow) {
        if (m_proc)
            dialog->installEventFilter(this);
    }

    intptr_t send(uint32_t msg, intptr_t wParam = 0, intptr_t lParam = 0) {
        return m_proc ? m_proc(m_hookWindow, msg, wParam, lParam) : 0;
    }

    intptr_t notify(int32_t code) {
        NotifyHeader header{static_cast<WindowHandle>(m_hookWindow), 0, code};
        return send(WM_NOTIFY, 0, reinterpret_cast<intptr_t>(&header));
    }

    void destroyed() {
        if (m_initialised)
            send(WM_DESTROY);
        m_initialised = false;
    }

    bool hooked() const { return m_proc != nullptr; }
    QWidget* hookWindow() const { return m_hookWindow; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == m_dialog && event->type() == QEvent::Show && !m_initialised) {
            m_initialised = true;
            connectButtons();
            send(WM_INITDIALOG);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    void connectButtons() {
        const auto* box = m_dialog->findChild<QDialogButtonBox*>();
        for (QAbstractButton* button : m_dialog->findChildren<QAbstractButton*>()) {
            intptr_t id = 0;
            if (box && box->buttonRole(button) == QDialogButtonBox::AcceptRole)
                id = IDOK;
            else if (box && box->buttonRole(button) == QDialogButtonBox::RejectRole)
                id = IDCANCEL;
            connect(button, &QAbstractButton::clicked, this, [this, id, button] {
                send(WM_COMMAND, id, reinterpret_cast<intptr_t>(button));
            });
        }
    }

    QDialog* m_dialog;
    HookProc m_proc;
    QWidget* m_hookWindow;
    bool m_initialised = false;
};

/// The file dialog with the hook's say on accepting a name: the hook sees
/// CDN_FILEOK before the dialog closes and may keep it open.
class HookedFileDialog : public QFileDialog {
public:
    using QFileDialog::QFileDialog;
    HookDriver* driver = nullptr;

    void done(int result) override {
        if (result == Accepted && driver && driver->hooked()) {
            const intptr_t answer = driver->notify(CDN_FILEOK);
            if (answer != 0 || mdl_DialogHook::GetWindowLong(driver->hookWindow(), DWL_MSGRESULT))
                return;
        }
        QFileDialog::done(result);
    }
};

/// Description and pattern pairs of a NUL-separated filter.
QStringList nameFilters(const std::string& converted) {
    QStringList parts = q(converted).split(QChar(0));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty() && parts[i + 1].isEmpty())
            break;
        QString pattern = parts[i + 1].trimmed();
        pattern.replace(u';', u' ');
        filters << parts[i] + " (" + pattern + ")";
    }
    return filters;
}

QString cutAtNul(const QString& text) {
    const qsizetype nul = text.indexOf(QChar(0));
    return nul < 0 ? text : text.left(nul);
}

void setUpFileDialog(HookedFileDialog& dlg, const OpenFileNameRecord& ofn, bool save,
                     const QStringList& filters) {
    dlg.setOption(QFileDialog::DontUseNativeDialog);
    dlg.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    if (save)
        dlg.setFileMode(QFileDialog::AnyFile);
    else if (ofn.Flags & OFN_ALLOWMULTISELECT)
        dlg.setFileMode(QFileDialog::ExistingFiles);
    else
        dlg.setFileMode((ofn.Flags & OFN_FILEMUSTEXIST) ? QFileDialog::ExistingFile
                                                        : QFileDialog::AnyFile);
    dlg.setOption(QFileDialog::DontConfirmOverwrite, !(ofn.Flags & OFN_OVERWRITEPROMPT));
    if (!ofn.lpstrTitle.empty())
        dlg.setWindowTitle(q(ofn.lpstrTitle));
    if (!ofn.lpstrInitialDir.empty())
        dlg.setDirectory(q(ofn.lpstrInitialDir));
    if (!filters.isEmpty()) {
        dlg.setNameFilters(filters);
        const int index = std::clamp<int>(ofn.nFilterIndex, 1, int(filters.size()));
        dlg.selectNameFilter(filters[index - 1]);
    }
    if (!ofn.lpstrDefExt.empty())
        dlg.setDefaultSuffix(q(ofn.lpstrDefExt));
    const QString initial = cutAtNul(q(ofn.lpstrFile));
    if (!initial.isEmpty())
        dlg.selectFile(initial);
}

QCheckBox* addReadOnlyBox(QFileDialog& dlg, bool checked) {
    auto* box = new QCheckBox(QStringLiteral("Open as read-only"), &dlg);
    box->setObjectName("readOnlyCheck");
    box->setChecked(checked);
    if (auto* grid = qobject_cast<QGridLayout*>(dlg.layout()))
        grid->addWidget(box, grid->rowCount(), 0, 1, -1);
    return box;
}

int16_t paperId(const QPageLayout& layout) {
    return static_cast<int16_t>(layout.pageSize().windowsId());
}

DevModeRecord devModeOf(const QPrinter& printer) {
    DevModeRecord dm;
    dm.dmOrientation = printer.pageLayout().orientation() == QPageLayout::Landscape ? 2 : 1;
    dm.dmPaperSize = paperId(printer.pageLayout());
    dm.dmCopies = static_cast<int16_t>(printer.copyCount());
    dm.dmPrintQuality = static_cast<int16_t>(printer.resolution());
    dm.dmCollate = printer.collateCopies() ? 1 : 0;
    return dm;
}

} // namespace

int32_t QtDialogBackend::toColorRef(const QColor& color) {
    return color.red() | (color.green() << 8) | (color.blue() << 16);
}

QColor QtDialogBackend::fromColorRef(int32_t value) {
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

int32_t QtDialogBackend::GetOpenFileName(OpenFileNameRecord& ofn) {
    return runFileDialog(ofn, false);
}

int32_t QtDialogBackend::GetSaveFileName(OpenFileNameRecord& ofn) {
    return runFileDialog(ofn, true);
}

int32_t QtDialogBackend::runFileDialog(OpenFileNameRecord& ofn, bool save) {
    m_extendedError = 0;
    const QStringList filters = nameFilters(ofn.lpstrFilter);
    HookedFileDialog dlg(widget(ofn.hwndOwner));
    setUpFileDialog(dlg, ofn, save, filters);
    QCheckBox* readOnly = nullptr;
    if (!save && !(ofn.Flags & OFN_HIDEREADONLY))
        readOnly = addReadOnlyBox(dlg, ofn.Flags & OFN_READONLY);

    // In the explorer style the hook's window is a child of the dialog.
    const bool hooked = ofn.lpfnHook && (ofn.Flags & OFN_ENABLEHOOK);
    auto* hookWindow = new QWidget(&dlg);
    hookWindow->setObjectName("hookWindow");
    hookWindow->hide();
    auto* driver = new HookDriver(&dlg, hooked ? ofn.lpfnHook : nullptr, hookWindow);
    dlg.driver = driver;
    if (hooked) {
        QObject::connect(&dlg, &QFileDialog::currentChanged, driver,
                         [driver] { driver->notify(CDN_SELCHANGE); });
        // Every way into another folder (typed, double-clicked, back, the
        // look-in list) sets the model's root; directoryEntered misses some.
        if (auto* model = dlg.findChild<QFileSystemModel*>())
            QObject::connect(model, &QFileSystemModel::rootPathChanged, driver,
                             [driver] { driver->notify(CDN_FOLDERCHANGE); });
        QObject::connect(&dlg, &QFileDialog::filterSelected, driver,
                         [driver] { driver->notify(CDN_TYPECHANGE); });
    }
    const int result = dlg.exec();
    driver->destroyed();
    if (result != QDialog::Accepted)
        return 0;
    if (readOnly) {
        ofn.Flags &= ~OFN_READONLY;
        if (readOnly->isChecked())
            ofn.Flags |= OFN_READONLY;
    }
    const int index = int(filters.indexOf(dlg.selectedNameFilter()));
    ofn.nFilterIndex = index < 0 ? ofn.nFilterIndex : index + 1;
    return deliverFiles(ofn, dlg.selectedFiles());
}

int32_t QtDialogBackend::deliverFiles(OpenFileNameRecord& ofn, const QStringList& files) {
    if (files.isEmpty())
        return 0;
    QString buffer;
    if (files.size() > 1 && (ofn.Flags & OFN_ALLOWMULTISELECT)) {
        buffer = QFileInfo(files.front()).absolutePath() + QChar(0);
        for (const QString& file : files)
            buffer += QFileInfo(file).fileName() + QChar(0);
    } else {
        buffer = QDir::toNativeSeparators(files.front());
    }
    // Room for the final NUL, as the system needs.
    if (buffer.size() >= ofn.nMaxFile) {
        m_extendedError = FNERR_BUFFERTOOSMALL;
        return 0;
    }
    ofn.lpstrFile = u8(buffer + QString(ofn.nMaxFile - buffer.size(), QChar(0)));
    const QString path = cutAtNul(buffer);
    const qsizetype slash = path.lastIndexOf(QDir::separator());
    ofn.nFileOffset = int32_t(slash + 1);
    const qsizetype dot = path.lastIndexOf(u'.');
    ofn.nFileExtension = dot > slash ? int32_t(dot + 1) : 0;
    const QString title = path.mid(slash + 1);
    if (files.size() == 1 && title.size() < ofn.nMaxFileTitle)
        ofn.lpstrFileTitle = u8(title + QString(ofn.nMaxFileTitle - title.size(), QChar(0)));
    return 1;
}

int32_t QtDialogBackend::GetFileTitle(const std::string& name, std::string& buffer, int32_t size) {
    const QString file = q(name);
    const qsizetype slash = std::max(file.lastIndexOf(u'/'), file.lastIndexOf(u'\\'));
    const QString title = file.mid(slash + 1);
    if (title.isEmpty())
        return -1;
    if (title.size() >= size)
        return int32_t(title.size() + 1);
    buffer = u8(title + QString(size - title.size(), QChar(0)));
    return 0;
}

int32_t QtDialogBackend::ChooseColor(ChooseColorRecord& cc) {
    m_extendedError = 0;
    QColorDialog dlg(widget(cc.hwndOwner));
    dlg.setOption(QColorDialog::DontUseNativeDialog);
    if (cc.lpCustColors)
        for (int i = 0; i < 16; ++i)
            QColorDialog::setCustomColor(i, fromColorRef((*cc.lpCustColors)[i]));
    if (cc.Flags & CC_RGBINIT)
        dlg.setCurrentColor(fromColorRef(cc.rgbResult));
    HookDriver driver(&dlg, (cc.Flags & CC_ENABLEHOOK) ? cc.lpfnHook : nullptr, &dlg);
    const int result = dlg.exec();
    driver.destroyed();
    // The dialog edits the table in place, kept or not.
    if (cc.lpCustColors)
        for (int i = 0; i < 16; ++i)
            (*cc.lpCustColors)[i] = toColorRef(QColorDialog::customColor(i));
    if (result != QDialog::Accepted)
        return 0;
    cc.rgbResult = toColorRef(dlg.selectedColor());
    return 1;
}

int32_t QtDialogBackend::ChooseFont(ChooseFontRecord& cf) {
    m_extendedError = 0;
    const double twipsPerPixel = TwipsPerPixelY();
    QFont initial;
    double points = cf.iPointSize / 10.0;
    if (cf.lpLogFont) {
        const LogFontRecord& lf = *cf.lpLogFont;
        initial.setFamily(q(GlobalComDLG::FaceNameToStr(lf.lfFaceName)));
        if ((cf.Flags & CF_INITTOLOGFONTSTRUCT) && lf.lfHeight != 0)
            points = std::abs(lf.lfHeight) * twipsPerPixel / 20.0;
        if (lf.lfWeight >= 1 && lf.lfWeight <= 1000)
            initial.setWeight(static_cast<QFont::Weight>(lf.lfWeight));
        initial.setItalic(lf.lfItalic != 0);
        initial.setUnderline(lf.lfUnderline != 0);
        initial.setStrikeOut(lf.lfStrikeOut != 0);
    }
    if (points > 0)
        initial.setPointSizeF(points);
    QFontDialog dlg(initial, widget(cf.hwndOwner));
    dlg.setOption(QFontDialog::DontUseNativeDialog);
    HookDriver driver(&dlg, (cf.Flags & CF_ENABLEHOOK) ? cf.lpfnHook : nullptr, &dlg);
    const int result = dlg.exec();
    driver.destroyed();
    if (result != QDialog::Accepted)
        return 0;
    const QFont chosen = dlg.selectedFont();
    double size = chosen.pointSizeF() > 0 ? chosen.pointSizeF() : points;
    // Qt's dialog offers every size; the limits are kept by holding the
    // choice inside them.
    if ((cf.Flags & CF_LIMITSIZE) && cf.nSizeMin > 0)
        size = std::max<double>(size, cf.nSizeMin);
    if ((cf.Flags & CF_LIMITSIZE) && cf.nSizeMax > 0)
        size = std::min<double>(size, cf.nSizeMax);
    cf.iPointSize = static_cast<int32_t>(std::nearbyint(size * 10.0));
    cf.nFontType = chosen.weight() >= QFont::Bold ? BOLD_FONTTYPE : 0;
    if (cf.lpLogFont) {
        LogFontRecord& lf = *cf.lpLogFont;
        lf.lfHeight = -static_cast<int32_t>(std::nearbyint(size * 20.0 / twipsPerPixel));
        lf.lfWeight = chosen.weight();
        lf.lfItalic = chosen.italic() ? 1 : 0;
        lf.lfUnderline = chosen.underline() ? 1 : 0;
        lf.lfStrikeOut = chosen.strikeOut() ? 1 : 0;
        lf.lfFaceName = GlobalComDLG::StrToFaceName(u8(chosen.family()));
    }
    return 1;
}

int32_t QtDialogBackend::PrintDlg(PrintDlgRecord& pd) {
    m_extendedError = 0;
    QPrinter printer;
    QPrintDialog dlg(&printer, widget(pd.hwndOwner));
    QAbstractPrintDialog::PrintDialogOptions options = QAbstractPrintDialog::PrintShowPageSize;
    if (!(pd.Flags & (PD_HIDEPRINTTOFILE | PD_DISABLEPRINTTOFILE)))
        options |= QAbstractPrintDialog::PrintToFile;
    if (!(pd.Flags & PD_NOSELECTION))
        options |= QAbstractPrintDialog::PrintSelection;
    if (!(pd.Flags & PD_NOPAGENUMS))
        options |= QAbstractPrintDialog::PrintPageRange;
    options |= QAbstractPrintDialog::PrintCollateCopies;
    // Setting the page limits switches the page range on: options come after.
    dlg.setMinMax(pd.nMinPage, pd.nMaxPage);
    dlg.setOptions(options);
    if (pd.nFromPage >= 1 && pd.nFromPage <= pd.nToPage)
        printer.setFromTo(pd.nFromPage, pd.nToPage);
    printer.setPrintRange((pd.Flags & PD_PAGENUMS)    ? QPrinter::PageRange
                          : (pd.Flags & PD_SELECTION) ? QPrinter::Selection
                                                      : QPrinter::AllPages);
    printer.setCollateCopies(pd.Flags & PD_COLLATE);
    if (pd.Flags & PD_PRINTTOFILE)
        printer.setOutputFormat(QPrinter::PdfFormat);
    HookProc proc = (pd.Flags & PD_PRINTSETUP)
                        ? ((pd.Flags & PD_ENABLESETUPHOOK) ? pd.lpfnSetupHook : nullptr)
                        : ((pd.Flags & PD_ENABLEPRINTHOOK) ? pd.lpfnPrintHook : nullptr);
    HookDriver driver(&dlg, proc, &dlg);
    const int result = dlg.exec();
    driver.destroyed();
    if (result != QDialog::Accepted)
        return 0;
    pd.Flags &= ~(PD_PAGENUMS | PD_SELECTION | PD_COLLATE | PD_PRINTTOFILE);
    if (printer.printRange() == QPrinter::PageRange)
        pd.Flags |= PD_PAGENUMS;
    else if (printer.printRange() == QPrinter::Selection)
        pd.Flags |= PD_SELECTION;
    if (printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty())
        pd.Flags |= PD_PRINTTOFILE;
    pd.nFromPage = static_cast<uint16_t>(printer.fromPage());
    pd.nToPage = static_cast<uint16_t>(printer.toPage());
    pd.hDevMode = devModeOf(printer);
    // Asked to, the copies and collation travel in the device mode alone.
    if (pd.Flags & PD_USEDEVMODECOPIESANDCOLLATE) {
        pd.nCopies = 1;
    } else {
        pd.nCopies = static_cast<uint16_t>(printer.copyCount());
        if (printer.collateCopies())
            pd.Flags |= PD_COLLATE;
    }
    pd.hDC = 0;
    return 1;
}

int32_t QtDialogBackend::PageSetupDlg(PageSetupDlgRecord& psd) {
    m_extendedError = 0;
    const bool mm = psd.Flags & PSD_INHUNDREDTHSOFMILLIMETERS;
    const QPageLayout::Unit unit = mm ? QPageLayout::Millimeter : QPageLayout::Inch;
    const double scale = mm ? 100.0 : 1000.0;
    QPrinter printer;
    if (psd.Flags & PSD_MARGINS) {
        const RectRecord& r = psd.rtMargin;
        printer.setPageMargins(
            QMarginsF(r.left / scale, r.top / scale, r.right / scale, r.bottom / scale), unit);
    }
    QPageSetupDialog dlg(&printer, widget(psd.hwndOwner));
    HookDriver driver(&dlg, (psd.Flags & PSD_ENABLEPAGESETUPHOOK) ? psd.lpfnPageSetupHook : nullptr,
                      &dlg);
    const int result = dlg.exec();
    driver.destroyed();
    if (result != QDialog::Accepted)
        return 0;
    QPageLayout layout = printer.pageLayout();
    layout.setUnits(unit);
    auto scaled = [scale](double v) { return static_cast<int32_t>(std::nearbyint(v * scale)); };
    const QMarginsF m = layout.margins();
    psd.rtMargin = {scaled(m.left()), scaled(m.top()), scaled(m.right()), scaled(m.bottom())};
    const QMarginsF minimum = layout.minimumMargins();
    psd.rtMinMargin = {scaled(minimum.left()), scaled(minimum.top()), scaled(minimum.right()),
                       scaled(minimum.bottom())};
    const QSizeF paper = layout.pageSize().size(mm ? QPageSize::Millimeter : QPageSize::Inch);
    psd.ptPaperSizeX = scaled(paper.width());
    psd.ptPaperSizeY = scaled(paper.height());
    psd.hDevMode = devModeOf(printer);
    return 1;
}

int32_t QtDialogBackend::GetSysColor(int32_t index) {
    const QPalette p = QApplication::palette();
    using R = QPalette::ColorRole;
    auto active = [&p](R role) { return toColorRef(p.color(QPalette::Active, role)); };
    auto inactive = [&p](R role) { return toColorRef(p.color(QPalette::Inactive, role)); };
    switch (index) {
    case 0:
        return active(R::Midlight); // scroll bar
    case 1:
        return active(R::Dark); // desktop
    case 2:
        return active(R::Highlight); // active caption
    case 3:
        return inactive(R::Highlight); // inactive caption
    case 4:
        return active(R::Window); // menu
    case 5:
        return active(R::Base); // window
    case 6:
        return active(R::Shadow); // window frame
    case 7:
        return active(R::WindowText); // menu text
    case 8:
        return active(R::Text); // window text
    case 9:
        return active(R::HighlightedText); // caption text
    case 10:
        return active(R::Window); // active border
    case 11:
        return inactive(R::Window); // inactive border
    case 12:
        return active(R::Dark); // application workspace
    case 13:
        return active(R::Highlight); // highlight
    case 14:
        return active(R::HighlightedText); // highlight text
    case 15:
        return active(R::Button); // button face
    case 16:
        return active(R::Mid); // button shadow
    case 17:
        return toColorRef(p.color(QPalette::Disabled, R::Text)); // grey text
    case 18:
        return active(R::ButtonText); // button text
    case 19:
        return inactive(R::HighlightedText); // inactive caption text
    case 20:
        return active(R::Light); // button highlight
    case 21:
        return active(R::Shadow); // 3D dark shadow
    case 22:
        return active(R::Midlight); // 3D light
    case 23:
        return active(R::ToolTipText); // info text
    case 24:
        return active(R::ToolTipBase); // info background
    case 26:
        return active(R::Link); // hot-tracked item
    case 27:
        return active(R::Highlight); // gradient active caption
    case 28:
        return inactive(R::Highlight); // gradient inactive caption
    case 29:
        return active(R::Highlight); // menu highlight
    case 30:
        return active(R::Window); // menu bar
    default:
        return -1;
    }
}

bool QtDialogBackend::WinHelp(WindowHandle, const std::string& name, int32_t command, intptr_t) {
    const QString file = q(name);
    m_lastError = 0;
    // The desktop's viewer closes and places its own windows.
    if (command == HELP_QUIT || command == HELP_SETWINPOS)
        return true;
    if (file.isEmpty() || !QFileInfo(file).isFile()) {
        m_lastError = ENOENT;
        return false;
    }
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(file).absoluteFilePath()))) {
        m_lastError = ENOEXEC;
        return false;
    }
    return true;
}

std::string QtDialogBackend::FormatMessage(int32_t code) {
    return u8(QString::fromLocal8Bit(std::strerror(code)));
}

double QtDialogBackend::TwipsPerPixelY() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double dpi = screen ? screen->logicalDotsPerInchY() : 96.0;
    return dpi > 0 ? 1440.0 / dpi : 15.0;
}

std::string QtDialogBackend::ApplicationName() {
    return u8(QCoreApplication::applicationName());
}

namespace {

const char* resultProperty(int index) {
    return index == 0 ? "DWL_MSGRESULT" : "DWL_USER";
}

} // namespace

void QtDialogBackend::SetWindowLong(WindowHandle hDlg, int index, intptr_t value) {
    if (hDlg)
        widget(hDlg)->setProperty(resultProperty(index), QVariant::fromValue<qlonglong>(value));
}

intptr_t QtDialogBackend::GetWindowLong(WindowHandle hDlg, int index) {
    if (!hDlg)
        return 0;
    return static_cast<intptr_t>(widget(hDlg)->property(resultProperty(index)).toLongLong());
}

WindowHandle QtDialogBackend::GetParent(WindowHandle hWnd) {
    return hWnd ? widget(hWnd)->parentWidget() : nullptr;
}

bool QtDialogBackend::GetWindowRect(WindowHandle hWnd, RectRecord& rect) {
    if (!hWnd)
        return false;
    const QRect r = widget(hWnd)->frameGeometry();
    rect = {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
    return true;
}

void QtDialogBackend::MoveWindow(WindowHandle hWnd, int32_t left, int32_t top) {
    if (hWnd)
        widget(hWnd)->move(left, top);
}

bool QtDialogBackend::GetWorkArea(WindowHandle hWnd, RectRecord& rect) {
    const QScreen* screen =
        hWnd && widget(hWnd)->screen() ? widget(hWnd)->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return false;
    const QRect r = screen->availableGeometry();
    rect = {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
    return true;
}
