#include "globalcomdlg.h"

#include "comdlgconsts.h"
#include "mdl_dialoghook.h"
#include "scripteddialogbackend.h"

#include <gtest/gtest.h>
#include <tuple>

using namespace comdlg;

namespace {

bool startsWith(const std::string& text, const std::string& start) {
    return text.rfind(start, 0) == 0;
}

} // namespace

TEST(FilterTranslation, BarsAndColonsBecomeNulsAndTheChosenEntryComesBack) {
    EXPECT_EQ(GlobalComDLG::ConvertFilter("Text|*.txt|All|*.*"),
              withNuls("Text\0*.txt\0All\0*.*\0\0"));
    // A colon splits an entry too, in the description as well.
    EXPECT_EQ(GlobalComDLG::ConvertFilter("Files: text|*.txt"),
              withNuls("Files\0 text\0*.txt\0\0"));
    EXPECT_EQ(GlobalComDLG::ConvertFilter(""), withNuls("\0\0"));

    const std::string converted = withNuls("Text\0*.txt\0All\0*.*\0\0");
    EXPECT_EQ(GlobalComDLG::FilterEntry(converted, 1), withNuls("Text\0*.txt"));
    EXPECT_EQ(GlobalComDLG::FilterEntry(converted, 2), withNuls("All\0*.*"));
    EXPECT_EQ(GlobalComDLG::FilterEntry(std::string(), 1), "");
    // Indexes the dialog never returns end the search instead of looping.
    EXPECT_EQ(GlobalComDLG::FilterEntry(converted, 0), "");
    EXPECT_EQ(GlobalComDLG::FilterEntry(converted, 9), "");
}

TEST(FileDialogFlags, TheRecordsFlagsComeFromTheOptionsAlone) {
    ScriptedDialogBackend b;
    GlobalComDLG api(b);

    OpenFileArgs defaults{.Filename = ""};
    EXPECT_FALSE(*api.VBGetOpenFileName2(defaults));
    const OpenFileNameRecord& d = b.fileSeen.back();
    EXPECT_EQ(std::tuple(d.Flags, d.hwndOwner, d.lpstrFilter, d.nMaxFile, d.lpstrFile),
              std::tuple(OFN_FILEMUSTEXIST, nullptr, withNuls("All (*.*)\0 *.*\0\0"), 260,
                         std::string(260, '\0')));

    // Must-exist and path-must-exist from the caller: only the option counts.
    OpenFileArgs addIn{.FileMustExist = false, .flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST};
    (void)api.VBGetOpenFileName2(addIn);
    EXPECT_EQ(b.fileSeen.back().Flags, 0);

    OpenFileArgs all{.FileMustExist = true,
                     .MultiSelect = true,
                     .ReadOnly = true,
                     .HideReadOnly = true,
                     .flags = OFN_ENABLETEMPLATE,
                     .Hook = true,
                     .hInstance = 7,
                     .TemplateName = 9};
    (void)api.VBGetOpenFileName2(all);
    const OpenFileNameRecord& r = b.fileSeen.back();
    EXPECT_EQ(r.Flags, OFN_READONLY | OFN_HIDEREADONLY | OFN_FILEMUSTEXIST | OFN_ALLOWMULTISELECT |
                           OFN_EXPLORER | OFN_ENABLEHOOK | OFN_ENABLETEMPLATE);
    EXPECT_EQ(std::tuple(r.nMaxFile, r.hInstance, r.lpTemplateName, r.lpfnHook),
              std::tuple(8192, 7, 9, &mdl_DialogHook::OpenSaveHookProc));

    // A template without a module is not asked for.
    OpenFileArgs noModule{.flags = OFN_ENABLETEMPLATE, .hInstance = 0};
    (void)api.VBGetOpenFileName2(noModule);
    EXPECT_FALSE(b.fileSeen.back().Flags & OFN_ENABLETEMPLATE);

    SaveFileArgs save{.OverWritePrompt = false, .flags = OFN_PATHMUSTEXIST};
    (void)api.VBGetSaveFileName2(save);
    EXPECT_EQ(b.fileSeen.back().Flags, OFN_HIDEREADONLY);
    SaveFileArgs prompt;
    (void)api.VBGetSaveFileName2(prompt);
    EXPECT_EQ(b.fileSeen.back().Flags, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT);
}

