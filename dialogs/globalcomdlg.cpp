#include "globalcomdlg.h"

#include "comdlgconsts.h"
#include "dialogeventsink.h"
#include "dlgtext.h"
#include "mdl_dialoghook.h"

#include <cmath>

using namespace comdlg;

namespace {

constexpr int32_t kMultiBuffer = 8192;
constexpr int32_t kBuffer = 260;
constexpr int32_t kFaceSize = 32;

using dlgtext::cutAtNul;

std::string padded(const std::string& text, int32_t size) {
    return dlgtext::padded(text, static_cast<size_t>(size));
}

/// The run time rounds halves to even.
double roundHalfEven(double value) {
    return std::nearbyint(value);
}

bool fitsInt16(int32_t value) {
    return value >= -32768 && value <= 32767;
}

void setPrinterProperties(PrinterObject* printer, int32_t copies, const DevModeRecord& dm) {
    if (!printer)
        return;
    printer->setProperty("Copies", copies);
    printer->setProperty("Orientation", dm.dmOrientation);
    printer->setProperty("PaperSize", dm.dmPaperSize);
    printer->setProperty("PrintQuality", dm.dmPrintQuality);
}

/// Calls `dialog` with `a` stripped of its dialog template (flag, instance
/// and template name); the template's instance and name come back unchanged.
template <class Args, class Dialog> DlgResult<bool> withoutTemplate(Args& a, Dialog dialog) {
    a.flags &= ~OFN_ENABLETEMPLATE;
    Args plain = a;
    plain.hInstance = 0;
    plain.TemplateName = 0;
    DlgResult<bool> result = dialog(plain);
    plain.hInstance = a.hInstance;
    plain.TemplateName = a.TemplateName;
    a = plain;
    return result;
}

} // namespace

GlobalComDLG::GlobalComDLG(DialogBackend& backend) : m_backend(backend) {}

DlgError GlobalComDLG::runtimeError(int32_t number, const char* description) const {
    return DlgError{number, m_backend.ApplicationName(), description};
}

GlobalComDLG::~GlobalComDLG() {
    // A slot that still named this object would dangle.
    if (mdl_DialogHook::GetHookTarget() == this)
        mdl_DialogHook::ClearHookTarget();
}

void GlobalComDLG::reset() {
    m_APIReturn = 0;
    m_ExtendedError = 0;
}

void GlobalComDLG::hookUp(DialogEventSink* sink) {
    mdl_DialogHook::SetHookTarget(this);
    m_eventSink = sink;
}

void GlobalComDLG::endCall() {
    m_eventSink = nullptr;
    mdl_DialogHook::ClearHookTarget();
}

void GlobalComDLG::noteFailure(int32_t result) {
    // The system answers 0 for a cancel and for a failure alike; only its
    // extended error tells them apart, so it is asked after every result
    // but a confirmation. Otherwise a failed dialog would pass for a cancel.
    if (result != 1)
        m_ExtendedError = m_backend.CommDlgExtendedError();
}

std::string GlobalComDLG::ConvertFilter(const std::string& filter) {
    std::string out = filter;
    for (char& c : out)
        if (c == '|' || c == ':')
            c = '\0';
    return out + std::string(2, '\0');
}

std::string GlobalComDLG::FilterEntry(const std::string& converted, int32_t index) {
    if (converted.empty() || index < 1)
        return {};
    size_t start = 0;
    for (;;) {
        const size_t p1 = converted.find('\0', start);
        if (p1 == std::string::npos)
            return {};
        const size_t p2 = converted.find('\0', p1 + 1);
        if (index == 1)
            return p2 == std::string::npos ? converted.substr(start)
                                           : converted.substr(start, p2 - start);
        // An index beyond the entries finds nothing rather than wrapping round.
        if (p2 == std::string::npos)
            return {};
        --index;
        start = p2 + 1;
    }
}

