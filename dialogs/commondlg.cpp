#include "commondlg.h"

#include "cmemory.h"
#include "comdlgconsts.h"
#include "dialogbackend.h"
#include "globalcomdlg.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <cmath>
#include <cstring>

using namespace comdlg;

namespace {

bool HasFlag(int32_t flags, int32_t mask) {
    return (flags & mask) == mask;
}

/// The help engine's record for placing its window: 26 bytes, the padding
/// after them is not part of it.
constexpr size_t kHelpWinInfoSize = 26;
struct HelpWinInfo {
    int32_t wStructSize = kHelpWinInfoSize;
    int32_t x = 0, y = 0, dx = 0, dy = 0, wMax = 0;
    char rgchMember[2] = {0, 0};
};

} // namespace

CommonDLG::CommonDLG(QObject* parent) : CommonDLG(DialogBackend::current(), parent) {}

CommonDLG::CommonDLG(DialogBackend& backend, QObject* parent)
    : QObject(parent), m_backend(backend) {}

CommonDLG::~CommonDLG() = default;

QString CommonDLG::errorSource() {
    return QCoreApplication::applicationName() + ".CommonDLG";
}

GlobalComDLG& CommonDLG::api() {
    if (!m_api)
        m_api = std::make_unique<GlobalComDLG>(m_backend);
    return *m_api;
}

DlgResult<void> CommonDLG::RaiseDialogError() const {
    // A failure is told from a cancel by the system's extended error too:
    // the system answers 0 for both.
    if (m_api->APIReturn() != 0 || m_api->ExtendedError() != 0)
        return DlgError{m_api->ExtendedError() | dlgerrors::DialogFailure, errorSource(), {}};
    if (m_CancelError)
        return DlgError{dlgerrors::Cancelled, errorSource(), "User selected cancel."};
    return {};
}

DlgResult<void> CommonDLG::ShowOpen() {
    m_ExplorerStyle = true;
    if (HasFlag(m_flags, OFN_ENABLETEMPLATE) && m_hInstance < 1)
        m_flags &= ~OFN_ENABLETEMPLATE;
    if (m_FilterIndex == 0)
        m_FilterIndex = 1;
    OpenFileArgs a{m_Filename,
                   m_FileTitle,
                   HasFlag(m_flags, OFN_FILEMUSTEXIST),
                   HasFlag(m_flags, OFN_ALLOWMULTISELECT),
                   HasFlag(m_flags, OFN_READONLY),
                   HasFlag(m_flags, OFN_HIDEREADONLY),
                   m_Filter,
                   m_FilterIndex,
                   m_InitDir,
                   m_DialogTitle,
                   m_DefaultExt,
                   m_hwnd,
                   m_flags,
                   m_HookDialog,
                   m_hInstance,
                   m_TemplateName,
                   this};
    DlgResult<bool> shown = api().VBGetOpenFileName2(a);
    if (!shown)
        return shown.error();
    m_Filename = a.Filename;
    m_FileTitle = a.FileTitle;
    m_Filter = a.Filter;
    m_FilterIndex = a.FilterIndex;
    m_flags = a.flags;
    return *shown ? DlgResult<void>() : RaiseDialogError();
}

DlgResult<void> CommonDLG::ShowSave() {
    m_ExplorerStyle = true;
    if (HasFlag(m_flags, OFN_ENABLETEMPLATE) && m_hInstance < 1)
        m_flags &= ~OFN_ENABLETEMPLATE;
    SaveFileArgs a{m_Filename,     m_FileTitle,   HasFlag(m_flags, OFN_OVERWRITEPROMPT),
                   m_Filter,       m_FilterIndex, m_InitDir,
                   m_DialogTitle,  m_DefaultExt,  m_hwnd,
                   m_flags,        m_HookDialog,  m_hInstance,
                   m_TemplateName, this};
    DlgResult<bool> shown = api().VBGetSaveFileName2(a);
    if (!shown)
        return shown.error();
    m_Filename = a.Filename;
    m_FileTitle = a.FileTitle;
    m_Filter = a.Filter;
    m_FilterIndex = a.FilterIndex;
    m_flags = a.flags;
    return *shown ? DlgResult<void>() : RaiseDialogError();
}

int32_t CommonDLG::TranslateColor(int32_t color) {
    // A system colour is 0x80 in the high byte and its index below; an RGB
    // value has 0 there. No palette: anything else cannot be translated.
    const uint32_t value = static_cast<uint32_t>(color);
    if ((value & 0xFF000000u) == 0)
        return color;
    if ((value & 0xFF000000u) == 0x80000000u)
        return m_backend.GetSysColor(static_cast<int32_t>(value & 0x00FFFFFFu));
    return -1;
}