TEST(FileDialogResults, ConfirmedAndCancelledDialogsFillTheArguments) {
    ScriptedDialogBackend b;
    GlobalComDLG api(b);
    b.files.push_back([](OpenFileNameRecord& ofn) {
        ScriptedDialogBackend::choose("/t/b.b", 2)(ofn);
        ofn.Flags |= OFN_READONLY;
        return 1;
    });
    OpenFileArgs a{.Filename = "start", .Filter = "A|*.a|B|*.b"};
    EXPECT_TRUE(*api.VBGetOpenFileName2(a));
    EXPECT_EQ(api.APIReturn(), 1);
    EXPECT_EQ(
        std::tuple(a.Filename, a.FileTitle, a.FilterIndex, a.Filter, a.ReadOnly, a.flags),
        std::tuple("/t/b.b", "b.b", 2, withNuls("B\0*.b"), true, OFN_FILEMUSTEXIST | OFN_READONLY));
    EXPECT_TRUE(startsWith(b.fileSeen.back().lpstrFile, withNuls("start\0")));

    // A failure is told from a cancel by its extended error alone, which
    // the next plain cancel clears.
    b.extendedError = FNERR_BUFFERTOOSMALL;
    OpenFileArgs failed;
    EXPECT_FALSE(*api.VBGetOpenFileName2(failed));
    EXPECT_EQ(api.ExtendedError(), FNERR_BUFFERTOOSMALL);
    OpenFileArgs open{.Filename = "x", .FileTitle = "y", .FilterIndex = 2, .flags = 5};
    EXPECT_FALSE(*api.VBGetOpenFileName2(open));
    EXPECT_EQ(api.APIReturn(), 0);
    EXPECT_EQ(api.ExtendedError(), 0);
    EXPECT_EQ(std::tuple(open.Filename, open.FileTitle, open.Filter, open.flags, open.FilterIndex),
              std::tuple("", "", "", 0, -1));
    SaveFileArgs save{.Filename = "x", .FilterIndex = 2};
    EXPECT_FALSE(*api.VBGetSaveFileName2(save));
    EXPECT_EQ(std::tuple(save.Filename, save.Filter, save.FilterIndex), std::tuple("", "", 0));

    // The suffix-less function clears the template bit even on a cancel.
    OpenFileArgs plain{.flags = OFN_ENABLETEMPLATE | 0x8, .hInstance = 3};
    EXPECT_FALSE(*api.VBGetOpenFileName(plain));
    EXPECT_FALSE(b.fileSeen.back().Flags & OFN_ENABLETEMPLATE);
    EXPECT_EQ(plain.hInstance, 3);
}

TEST(FileDialogResults, LongNamesAreError5AndAMultiSelectionComesBackWhole) {
    ScriptedDialogBackend b;
    GlobalComDLG api(b);
    // Characters, not bytes, count: 260 Cyrillic letters fit.
    std::string cyrillic;
    for (int i = 0; i < 260; ++i)
        cyrillic += "ж";
    OpenFileArgs fits{.Filename = cyrillic};
    EXPECT_TRUE(api.VBGetOpenFileName2(fits).ok());
    EXPECT_EQ(b.fileSeen.back().lpstrFile, cyrillic);
    OpenFileArgs a{.Filename = std::string(261, 'x'), .Hook = true};
    DlgResult<bool> r = api.VBGetOpenFileName2(a);
    ASSERT_FALSE(r);
    EXPECT_EQ(std::tuple(r.error().number, a.Filename.size(), mdl_DialogHook::GetHookTarget()),
              std::tuple(5, 261u, nullptr));
    SaveFileArgs title{.FileTitle = std::string(261, 'x')};
    EXPECT_EQ(api.VBGetSaveFileName2(title).error().number, 5);
    EXPECT_EQ(b.fileSeen.size(), 1u);

    // A multi-selection's buffer holds the name, and comes back whole.
    b.files.push_back([](OpenFileNameRecord& ofn) {
        ofn.lpstrFile = dlgtext::padded(withNuls("/t\0a.ert\0b.ert\0\0"), 8192);
        return 1;
    });
    OpenFileArgs multi{.Filename = std::string(261, 'x'), .FileTitle = "kept", .MultiSelect = true};
    EXPECT_TRUE(*api.VBGetOpenFileName2(multi));
    EXPECT_EQ(multi.Filename.size(), 8192u);
    EXPECT_TRUE(startsWith(multi.Filename, withNuls("/t\0a.ert\0b.ert\0\0")));
    EXPECT_EQ(multi.FileTitle, "kept");
}