std::string GlobalComDLG::StrToFaceName(const std::string& name) {
    return padded(dlgtext::left(name, kFaceSize - 1), kFaceSize);
}

std::string GlobalComDLG::FaceNameToStr(const std::string& field) {
    return cutAtNul(field);
}

template <class Args>
DlgResult<void> GlobalComDLG::checkBuffers(const Args& a, int32_t size) const {
    const auto limit = static_cast<size_t>(size);
    if (dlgtext::units(a.Filename) > limit || dlgtext::units(a.FileTitle) > limit)
        return runtimeError(dlgerrors::InvalidCall, "Invalid procedure call or argument");
    return {};
}

template <class Args>
void GlobalComDLG::fillCommon(OpenFileNameRecord& ofn, const Args& a, int32_t size) {
    ofn.hwndOwner = a.Owner;
    ofn.lpstrInitialDir = a.InitDir;
    ofn.lpstrDefExt = a.DefaultExt;
    ofn.lpstrTitle = a.DlgTitle;
    if (ofn.Flags & OFN_ALLOWMULTISELECT)
        ofn.Flags |= OFN_EXPLORER;
    if (a.Hook) {
        hookUp(a.EventSink);
        ofn.lpfnHook = mdl_DialogHook::OpenSaveHookProc;
        ofn.Flags |= OFN_EXPLORER | OFN_ENABLEHOOK;
    }
    if ((a.flags & OFN_ENABLETEMPLATE) && a.hInstance > 0) {
        ofn.hInstance = a.hInstance;
        ofn.Flags |= OFN_ENABLETEMPLATE;
        ofn.lpTemplateName = a.TemplateName;
    }
    ofn.lpstrFilter = ConvertFilter(a.Filter);
    ofn.nFilterIndex = a.FilterIndex;
    ofn.lpstrFile = padded(a.Filename, size);
    ofn.lpstrFileTitle = padded(a.FileTitle, size);
    ofn.nMaxFile = size;
    ofn.nMaxFileTitle = size;
}

template <class Args> void GlobalComDLG::deliverCommon(const OpenFileNameRecord& ofn, Args& a) {
    a.flags = ofn.Flags;
    a.FilterIndex = ofn.nFilterIndex;
    a.Filter = FilterEntry(ofn.lpstrFilter, ofn.nFilterIndex);
}

DlgResult<bool> GlobalComDLG::VBGetOpenFileName2(OpenFileArgs& a) {
    reset();
    const int32_t size = a.MultiSelect ? kMultiBuffer : kBuffer;
    if (auto fits = checkBuffers(a, size); !fits)
        return fits.error();
    OpenFileNameRecord ofn;
    ofn.Flags = (a.ReadOnly ? OFN_READONLY : 0) | (a.HideReadOnly ? OFN_HIDEREADONLY : 0) |
                (a.FileMustExist ? OFN_FILEMUSTEXIST : 0) |
                (a.MultiSelect ? OFN_ALLOWMULTISELECT : 0);
    fillCommon(ofn, a, size);
    m_APIReturn = m_backend.GetOpenFileName(ofn);
    endCall();
    if (m_APIReturn == 1) {
        if (ofn.Flags & OFN_ALLOWMULTISELECT) {
            a.Filename = padded(dlgtext::left(ofn.lpstrFile, static_cast<size_t>(size)), size);
        } else {
            a.Filename = cutAtNul(ofn.lpstrFile);
            a.FileTitle = cutAtNul(ofn.lpstrFileTitle);
        }
        deliverCommon(ofn, a);
        if (ofn.Flags & OFN_READONLY)
            a.ReadOnly = true;
        return true;
    }
    noteFailure(m_APIReturn);
    a.Filename.clear();
    a.FileTitle.clear();
    a.flags = 0;
    a.FilterIndex = -1;
    a.Filter.clear();
    return false;
}

