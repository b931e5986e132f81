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
    // A colon splits an entry too, in the description as well.
    EXPECT_EQ((std::vector<std::string>{GlobalComDLG::ConvertFilter("Text|*.txt|All|*.*"),
                                        GlobalComDLG::ConvertFilter("Files: text|*.txt")}),
              (std::vector<std::string>{withNuls("Text\0*.txt\0All\0*.*\0\0"),
                                        withNuls("Files\0 text\0*.txt\0\0")}));
    // Indexes the dialog never returns end the search instead of looping.
    const std::string converted = withNuls("Text\0*.txt\0All\0*.*\0\0");
    EXPECT_EQ((std::vector<std::string>{GlobalComDLG::FilterEntry(converted, 2),
                                        GlobalComDLG::FilterEntry(converted, 0),
                                        GlobalComDLG::FilterEntry(converted, 9)}),
              (std::vector<std::string>{withNuls("All\0*.*"), "", ""}));
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
}

TEST(FileDialogResults, NamesLongerThanTheBufferAreError5AndNeverShown) {
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
}

TEST(ColorDialog, ACancelGivesMinusOneAndTheCustomColoursTheDialogEditedAreKept) {
    ScriptedDialogBackend b;
    GlobalComDLG api(b);
    api.setCustomColor(3, 0x123456);
    ColorArgs cancelled{.Color = 0x00FF00};
    EXPECT_FALSE(api.VBChooseColor(cancelled));
    EXPECT_EQ(std::tuple(cancelled.Color, b.colorSeen.back().rgbResult), std::tuple(-1, 0x00FF00));

    // The dialog edits the table in place; the object keeps it.
    b.colors.push_back([](ChooseColorRecord& cc) {
        (*cc.lpCustColors)[4] = 0x0A0B0C;
        cc.rgbResult = 0x332211;
        return 1;
    });
    ColorArgs chosen{.Color = 0};
    EXPECT_TRUE(api.VBChooseColor(chosen));
    EXPECT_EQ(std::tuple(chosen.Color, api.CustomColor(4), api.CustomColor(3)),
              std::tuple(0x332211, 0x0A0B0C, 0x123456));
}

TEST(FontDialog, ACancelChangesNothingAndTheFontRoundTrips) {
    ScriptedDialogBackend b;
    GlobalComDLG api(b);
    FontArgs plain{.CurFont = DlgFont{.Name = "Arial", .Size = 9}};
    EXPECT_FALSE(api.VBChooseFont(plain));
    EXPECT_EQ(std::tuple(plain.CurFont.Name, plain.CurFont.Size), std::tuple("Arial", 9.0));

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
    FontArgs a{.CurFont = font};
    EXPECT_TRUE(api.VBChooseFont(a));
    // 12 points on a screen of 15 twips per pixel.
    const LogFontRecord& lf = b.logFontSeen.back();
    EXPECT_EQ(std::tuple(lf.lfHeight, b.fontSeen.back().iPointSize, lf.lfItalic, lf.lfFaceName),
              std::tuple(-16, 120, 255, "Courier New" + std::string(21, '\0')));
    const DlgFont& f = a.CurFont;
    EXPECT_EQ(std::tuple(f.Name, f.Size, f.Bold, f.Weight, f.Italic, f.Underline, a.Color),
              std::tuple("Arial", 10.5, true, 700, false, true, 0x0000FF));

    // A face name of 32 characters or more keeps 31 and its NUL; a letter
    // of two bytes is one character and is never cut in half.
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
    EXPECT_EQ(b.printSeen.back().Flags, PD_SELECTION | PD_HIDEPRINTTOFILE | PD_DISABLEPRINTTOFILE |
                                            PD_USEDEVMODECOPIESANDCOLLATE | PD_RETURNDC);
    EXPECT_EQ(std::tuple(a.PrintRange, a.FromPage, a.ToPage, a.Copies, a.Collate),
              std::tuple(PrintRangeSelection, -1, 3, 4, true));
    EXPECT_EQ(printer.properties,
              (std::map<std::string, int32_t>{
                  {"Copies", 4}, {"Orientation", 2}, {"PaperSize", 9}, {"PrintQuality", 600}}));

    PrintArgs tooFar{.ToPage = 40000, .Hook = true};
    EXPECT_EQ(api.VBPrintDlg(tooFar).error().number, 6);
    EXPECT_EQ(mdl_DialogHook::GetHookTarget(), nullptr);
    PrintArgs cancelled;
    EXPECT_FALSE(*api.VBPrintDlg(cancelled));
}

TEST(PageSetupDialog, MarginsAreScaledToTheUnitsAndBackAndACancelKeepsThem) {
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

    PageSetupArgs2 cancelled{.LeftMargin = 3.f};
    EXPECT_FALSE(api.VBPageSetupDlg2(cancelled));
    EXPECT_FLOAT_EQ(cancelled.LeftMargin, 3.f);
}