TEST(ColorDialog, CustomColoursStartAsSystemColoursAndACancelGivesMinusOne) {
    ScriptedDialogBackend b;
    GlobalComDLG api(b);
    EXPECT_EQ(std::tuple(api.CustomColor(0), api.CustomColor(15), api.CustomColor(16)),
              std::tuple(b.GetSysColor(0), b.GetSysColor(15), -1));
    api.setCustomColor(-1, 5);
    api.setCustomColor(3, 0x123456);

    ColorArgs cancelled{.Color = 0x00FF00};
    EXPECT_FALSE(api.VBChooseColor(cancelled));
    const ChooseColorRecord& seen = b.colorSeen.back();
    EXPECT_EQ(std::tuple(cancelled.Color, seen.Flags, seen.rgbResult),
              std::tuple(-1, CC_RGBINIT | CC_ANYCOLOR, 0x00FF00));

    // The dialog edits the table in place; the object keeps it.
    b.colors.push_back([](ChooseColorRecord& cc) {
        (*cc.lpCustColors)[4] = 0x0A0B0C;
        cc.rgbResult = 0x332211;
        return 1;
    });
    ColorArgs chosen{
        .Color = 0, .AnyColor = false, .FullOpen = true, .DisableFullOpen = true, .Hook = true};
    EXPECT_TRUE(api.VBChooseColor(chosen));
    EXPECT_EQ(chosen.Color, 0x332211);
    EXPECT_EQ(api.CustomColor(4), 0x0A0B0C);
    EXPECT_EQ(api.CustomColor(3), 0x123456);
    EXPECT_EQ(b.colorSeen.back().Flags,
              CC_RGBINIT | CC_SOLIDCOLOR | CC_FULLOPEN | CC_PREVENTFULLOPEN | CC_ENABLEHOOK);
}

