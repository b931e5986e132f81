#include "commondlg.h"

#include "comdlgconsts.h"
#include "dialogevents.h"
#include "mdl_dialoghook.h"
#include "scripteddialogbackend.h"

#include <cstring>
#include <gtest/gtest.h>
#include <tuple>

using namespace comdlg;

namespace {

/// A dialog error as number, source and description, against `number` and `description`.
template <class R> void expectError(const R& r, int32_t number, const char* description) {
    ASSERT_FALSE(r);
    EXPECT_EQ(std::tuple(r.error().number, r.error().source, r.error().description),
              std::tuple(number, std::string("Scripted.CommonDLG"), std::string(description)));
}

} // namespace

TEST(CommonDLGErrors, ACancelIsError20001OnlyWhenAskedForAndFailuresAndRefusedHelpAreTheirOwn) {
    ScriptedDialogBackend b;
    CommonDLG dlg(b);
    dlg.setFilename("x");
    EXPECT_TRUE(dlg.ShowOpen());
    EXPECT_EQ(std::tuple(dlg.Filename(), dlg.FilterIndex()), std::tuple("", -1));

    dlg.setCancelError(true);
    for (auto show :
         {&CommonDLG::ShowOpen, &CommonDLG::ShowSave, &CommonDLG::ShowColor, &CommonDLG::ShowFont})
        expectError((dlg.*show)(), 20001, "User selected cancel.");
    // The print dialog's cancel is never an error.
    EXPECT_TRUE(dlg.ShowPrinter());
    EXPECT_EQ(b.printSeen.size(), 1u);

    b.extendedError = FNERR_BUFFERTOOSMALL;
    expectError(dlg.ShowOpen(), FNERR_BUFFERTOOSMALL | 0x348A, "");

    dlg.setCopies(40000);
    EXPECT_EQ(dlg.ShowPrinter().error().number, 6);
    EXPECT_EQ(b.printSeen.size(), 1u); // not shown

    dlg.setHelpFile("/h/help.hlp");
    for (int32_t command : {HELP_MULTIKEY, HELP_SETWINPOS}) {
        dlg.setHelpCommand(command);
        EXPECT_EQ(dlg.ShowHelp().error().number, 13705);
    }
    EXPECT_TRUE(b.helpCalls.empty());
    dlg.setHelpCommand(HELP_SETCONTENTS);
    EXPECT_TRUE(dlg.ShowHelp());
    b.helpSucceeds = false;
    expectError(dlg.ShowHelp(), 2, "The system cannot find the file specified.");
    EXPECT_EQ(b.helpCalls.back().command, HELP_SETCONTENTS);

    // The help window's place goes to the help engine as a HELPWININFO record.
    unsigned char seen[26] = {};
    b.onHelp = [&seen](const ScriptedDialogBackend::HelpCall& call) {
        std::memcpy(seen, reinterpret_cast<const void*>(call.data), sizeof seen);
    };
    dlg.SetHelpPosition(10, 20, 300, 400, 1);
    EXPECT_EQ(b.helpCalls.back().command, HELP_SETWINPOS);
    EXPECT_EQ(b.helpCalls.back().file, "/h/help.hlp");
    std::vector<int32_t> fields(6);
    std::memcpy(fields.data(), seen, 24);
    EXPECT_EQ(fields, (std::vector<int32_t>{26, 10, 20, 300, 400, 1}));
    EXPECT_EQ(seen[24] | seen[25], 0); // no member name
}