DlgResult<void> CommonDLG::ShowColor() {
    m_ExplorerStyle = false;
    ColorArgs a;
    a.Color = TranslateColor(m_Color);
    a.AnyColor = HasFlag(m_flags, CC_ANYCOLOR);
    a.FullOpen = HasFlag(m_flags, CC_FULLOPEN);
    a.DisableFullOpen = HasFlag(m_flags, CC_PREVENTFULLOPEN);
    a.Owner = m_hwnd;
    a.flags = m_flags;
    a.Hook = m_HookDialog;
    a.EventSink = this;
    if (!api().VBChooseColor(a))
        return RaiseDialogError();
    m_Color = a.Color;
    return {};
}

DlgResult<void> CommonDLG::ShowFont() {
    m_ExplorerStyle = false;
    FontArgs a;
    a.CurFont = Font();
    a.PrinterDC = -1;
    a.Owner = m_hwnd;
    a.Color = m_FontColor;
    a.MinSize = m_Min;
    a.MaxSize = m_Max;
    a.flags = m_flags;
    a.Hook = m_HookDialog;
    a.EventSink = this;
    const bool chosen = api().VBChooseFont(a);
    m_flags = a.flags;
    if (!chosen)
        return RaiseDialogError();
    m_font = a.CurFont;
    m_FontColor = a.Color;
    return {};
}

DlgResult<void> CommonDLG::ShowPrinter() {
    m_ExplorerStyle = false;
    if (m_Copies < -32768 || m_Copies > 32767)
        return DlgError{dlgerrors::Overflow, QCoreApplication::applicationName(), "Overflow"};
    PrintArgs a;
    a.PrintRange = PrintRangeAll;
    a.DisablePageNumbers = !HasFlag(m_flags, PD_PAGENUMS);
    a.FromPage = m_FromPage;
    a.ToPage = m_ToPage;
    a.DisableSelection = HasFlag(m_flags, PD_NOSELECTION);
    a.Copies = static_cast<int16_t>(m_Copies);
    a.ShowPrintToFile = !HasFlag(m_flags, PD_HIDEPRINTTOFILE);
    a.DisablePrintToFile = HasFlag(m_flags, PD_DISABLEPRINTTOFILE);
    a.PrintToFile = HasFlag(m_flags, PD_PRINTTOFILE);
    a.Collate = HasFlag(m_flags, PD_COLLATE);
    a.PreventWarning = HasFlag(m_flags, PD_NOWARNING);
    a.Owner = m_hwnd;
    a.Printer = m_Object;
    a.flags = m_flags;
    a.Hook = m_HookDialog;
    a.EventSink = this;
    DlgResult<bool> shown = api().VBPrintDlg(a);
    if (!shown)
        return shown.error();
    if (*shown) {
        m_Copies = a.Copies;
        m_FromPage = a.FromPage;
        m_ToPage = a.ToPage;
    }
    return {};
}

DlgResult<void> CommonDLG::ShowHelp() {
    m_ExplorerStyle = false;
    if (m_HelpCommand == HELP_MULTIKEY || m_HelpCommand == HELP_SETWINPOS)
        return DlgError{dlgerrors::InvalidHelpCmd, errorSource(),
                        "Invalid WinHelp Command Passed to ShowHelp function."};
    if (!m_backend.WinHelp(m_hwnd, m_HelpFile, m_HelpCommand, 0)) {
        const int32_t code = m_backend.GetLastError();
        return DlgError{code, errorSource(), m_backend.FormatMessage(code)};
    }
    return {};
}

int32_t CommonDLG::CustomColor(int16_t i) {
    return api().CustomColor(i);
}

void CommonDLG::setCustomColor(int16_t i, int32_t v) {
    api().setCustomColor(i, v);
}

QFont CommonDLG::Font() {
    if (!m_font)
        m_font = QFont();
    return *m_font;
}

void CommonDLG::setFontName(const QString& v) {
    Font();
    m_font->setFamily(v);
}

int32_t CommonDLG::FontSize() {
    const QFont f = Font();
    return static_cast<int32_t>(std::nearbyint(f.pointSizeF() > 0 ? f.pointSizeF() : 0.0));
}

void CommonDLG::setFontSize(int32_t v) {
    Font();
    if (v > 0)
        m_font->setPointSize(v);
}

void CommonDLG::setFontBold(bool v) {
    Font();
    m_font->setBold(v);
}

void CommonDLG::setFontItalic(bool v) {
    Font();
    m_font->setItalic(v);
}