DlgResult<bool> GlobalComDLG::VBGetOpenFileName(OpenFileArgs& a) {
    return withoutTemplate(a, [this](OpenFileArgs& plain) { return VBGetOpenFileName2(plain); });
}

DlgResult<bool> GlobalComDLG::VBGetSaveFileName2(SaveFileArgs& a) {
    reset();
    if (auto fits = checkBuffers(a, kBuffer); !fits)
        return fits.error();
    OpenFileNameRecord ofn;
    ofn.Flags = OFN_HIDEREADONLY | (a.OverWritePrompt ? OFN_OVERWRITEPROMPT : 0);
    fillCommon(ofn, a, kBuffer);
    m_APIReturn = m_backend.GetSaveFileName(ofn);
    endCall();
    if (m_APIReturn == 1) {
        a.Filename = cutAtNul(ofn.lpstrFile);
        a.FileTitle = cutAtNul(ofn.lpstrFileTitle);
        deliverCommon(ofn, a);
        return true;
    }
    noteFailure(m_APIReturn);
    a.Filename.clear();
    a.FileTitle.clear();
    a.flags = 0;
    a.FilterIndex = 0;
    a.Filter.clear();
    return false;
}

DlgResult<bool> GlobalComDLG::VBGetSaveFileName(SaveFileArgs& a) {
    return withoutTemplate(a, [this](SaveFileArgs& plain) { return VBGetSaveFileName2(plain); });
}

std::string GlobalComDLG::VBGetFileTitle(const std::string& sFIle) {
    std::string buffer(kBuffer, '\0');
    if (m_backend.GetFileTitle(sFIle, buffer, kBuffer) != 0)
        return {};
    return cutAtNul(buffer);
}

void GlobalComDLG::InitCustomColors() {
    if (m_colorsInitialised)
        return;
    for (int32_t k = 0; k < 16; ++k)
        m_customColors[k] = m_backend.GetSysColor(k);
    m_colorsInitialised = true;
}

int32_t GlobalComDLG::CustomColor(int16_t i) {
    InitCustomColors();
    if (i < 0 || i > 15)
        return -1;
    return m_customColors[i];
}

void GlobalComDLG::setCustomColor(int16_t i, int32_t iValue) {
    InitCustomColors();
    if (i < 0 || i > 15)
        return;
    m_customColors[i] = iValue;
}

bool GlobalComDLG::VBChooseColor(ColorArgs& a) {
    // The verdict of an earlier dialog must not pass for this one's.
    reset();
    ChooseColorRecord cc;
    cc.Flags = CC_RGBINIT | (a.AnyColor ? CC_ANYCOLOR : CC_SOLIDCOLOR) |
               (a.FullOpen ? CC_FULLOPEN : 0) | (a.DisableFullOpen ? CC_PREVENTFULLOPEN : 0);
    cc.Flags &= ~(CC_ENABLEHOOK | CC_ENABLETEMPLATE);
    if (a.Hook) {
        hookUp(a.EventSink);
        cc.lpfnHook = mdl_DialogHook::ColorHookProc;
        cc.Flags |= CC_ENABLEHOOK;
    }
    InitCustomColors();
    cc.hwndOwner = a.Owner;
    cc.rgbResult = a.Color;
    cc.lpCustColors = &m_customColors;
    m_APIReturn = m_backend.ChooseColor(cc);
    endCall();
    if (m_APIReturn == 1) {
        a.Color = cc.rgbResult;
        return true;
    }
    noteFailure(m_APIReturn);
    a.Color = -1;
    return false;
}