TEST(CommonDLGOptions, FlagsChooseTheOptionsAndTheResultsComeBackIntoTheProperties) {
    ScriptedDialogBackend b;
    CommonDLG dlg(b);
    dlg.setFilterIndex(0);
    (void)dlg.ShowOpen();
    EXPECT_EQ(b.fileSeen.back().nFilterIndex, 1);
    dlg.setFlags(OFN_ENABLETEMPLATE | OFN_READONLY | OFN_ALLOWMULTISELECT);
    (void)dlg.ShowOpen();
    EXPECT_EQ(b.fileSeen.back().Flags, OFN_READONLY | OFN_ALLOWMULTISELECT | OFN_EXPLORER);
    EXPECT_EQ(dlg.flags(), 0); // cancelled: the flags come back empty

    dlg.setFlags(CC_FULLOPEN | CC_ANYCOLOR);
    (void)dlg.ShowColor();
    EXPECT_EQ(b.colorSeen.back().Flags, CC_RGBINIT | CC_ANYCOLOR | CC_FULLOPEN);

    dlg.setFlags(PD_PAGENUMS | PD_COLLATE | PD_HIDEPRINTTOFILE);
    (void)dlg.ShowPrinter();
    EXPECT_EQ(b.printSeen.back().Flags & ~(PD_USEDEVMODECOPIESANDCOLLATE | PD_RETURNDC),
              PD_PAGENUMS | PD_COLLATE | PD_HIDEPRINTTOFILE);
    dlg.setFlags(0);
    (void)dlg.ShowPrinter();
    EXPECT_EQ(b.printSeen.back().Flags & (PD_NOPAGENUMS | PD_HIDEPRINTTOFILE), PD_NOPAGENUMS);

    // Results come back into the properties. A system colour is translated before the dialog; a
    // colour that cannot be translated goes in as -1.
    dlg.setColor(int32_t(0x80000005));
    (void)dlg.ShowColor();
    EXPECT_EQ(b.colorSeen.back().rgbResult, b.GetSysColor(5));
    EXPECT_EQ(dlg.Color(), int32_t(0x80000005));
    dlg.setColor(0x02000000);
    b.colors.push_back([](ChooseColorRecord& cc) {
        cc.rgbResult = 0x445566;
        return 1;
    });
    ASSERT_TRUE(dlg.ShowColor());
    EXPECT_EQ(b.colorSeen.back().rgbResult, -1);
    EXPECT_EQ(dlg.Color(), 0x445566);

    b.prints.push_back([](PrintDlgRecord& pd) {
        pd.hDevMode = DevModeRecord{1, 1, 3, 300, 0};
        pd.nFromPage = 2;
        pd.nToPage = 5;
        return 1;
    });
    dlg.setFlags(PD_PAGENUMS);
    ASSERT_TRUE(dlg.ShowPrinter());
    EXPECT_EQ(std::tuple(dlg.Copies(), dlg.FromPage(), dlg.ToPage(), dlg.flags()),
              std::tuple(3, 2, 5, PD_PAGENUMS));

    // The font size is read in whole points, halves to even.
    for (auto [points, whole] : {std::pair{10.5, 10}, std::pair{11.5, 12}}) {
        dlg.setFont(DlgFont{.Name = "Arial", .Size = points});
        EXPECT_EQ(dlg.FontSize(), whole) << points;
    }
}

namespace {

intptr_t notify(HookProc proc, WindowHandle w, int32_t code) {
    NotifyHeader header{w, 0, code};
    return proc(w, WM_NOTIFY, 0, reinterpret_cast<intptr_t>(&header));
}

} // namespace

TEST(HookDispatch, MessagesBecomeEventsOnlyWhileTheDialogIsOpen) {
    ScriptedDialogBackend b;
    CommonDLG dlg(b);
    dlg.setHookDialog(true);
    DialogEvents log(dlg, b);
    WindowHandle window = b.window({});
    intptr_t answers[4] = {};
    b.files.push_back([&](OpenFileNameRecord& ofn) {
        EXPECT_EQ(ofn.Flags & (OFN_EXPLORER | OFN_ENABLEHOOK), OFN_EXPLORER | OFN_ENABLEHOOK);
        HookProc hook = ofn.lpfnHook;
        answers[0] = hook(window, WM_INITDIALOG, 0, 0);
        answers[1] = notify(hook, window, CDN_SELCHANGE);
        notify(hook, window, CDN_FOLDERCHANGE);
        notify(hook, window, CDN_TYPECHANGE);
        notify(hook, window, CDN_INITDONE); // nothing
        hook(window, 0x200, 0, 0);          // nothing
        hook(window, WM_NOTIFY, 0, 0);      // no header: nothing
        intptr_t wParam = IDOK;
        hook(window, WM_COMMAND, wParam, 0);
        log.refusals = 1;
        answers[2] = notify(hook, window, CDN_FILEOK);
        EXPECT_EQ(mdl_DialogHook::GetWindowLong(window, DWL_MSGRESULT), 1);
        answers[3] = notify(hook, window, CDN_FILEOK);
        EXPECT_EQ(mdl_DialogHook::GetWindowLong(window, DWL_MSGRESULT), 0);
        hook(window, WM_DESTROY, 0, 0);
        return ScriptedDialogBackend::choose("/t/a.ert")(ofn);
    });
    ASSERT_TRUE(dlg.ShowOpen());
    EXPECT_EQ(log.names, (std::vector<std::string>{"init", "file", "folder", "type", "ok",
                                                   "confirm", "confirm", "close"}));
    EXPECT_EQ(log.windows.front(), window);
    EXPECT_EQ(std::vector<intptr_t>(answers, answers + 4), (std::vector<intptr_t>{0, 0, 1, 0}));

    // Between dialogs the slot is empty: the hook touches nothing.
    EXPECT_EQ(mdl_DialogHook::GetHookTarget(), nullptr);
    EXPECT_EQ(mdl_DialogHook::OpenSaveHookProc(window, WM_INITDIALOG, 0, 0), 0);
    EXPECT_EQ(log.names.size(), 8u);
}