TEST(FontDialog, FlagsAreAdjustedWhateverTheOutcomeAndTheFontRoundTrips) {
    ScriptedDialogBackend b;
    GlobalComDLG api(b);
    FontArgs plain;
    EXPECT_FALSE(api.VBChooseFont(plain));
    EXPECT_EQ(plain.flags, CF_SCREENFONTS | CF_INITTOLOGFONTSTRUCT);
    EXPECT_EQ(b.fontSeen.back().Flags, 0x41);

    FontArgs printer{.PrinterDC = 0,
                     .Color = 0xFF,
                     .MinSize = 8,
                     .flags = CF_ENABLEHOOK | CF_APPLY | CF_ENABLETEMPLATE};
    EXPECT_FALSE(api.VBChooseFont(printer));
    EXPECT_EQ(printer.flags, CF_PRINTERFONTS | CF_EFFECTS | CF_LIMITSIZE | CF_INITTOLOGFONTSTRUCT);
    EXPECT_EQ(b.fontSeen.back().hDC, 0);

    // Points, pixels and the face name go in and come back.
    const DlgFont font{.Name = "Courier New", .Size = 12, .Italic = true};
    b.fonts.push_back([](ChooseFontRecord& cf) {
        cf.iPointSize = 105;
        cf.nFontType = BOLD_FONTTYPE;
        cf.rgbColors = 0x0000FF;
        cf.lpLogFont->lfWeight = 700;
        cf.lpLogFont->lfItalic = 0;
        cf.lpLogFont->lfUnderline = 1;
        cf.lpLogFont->lfFaceName = GlobalComDLG::StrToFaceName("Arial");
        return 1;
    });
    FontArgs a{.CurFont = font, .Hook = true};
    EXPECT_TRUE(api.VBChooseFont(a));
    // 12 points on a screen of 15 twips per pixel.
    const LogFontRecord& lf = b.logFontSeen.back();
    EXPECT_EQ(std::tuple(lf.lfHeight, b.fontSeen.back().iPointSize, lf.lfItalic),
              std::tuple(-16, 120, 255));
    EXPECT_EQ(lf.lfFaceName, "Courier New" + std::string(21, '\0'));
    EXPECT_TRUE(b.fontSeen.back().Flags & CF_ENABLEHOOK);

    const DlgFont& f = a.CurFont;
    EXPECT_EQ(std::tuple(f.Name, f.Size, f.Bold, f.Weight, f.Italic, f.Underline, a.Color),
              std::tuple("Arial", 10.5, true, 700, false, true, 0x0000FF));

    // A face name of 32 characters or more keeps 31 and its NUL; a letter
    // of two bytes is one character and is never cut in half.
    EXPECT_EQ(GlobalComDLG::StrToFaceName(std::string(40, 'f')).size(), 32u);
    EXPECT_EQ(GlobalComDLG::FaceNameToStr(GlobalComDLG::StrToFaceName(std::string(40, 'f'))),
              std::string(31, 'f'));
    std::string cyrillic;
    for (int i = 0; i < 40; ++i)
        cyrillic += "ж";
    EXPECT_EQ(GlobalComDLG::FaceNameToStr(GlobalComDLG::StrToFaceName(cyrillic)),
              cyrillic.substr(0, 62));
}

TEST(PrintDialog, OptionsBecomeFlagsAndTheChoiceComesBack) {
    ScriptedDialogBackend b;
    GlobalComDLG api(b);
    RecordingPrinter printer;
    b.prints.push_back([](PrintDlgRecord& pd) {
        pd.Flags = (pd.Flags & ~PD_PAGENUMS) | PD_SELECTION;
        pd.nFromPage = 0xFFFF;
        pd.nToPage = 3;
        pd.hDevMode = DevModeRecord{2, 9, 4, 600, 1};
        return 1;
    });
    PrintArgs a{.PrintRange = PrintRangeSelection,
                .FromPage = 1,
                .ToPage = -1,
                .ShowPrintToFile = false,
                .DisablePrintToFile = true,
                .Printer = &printer};
    ASSERT_TRUE(*api.VBPrintDlg(a));
    const PrintDlgRecord& seen = b.printSeen.back();
    EXPECT_EQ(seen.Flags, PD_SELECTION | PD_HIDEPRINTTOFILE | PD_DISABLEPRINTTOFILE |
                              PD_USEDEVMODECOPIESANDCOLLATE | PD_RETURNDC);
    EXPECT_EQ(std::tuple(seen.nToPage, seen.nMinPage, seen.nMaxPage),
              std::tuple(0xFFFF, 1, 0xFFFF));
    EXPECT_EQ(std::tuple(a.PrintRange, a.FromPage, a.ToPage, a.Copies, a.Collate),
              std::tuple(PrintRangeSelection, -1, 3, 4, true));
    for (auto [name, value] : {std::pair{"Copies", 4}, std::pair{"Orientation", 2},
                               std::pair{"PaperSize", 9}, std::pair{"PrintQuality", 600}})
        EXPECT_EQ(printer.properties[name], value) << name;

    // The caller's hook and template bits go; a hook is the print setup's
    // when the flags ask for print setup, else the print dialog's.
    const int32_t hookBits =
        PD_ENABLEPRINTHOOK | PD_ENABLESETUPHOOK | PD_ENABLEPRINTTEMPLATE | PD_ENABLESETUPTEMPLATE;
    const struct {
        int32_t flags;
        bool hook;
        int32_t enabled;
        HookProc print, setup;
    } hooks[] = {
        {hookBits, false, 0, nullptr, nullptr},
        {PD_PRINTSETUP | hookBits, false, 0, nullptr, nullptr},
        {0, true, PD_ENABLEPRINTHOOK, &mdl_DialogHook::PrintHookProc, nullptr},
        {PD_PRINTSETUP, true, PD_ENABLESETUPHOOK, nullptr, &mdl_DialogHook::PrintSetupHookProc},
    };
    for (const auto& row : hooks) {
        PrintArgs hooked{.flags = row.flags, .Hook = row.hook};
        (void)api.VBPrintDlg(hooked);
        const PrintDlgRecord& r = b.printSeen.back();
        EXPECT_EQ(r.Flags & (hookBits | PD_PRINTSETUP), row.enabled | (row.flags & PD_PRINTSETUP))
            << row.flags << " " << row.hook;
        EXPECT_EQ(r.lpfnPrintHook, row.print) << row.flags;
        EXPECT_EQ(r.lpfnSetupHook, row.setup) << row.flags;
    }

    PrintArgs tooFar{.ToPage = 40000, .Hook = true};
    EXPECT_EQ(api.VBPrintDlg(tooFar).error().number, 6);
    EXPECT_EQ(mdl_DialogHook::GetHookTarget(), nullptr);
    PrintArgs cancelled;
    EXPECT_FALSE(*api.VBPrintDlg(cancelled));
}