bool GlobalComDLG::VBChooseFont(FontArgs& a) {
    reset();
    if (a.PrinterDC == -1) {
        a.PrinterDC = (a.flags & CF_PRINTERFONTS) ? m_backend.PrinterDC() : 0;
    } else {
        a.flags |= CF_PRINTERFONTS;
    }
    if (!(a.flags & CF_PRINTERFONTS))
        a.flags |= CF_SCREENFONTS;
    if (a.Color != 0)
        a.flags |= CF_EFFECTS;
    if (a.MinSize != 0 || a.MaxSize != 0)
        a.flags |= CF_LIMITSIZE;
    a.flags &= ~(CF_ENABLEHOOK | CF_ENABLETEMPLATE | CF_APPLY);
    a.flags |= CF_INITTOLOGFONTSTRUCT;

    const DlgFont& f = a.CurFont;
    const double twipsPerPixel = m_backend.TwipsPerPixelY();
    const double points = f.Size > 0 ? f.Size : 0.0;
    LogFontRecord lf;
    lf.lfHeight = -static_cast<int32_t>(roundHalfEven(points * 20.0 / twipsPerPixel));
    lf.lfWeight = f.Weight != 0 ? f.Weight : (f.Bold ? 700 : 400);
    lf.lfItalic = f.Italic ? 255 : 0;
    lf.lfUnderline = f.Underline ? 255 : 0;
    lf.lfStrikeOut = f.Strikethrough ? 255 : 0;
    lf.lfFaceName = StrToFaceName(f.Name);

    ChooseFontRecord cf;
    cf.hwndOwner = a.Owner;
    cf.hDC = a.PrinterDC;
    cf.lpLogFont = &lf;
    cf.iPointSize = static_cast<int32_t>(roundHalfEven(points * 10.0));
    cf.Flags = a.flags;
    cf.rgbColors = a.Color;
    cf.nSizeMin = a.MinSize;
    cf.nSizeMax = a.MaxSize;
    if (a.Hook) {
        hookUp(a.EventSink);
        cf.lpfnHook = mdl_DialogHook::FontHookProc;
        cf.Flags |= CF_ENABLEHOOK;
    }
    m_APIReturn = m_backend.ChooseFont(cf);
    endCall();
    if (m_APIReturn != 1) {
        noteFailure(m_APIReturn);
        return false;
    }
    a.flags = cf.Flags;
    a.Color = cf.rgbColors;
    DlgFont& chosen = a.CurFont;
    chosen.Bold = (cf.nFontType & BOLD_FONTTYPE) != 0;
    chosen.Italic = lf.lfItalic != 0;
    chosen.Strikethrough = lf.lfStrikeOut != 0;
    chosen.Underline = lf.lfUnderline != 0;
    // 0 ("any weight") keeps what Bold gave.
    chosen.Weight =
        lf.lfWeight >= 1 && lf.lfWeight <= 1000 ? lf.lfWeight : (chosen.Bold ? 700 : 400);
    if (cf.iPointSize > 0)
        chosen.Size = cf.iPointSize / 10.0;
    chosen.Name = FaceNameToStr(lf.lfFaceName);
    return true;
}

