#include "commondlg.h"

#include "comdlgconsts.h"
#include "dialogevents.h"
#include "mdl_dialoghook.h"
#include "scripteddialogbackend.h"

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

TEST(CommonDLGErrors, ACancelIsError20001OnlyWhenAskedForAndAFailureIsItsOwn) {
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

    dlg.setHelpFile("/h/help.hlp");
    dlg.setHelpCommand(HELP_SETCONTENTS);
    EXPECT_TRUE(dlg.ShowHelp());
    b.helpSucceeds = false;
    expectError(dlg.ShowHelp(), 2, "The system cannot find the file specified.");
    EXPECT_EQ(b.helpCalls.back().command, HELP_SETCONTENTS);
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
    DialogEvents log(dlg);
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

TEST(CentreDialog, CentresOnTheWindowOrElseTheWorkAreaWithHalvesTruncatedTowardZero) {
    ScriptedDialogBackend b; // its work area is 1000 by 700
    CommonDLG dlg(b);
    const WindowHandle owner = b.window({100, 50, 301, 151}); // 201 by 101
    const struct {
        RectRecord dialog;
        WindowHandle on;
        RectRecord placed;
    } rows[] = {
        {{0, 0, 100, 40}, owner, {150, 80, 250, 120}},
        {{0, 0, 210, 110}, owner, {96, 46, 306, 156}}, // -9 / 2 is -4
        {{0, 0, 100, 40}, nullptr, {450, 330, 550, 370}},
        // A window minimised off the screen is no place to centre on.
        {{5, 5, 105, 45}, b.window({-32000, -32000, -31840, -31970}), {5, 5, 105, 45}},
    };
    for (const auto& row : rows) {
        WindowHandle d = b.window(row.dialog);
        dlg.CentreDialog(d, row.on);
        const RectRecord& r = ScriptedDialogBackend::of(d).rect;
        EXPECT_EQ(std::tuple(r.left, r.top, r.right, r.bottom),
                  std::tuple(row.placed.left, row.placed.top, row.placed.right, row.placed.bottom))
            << row.dialog.right;
        int32_t left = 0, top = 0, width = 0, height = 0;
        dlg.GetDialogSize(d, left, top, width, height);
        EXPECT_EQ(std::tuple(left, top, width, height),
                  std::tuple(r.left, r.top, r.right - r.left, r.bottom - r.top));
    }
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