void CommonDLG::setFontUnderline(bool v) {
    Font();
    m_font->setUnderline(v);
}

void CommonDLG::setFontStrikethru(bool v) {
    Font();
    m_font->setStrikeOut(v);
}

int32_t CommonDLG::InitDialog(QWidget* hDlg) {
    emit OnInitDialog(hDlg);
    return 0;
}

int32_t CommonDLG::FileChange(QWidget* hDlg) {
    emit OnFileChange(hDlg);
    return 0;
}

int32_t CommonDLG::FolderChange(QWidget* hDlg) {
    emit OnFolderChange(hDlg);
    return 0;
}

bool CommonDLG::ConfirmOK() {
    bool bCancel = false;
    emit OnConfirmOK(bCancel);
    return !bCancel;
}

int32_t CommonDLG::TypeChange(QWidget* hDlg) {
    emit OnTypeChange(hDlg);
    return 0;
}

void CommonDLG::DialogClose() {
    emit OnDialogClose();
}

void CommonDLG::WMCommand(QWidget* hDlg, intptr_t& wParam, intptr_t& lParam) {
    emit OnWMCommand(hDlg, wParam, lParam);
}

void CommonDLG::ParseMultiFileName(QString& sDir, QStringList& sFiles, int32_t& iFileCount) const {
    const QChar nul(0);
    const qsizetype end = m_Filename.indexOf(QString(2, nul));
    if (end >= 0) {
        const QStringList pieces = m_Filename.left(end).split(nul);
        for (qsizetype i = 0; i < pieces.size(); ++i) {
            const bool last = i + 1 == pieces.size();
            if (!last && sDir.isEmpty()) {
                sDir = pieces[i];
                continue;
            }
            ++iFileCount;
            while (sFiles.size() < iFileCount)
                sFiles.append(QString());
            sFiles[iFileCount - 1] = pieces[i];
        }
        return;
    }
    iFileCount = 1;
    sFiles = QStringList{QString()};
    // This platform's separator and the one of names written elsewhere.
    const qsizetype slash = std::max(m_Filename.lastIndexOf(u'\\'), m_Filename.lastIndexOf(u'/'));
    if (slash >= 1) {
        sDir = m_Filename.left(slash);
        sFiles[0] = m_Filename.mid(slash + 1);
    } else {
        sDir.clear();
        sFiles[0] = m_Filename;
    }
}

QWidget* CommonDLG::dialogWindow(QWidget* hDlg) const {
    if (!hDlg)
        return nullptr;
    return m_ExplorerStyle ? hDlg->parentWidget() : hDlg;
}

void CommonDLG::CentreDialog(QWidget* hDlg, QObject* oCentreTo) const {
    QWidget* w = dialogWindow(hDlg);
    if (!w)
        return;
    const QRect dialog = w->frameGeometry();
    QRect target;
    if (auto* window = qobject_cast<QWidget*>(oCentreTo)) {
        target = window->frameGeometry();
    } else if (const QScreen* screen =
                   w->screen() ? w->screen() : QGuiApplication::primaryScreen()) {
        target = screen->availableGeometry();
    }
    if (target.right() <= 0 || target.bottom() <= 0)
        return;
    const int left = target.left() + (target.width() - dialog.width()) / 2;
    const int top = target.top() + (target.height() - dialog.height()) / 2;
    w->move(left, top);
}

void CommonDLG::GetDialogSize(QWidget* hDlg, int32_t& lL, int32_t& lT, int32_t& lW,
                              int32_t& lH) const {
    QWidget* w = dialogWindow(hDlg);
    if (!w)
        return;
    const QRect r = w->frameGeometry();
    lL = r.left();
    lT = r.top();
    lW = r.width();
    lH = r.height();
}

void CommonDLG::SetHelpPosition(int32_t x, int32_t y, int32_t dx, int32_t dy, int32_t eWindowType) {
    HelpWinInfo info;
    info.x = x;
    info.y = y;
    info.dx = dx;
    info.dy = dy;
    info.wMax = eWindowType;
    cMemory block;
    if (!block.AllocateMemory(kHelpWinInfoSize))
        return;
    void* address = block.Pointer();
    if (!address)
        return;
    std::memcpy(address, &info, kHelpWinInfoSize);
    m_backend.WinHelp(m_hwnd, m_HelpFile, HELP_SETWINPOS, reinterpret_cast<intptr_t>(address));
    block.FreeMemory();
}

void CommonDLG::cdLoadLibrary(const QString&) {
    m_hInstance = 0;
}

void CommonDLG::cdFreeLibrary() {}