DlgResult<bool> GlobalComDLG::VBPrintDlg(PrintArgs& a) {
    reset();
    if (!fitsInt16(a.FromPage) || !fitsInt16(a.ToPage))
        return runtimeError(dlgerrors::Overflow, "Overflow");
    PrintDlgRecord pd;
    int32_t flags =
        a.flags | (a.DisablePageNumbers ? PD_NOPAGENUMS : 0) |
        (a.DisablePrintToFile ? PD_DISABLEPRINTTOFILE : 0) |
        (a.DisableSelection ? PD_NOSELECTION : 0) | (a.PrintToFile ? PD_PRINTTOFILE : 0) |
        (a.ShowPrintToFile ? 0 : PD_HIDEPRINTTOFILE) | (a.PreventWarning ? PD_NOWARNING : 0) |
        (a.Collate ? PD_COLLATE : 0) | PD_USEDEVMODECOPIESANDCOLLATE | PD_RETURNDC;
    if (a.PrintRange == PrintRangePages)
        flags |= PD_PAGENUMS;
    else if (a.PrintRange == PrintRangeSelection)
        flags |= PD_SELECTION;
    flags &= ~(PD_ENABLEPRINTHOOK | PD_ENABLESETUPHOOK | PD_ENABLEPRINTTEMPLATE |
               PD_ENABLESETUPTEMPLATE);
    pd.hwndOwner = a.Owner;
    pd.nFromPage = static_cast<uint16_t>(a.FromPage);
    pd.nToPage = static_cast<uint16_t>(a.ToPage);
    pd.nMinPage = 1;
    pd.nMaxPage = 0xFFFF;
    pd.nCopies = 0;
    if (a.Hook) {
        hookUp(a.EventSink);
        if (flags & PD_PRINTSETUP) {
            flags |= PD_ENABLESETUPHOOK;
            pd.lpfnSetupHook = mdl_DialogHook::PrintSetupHookProc;
        } else {
            flags |= PD_ENABLEPRINTHOOK;
            pd.lpfnPrintHook = mdl_DialogHook::PrintHookProc;
        }
    }
    pd.Flags = flags;
    m_APIReturn = m_backend.PrintDlg(pd);
    endCall();
    if (m_APIReturn != 1) {
        noteFailure(m_APIReturn);
        return false;
    }
    a.hdc = pd.hDC;
    a.PrintRange = (pd.Flags & PD_PAGENUMS)    ? PrintRangePages
                   : (pd.Flags & PD_SELECTION) ? PrintRangeSelection
                                               : PrintRangeAll;
    a.FromPage = static_cast<int16_t>(pd.nFromPage);
    a.ToPage = static_cast<int16_t>(pd.nToPage);
    a.PrintToFile = (pd.Flags & PD_PRINTTOFILE) != 0;
    const DevModeRecord dm = pd.hDevMode.value_or(DevModeRecord{});
    if (pd.Flags & PD_COLLATE) {
        a.Collate = true;
        a.Copies = static_cast<int16_t>(pd.nCopies);
    } else {
        a.Collate = dm.dmCollate == 1;
        a.Copies = dm.dmCopies;
    }
    setPrinterProperties(a.Printer, a.Copies, dm);
    return true;
}

bool GlobalComDLG::VBPageSetupDlg2(PageSetupArgs2& a) {
    reset();
    PageSetupDlgRecord psd;
    psd.hwndOwner = a.Owner;
    psd.Flags = (a.DisableMargins ? PSD_DISABLEMARGINS : 0) |
                (a.DisableOrientation ? PSD_DISABLEORIENTATION : 0) |
                (a.DisablePaper ? PSD_DISABLEPAPER : 0) |
                (a.DisablePrinter ? PSD_DISABLEPRINTER : 0);
    const double scale = a.Units != 0 ? 100.0 : 1000.0;
    psd.Flags |= a.Units != 0 ? PSD_INHUNDREDTHSOFMILLIMETERS : PSD_INTHOUSANDTHSOFINCHES;
    auto scaled = [scale](float m) { return static_cast<int32_t>(roundHalfEven(m * scale)); };
    psd.rtMinMargin = {scaled(a.MinLeftMargin), scaled(a.MinTopMargin), scaled(a.MinRightMargin),
                       scaled(a.MinBottomMargin)};
    psd.rtMargin = {scaled(a.LeftMargin), scaled(a.TopMargin), scaled(a.RightMargin),
                    scaled(a.BottomMargin)};
    if (a.Hook) {
        hookUp(a.EventSink);
        psd.lpfnPageSetupHook = mdl_DialogHook::PageSetupHookProc;
        psd.Flags |= PSD_ENABLEPAGESETUPHOOK;
    }
    // The verdict is kept as for every other dialog, so that APIReturn does
    // not report a confirmed page setup as cancelled.
    m_APIReturn = m_backend.PageSetupDlg(psd);
    endCall();
    if (m_APIReturn == 0) {
        noteFailure(m_APIReturn);
        return false;
    }
    auto unscaled = [scale](int32_t v) { return static_cast<float>(v / scale); };
    a.LeftMargin = unscaled(psd.rtMargin.left);
    a.TopMargin = unscaled(psd.rtMargin.top);
    a.RightMargin = unscaled(psd.rtMargin.right);
    a.BottomMargin = unscaled(psd.rtMargin.bottom);
    a.MinLeftMargin = unscaled(psd.rtMinMargin.left);
    a.MinTopMargin = unscaled(psd.rtMinMargin.top);
    a.MinRightMargin = unscaled(psd.rtMinMargin.right);
    a.MinBottomMargin = unscaled(psd.rtMinMargin.bottom);
    const DevModeRecord dm = psd.hDevMode.value_or(DevModeRecord{});
    a.PaperSize = dm.dmPaperSize;
    a.Orientation = dm.dmOrientation;
    a.PrintQuality = dm.dmPrintQuality;
    setPrinterProperties(a.Printer, dm.dmCopies, dm);
    return true;
}