TEST(PageSetupDialog, MarginsAreScaledToTheUnitsAndBack) {
    ScriptedDialogBackend b;
    GlobalComDLG api(b);
    b.pageSetups.push_back([](PageSetupDlgRecord& psd) {
        psd.rtMargin = {2000, 1550, 1000, 1000};
        psd.hDevMode = DevModeRecord{2, 9, 1, 300, 0};
        return 1;
    });
    PageSetupArgs2 mm{.LeftMargin = 25.4f, .TopMargin = 10.f, .Units = 1, .Hook = true};
    ASSERT_TRUE(api.VBPageSetupDlg2(mm));
    const PageSetupDlgRecord& seen = b.pageSetupSeen.back();
    EXPECT_EQ(std::tuple(seen.rtMargin.left, seen.rtMargin.top, seen.Flags),
              std::tuple(2540, 1000, PSD_INHUNDREDTHSOFMILLIMETERS | PSD_ENABLEPAGESETUPHOOK));
    // Exact in binary: 20 and 15.5 millimetres.
    EXPECT_EQ(std::tuple(mm.LeftMargin, mm.TopMargin, mm.Orientation, mm.PaperSize, mm.PrintQuality,
                         api.APIReturn()),
              std::tuple(20.f, 15.5f, 2, 9, 300, 1));

    // Whole numbers: the margins given are not passed, the ones returned
    // are rounded halves to even.
    b.pageSetups.push_back([](PageSetupDlgRecord& psd) {
        psd.rtMargin = {2500, 3500, 1400, 0};
        return 1;
    });
    PageSetupArgs inches{.DisableMargins = true, .LeftMargin = 7};
    ASSERT_TRUE(api.VBPageSetupDlg(inches));
    EXPECT_EQ(std::tuple(b.pageSetupSeen.back().rtMargin.left, b.pageSetupSeen.back().Flags),
              std::tuple(0, PSD_DISABLEMARGINS | PSD_INTHOUSANDTHSOFINCHES));
    EXPECT_EQ(std::tuple(inches.LeftMargin, inches.TopMargin, inches.RightMargin),
              std::tuple(2, 4, 1));

    PageSetupArgs2 cancelled{.LeftMargin = 3.f};
    EXPECT_FALSE(api.VBPageSetupDlg2(cancelled));
    EXPECT_FLOAT_EQ(cancelled.LeftMargin, 3.f);
}