TEST(MultiSelection, TheBufferSplitsIntoFolderAndNames) {
    using Names = std::vector<std::string>;
    CommonDLG dlg;
    auto parse = [&dlg](const std::string& filename, std::string dir = {}, Names files = {}) {
        dlg.setFilename(filename);
        int32_t count = static_cast<int32_t>(files.size());
        dlg.ParseMultiFileName(dir, files, count);
        EXPECT_EQ(files.size(), static_cast<size_t>(count));
        return std::make_pair(dir, files);
    };
    const std::string pad(100, '\0');
    EXPECT_EQ(parse(withNuls("/t\0a.ert\0b.ert\0\0") + pad),
              std::make_pair(std::string("/t"), Names{"a.ert", "b.ert"}));
    EXPECT_EQ(parse(withNuls("/t/a.ert\0\0") + pad),
              std::make_pair(std::string(), Names{"/t/a.ert"}));
    EXPECT_EQ(parse("C:\\x.txt"), std::make_pair(std::string("C:"), Names{"x.txt"}));
    EXPECT_EQ(parse("/t/x.txt"), std::make_pair(std::string("/t"), Names{"x.txt"}));
    EXPECT_EQ(parse("\\x.txt"), std::make_pair(std::string(), Names{"\\x.txt"}));

    // A folder given on entry is kept and the count goes on.
    EXPECT_EQ(parse(withNuls("/t\0c\0\0"), "/given", {"first"}),
              std::make_pair(std::string("/given"), Names{"first", "/t", "c"}));
}

TEST(DialogWindows, CentreAndSizeWorkOnTheDialogBehindTheHooksWindow) {
    ScriptedDialogBackend b;
    CommonDLG dlg(b);
    dlg.setHookDialog(true);
    const struct {
        RectRecord target;
        RectRecord placed; ///< the dialog's frame after centring
    } rows[] = {
        {{100, 100, 700, 500}, {300, 250, 500, 350}},
        // A dialog wider than its target: the half is truncated toward zero.
        {{0, 0, 100, 100}, {-100, 0, 201, 100}},
    };
    for (const auto& row : rows) {
        WindowHandle owner = b.window(row.target);
        WindowHandle dialog = b.window(
            {0, 0, row.placed.right - row.placed.left, row.placed.bottom - row.placed.top});
        WindowHandle hook = b.window({}, dialog);
        RectRecord size;
        b.files.push_back([&](OpenFileNameRecord&) {
            dlg.CentreDialog(hook, owner);
            dlg.GetDialogSize(hook, size.left, size.top, size.right, size.bottom);
            return 0;
        });
        (void)dlg.ShowOpen();
        const RectRecord& p = row.placed;
        EXPECT_EQ(std::tuple(size.left, size.top, size.right, size.bottom),
                  std::tuple(p.left, p.top, p.right - p.left, p.bottom - p.top));
    }

    // No window to centre on: the work area. Not the explorer style: the window itself.
    (void)dlg.ShowColor();
    WindowHandle alone = b.window({5, 5, 105, 55});
    b.workArea = {0, 40, 1001, 700};
    dlg.CentreDialog(alone, nullptr);
    const RectRecord& r = ScriptedDialogBackend::of(alone).rect;
    EXPECT_EQ(std::tuple(r.left, r.top, r.right, r.bottom), std::tuple(450, 345, 550, 395));
}