bool GlobalComDLG::VBPageSetupDlg(PageSetupArgs& a) {
    PageSetupArgs2 b;
    b.Owner = a.Owner;
    b.DisableMargins = a.DisableMargins;
    b.DisableOrientation = a.DisableOrientation;
    b.DisablePaper = a.DisablePaper;
    b.DisablePrinter = a.DisablePrinter;
    b.Units = a.Units;
    b.Printer = a.Printer;
    b.Hook = a.Hook;
    b.EventSink = a.EventSink;
    if (!VBPageSetupDlg2(b))
        return false;
    auto whole = [](float m) { return static_cast<int32_t>(roundHalfEven(m)); };
    a.LeftMargin = whole(b.LeftMargin);
    a.MinLeftMargin = whole(b.MinLeftMargin);
    a.RightMargin = whole(b.RightMargin);
    a.MinRightMargin = whole(b.MinRightMargin);
    a.TopMargin = whole(b.TopMargin);
    a.MinTopMargin = whole(b.MinTopMargin);
    a.BottomMargin = whole(b.BottomMargin);
    a.MinBottomMargin = whole(b.MinBottomMargin);
    a.PaperSize = b.PaperSize;
    a.Orientation = b.Orientation;
    a.PrintQuality = b.PrintQuality;
    return true;
}

std::optional<int32_t> GlobalComDLG::DialogHook(WindowHandle hDlg, uint32_t msg, intptr_t wParam,
                                                intptr_t lParam) {
    if (!m_eventSink)
        return std::nullopt;
    switch (msg) {
    case WM_INITDIALOG:
        return m_eventSink->InitDialog(hDlg);
    case WM_DESTROY:
        m_eventSink->DialogClose();
        return std::nullopt;
    case WM_COMMAND: {
        // The sink gets copies: what it changes does not reach the system.
        intptr_t w = wParam, l = lParam;
        m_eventSink->WMCommand(hDlg, w, l);
        return std::nullopt;
    }
    case WM_NOTIFY:
        break;
    default:
        return std::nullopt;
    }
    if (!lParam)
        return std::nullopt;
    const auto* header = reinterpret_cast<const NotifyHeader*>(lParam);
    switch (header->code) {
    case CDN_TYPECHANGE:
        return m_eventSink->TypeChange(hDlg);
    case CDN_FILEOK:
        if (!m_eventSink->ConfirmOK()) {
            mdl_DialogHook::SetWindowLong(hDlg, DWL_MSGRESULT, 1);
            return 1;
        }
        mdl_DialogHook::SetWindowLong(hDlg, DWL_MSGRESULT, 0);
        return std::nullopt;
    case CDN_FOLDERCHANGE:
        return m_eventSink->FolderChange(hDlg);
    case CDN_SELCHANGE:
        return m_eventSink->FileChange(hDlg);
    default:
        return std::nullopt;
    }
}
