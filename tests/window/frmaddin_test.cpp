#include "../forms/user.h"
#include "addinwindow.h"
#include "f_dialog.h"
#include "frmtip.h"

#include <gtest/gtest.h>
#include <tuple>

using trapline::MsgAnswer;
using Window = AddInWindow;

namespace {

constexpr int vbKeyReturn = 13, vbKeyEscape = 27;

std::vector<std::string> items(const forms::ComboBox& box) {
    std::vector<std::string> out;
    for (int i = 0; i < box.ListCount(); ++i)
        out.push_back(box.List(i));
    return out;
}

/// Whether two controls' places share any twip.
bool overlap(const forms::Control& a, const forms::Control& b) {
    return a.Left() < b.Left() + b.Width() && b.Left() < a.Left() + a.Width() &&
           a.Top() < b.Top() + b.Height() && b.Top() < a.Top() + a.Height();
}

} // namespace

TEST(frmAddIn, NoControlReachesIntoAnotherButTheMarkerAroundTheActiveTemplate) {
    Window w;
    frmAddIn& form = *w.form;
    for (forms::TextBox* active : {&form.Header, &form.Footer}) {
        SCOPED_TRACE(active->Name());
        active->SetFocus();
        user::settle();
        // The marker lies around the box, clear of its edges.
        const forms::Control& marker = form.TextBorder;
        EXPECT_LT(marker.Left(), active->Left());
        EXPECT_LT(marker.Top(), active->Top());
        EXPECT_GT(marker.Left() + marker.Width(), active->Left() + active->Width());
        EXPECT_GT(marker.Top() + marker.Height(), active->Top() + active->Height());
        const auto& controls = form.tabOrder();
        for (size_t i = 0; i < controls.size(); ++i)
            for (size_t j = i + 1; j < controls.size(); ++j) {
                const forms::Control *a = controls[i], *b = controls[j];
                const bool markerAndBox =
                    (a == &marker && b == active) || (b == &marker && a == active);
                EXPECT_EQ(overlap(*a, *b), markerAndBox) << a->Name() << " and " << b->Name();
            }
    }
}

TEST(frmAddIn, LoadsTheModulesAddsTheErrorModuleOnceAndWritesOnlyAMissingTipsFile) {
    Window w;
    EXPECT_EQ(items(w.form->MdlName),
              (std::vector<std::string>{"*", "CInvoice", "frmMain", "modMain", "modUtil"}));
    EXPECT_EQ(w.form->ActiveText(), "Header");
    Window none(Window::Project::None);
    EXPECT_EQ(none.form->MdlName.ListCount(), 1);

    for (size_t boxes : {0u, 1u}) { // the second time says so, and adds nothing
        user::click(w.form->bttn_InsCode);
        EXPECT_EQ(w.vbe->ActiveVBProject()->VBComponents().Count(), 5);
        EXPECT_EQ(w.boxes.shown.size(), boxes);
    }

    const std::string tips = w.form->tipsFile();
    ASSERT_TRUE(std::filesystem::exists(utf8Path(tips)));
    w.dir.write("addin/TIPOFDAY.TXT", "mine");
    frmAddIn again(w.vbe.get(), w.services());
    EXPECT_EQ(TempDir::read(tips), "mine");
}

TEST(frmAddIn, OpensTheTipWindowUnlessTheSettingSaysOtherwise) {
    struct Case {
        const char* stored;
        bool shown;
    } cases[] = {{"1", true}, {"0", false}, {nullptr, true}};
    for (const Case& c : cases) {
        Window w(Window::Project::Example, c.stored);
        EXPECT_EQ(w.form->tipWindow() != nullptr, c.shown) << (c.stored ? c.stored : "(none)");
    }
    Window w;
    user::click(w.form->cmdTips);
    frmTip* tip = w.form->tipWindow();
    ASSERT_NE(tip, nullptr);
    // Shown again while loaded: the same window comes forward, hidden or not;
    // asked for, the tips are shown at the next start again.
    user::click(tip->chkLoadTipsAtStartup);
    tip->Hide();
    user::click(w.form->cmdTips);
    EXPECT_EQ(w.settings.setting(SettingsService::kApplication, "Options", "Show Tips at Startup"),
              "1");
    EXPECT_EQ(w.form->tipWindow(), tip);
    EXPECT_TRUE(tip->Visible());
    // Closed, it is unloaded; shown again, it is made anew.
    ASSERT_TRUE(tip->Unload());
    EXPECT_EQ(w.form->tipWindow(), nullptr);
    user::click(w.form->cmdTips);
    ASSERT_NE(w.form->tipWindow(), nullptr);
    EXPECT_TRUE(w.form->tipWindow()->Visible());
    // And it goes when the tool window is closed.
    user::close(*w.form);
    EXPECT_EQ(w.form->tipWindow(), nullptr);
}

TEST(frmAddIn, HidingWithCancelAndShowingAgainKeepsLogTemplatesAndOptions) {
    Window w;
    w.form->DebugTxt.setText("Вставлено в Function : Pad\r\n");
    w.form->Header.setText("On Error GoTo Fail\r\n");
    w.form->Footer.setText("' mine");
    user::click(w.form->OnlyFunc);
    w.form->MdlName.setText("modUtil");
    user::click(w.form->CancelButton);
    EXPECT_FALSE(w.form->Visible());
    w.form->Show();
    EXPECT_EQ(std::tuple(w.form->DebugTxt.Text(), w.form->Header.Text(), w.form->Footer.Text(),
                         w.form->OnlyFunc.Value(), w.form->MdlName.Text(),
                         w.form->MdlName.ListCount()),
              std::tuple("Вставлено в Function : Pad\r\n", "On Error GoTo Fail\r\n", "' mine",
                         forms::vbChecked, "modUtil", 5));
}

TEST(frmAddIn, RunsTheInsertionForTheChosenModuleAndLogsIt) {
    Window w;
    w.form->MdlName.setText("modUtil");
    user::click(w.form->OnlySub);
    user::click(w.form->OnlyFunc);
    user::openList(w.form->SubName); // the drop-down fills the list
    ASSERT_EQ(items(w.form->SubName).size(), 7u);
    user::choose(w.form->SubName, 0);
    EXPECT_EQ(w.form->SubName.Text(), "*");
    w.boxes.answers = {MsgAnswer::Yes};
    // Behind the box about a procedure it could not treat, the log shows
    // every procedure treated before it.
    std::string logBehindFailure;
    w.boxes.onShow = [&](const ScriptedMessageBox::Shown& box) {
        if (box.text.find("Procedure: ") != std::string::npos)
            logBehindFailure = w.form->DebugTxt.Text();
    };
    int changed = 0; // the environment is told once, to show the changed code
    w.form->projectChanged = [&] { ++changed; };
    user::click(w.form->OKButton);
    EXPECT_EQ(changed, 1);
    EXPECT_EQ(logBehindFailure,
              "Вставлено в Function : Pad\r\nВставлено в Function : FormatMoney\r\n");
    ASSERT_GE(w.boxes.shown.size(), 1u);
    EXPECT_NE(w.code(2).find("'MyErrorHandler \"modUtil.Pad\""), std::string::npos);
    EXPECT_EQ(w.code(1).find("MyErrorHandler"), std::string::npos); // modMain untouched

    user::click(w.form->cmdClear);
    EXPECT_EQ(w.form->DebugTxt.Text(), "");
    EXPECT_FALSE(w.form->Footer.Text().empty());
}

TEST(frmAddIn, HandsTheTemplatesOverWithCrLfLineBreaks) {
    Window w;
    user::click(w.form->DefaultTXT);
    user::click(w.form->WithComment);
    w.form->MdlName.setText("CInvoice");
    w.form->SubName.setText("Customer (Let)");
    w.boxes.answers = {MsgAnswer::Yes};
    user::click(w.form->OKButton);
    EXPECT_EQ(w.form->DebugTxt.Text(), "Вставлено в Property : Customer\r\n");
    const std::string code = w.code(3);
    EXPECT_NE(code.find("ON ERROR GOTO err_debug\r\n"), std::string::npos);
    EXPECT_NE(code.find("lb_out:\r\n\tEXIT Property\r\nerr_debug:\r\n"), std::string::npos);
    EXPECT_NE(code.find("Error in CInvoice.Customer (Let)"), std::string::npos);
}

TEST(frmAddIn, TemplateToolBarActsOnTheBoxThatLastHadTheFocus) {
    Window w;
    forms::TextBox& footer = w.form->Footer;
    footer.SetFocus();
    user::settle();
    EXPECT_EQ(w.form->ActiveText(), "Footer");
    footer.setSel(0, 0);
    user::click(w.form->cmdModule);
    EXPECT_EQ(footer.Text().rfind("#MODULE#lb_out:", 0), 0u);
    footer.setSel(0, 8); // "#MODULE#" selected
    user::click(w.form->cmdProc);
    EXPECT_EQ(footer.Text().rfind("#PROC#lb_out:", 0), 0u);
    user::click(w.form->cmdUndo);
    EXPECT_EQ(footer.Text().rfind("#MODULE#lb_out:", 0), 0u);
    user::click(w.form->cmdTab);
    EXPECT_EQ(w.form->Header.Text(), "ON ERROR GOTO err_debug\r\n"); // not the header
}

TEST(frmAddIn, EnterPressesOkOrAFocusedButtonCtrlEnterBreaksTheLineAndEscHides) {
    Window w;
    w.boxes.answers = {MsgAnswer::No};
    user::press(w.form->Header, vbKeyReturn);
    ASSERT_EQ(w.boxes.shown.size(), 1u); // OK's question
    EXPECT_EQ(w.form->Header.Text(), "ON ERROR GOTO err_debug\r\n");
    w.form->Header.setSel(0, 0);
    user::press(w.form->Header, vbKeyReturn, forms::vbCtrlMask);
    EXPECT_EQ(w.form->Header.Text(), "\r\nON ERROR GOTO err_debug\r\n");
    EXPECT_EQ(w.boxes.shown.size(), 1u);

    // A focused button takes Enter itself; a check box leaves it to OK.
    w.form->DebugTxt.setText("log");
    user::press(w.form->cmdClear, vbKeyReturn);
    EXPECT_EQ(w.form->DebugTxt.Text(), ""); // cmdClear, not OK
    EXPECT_EQ(w.boxes.shown.size(), 1u);
    const int checked = w.form->OnlySub.Value();
    w.boxes.answers = {MsgAnswer::No};
    user::press(w.form->OnlySub, vbKeyReturn);
    EXPECT_EQ(w.form->OnlySub.Value(), checked);
    EXPECT_EQ(w.boxes.shown.size(), 2u); // OK's question
    user::press(w.form->MdlName, vbKeyEscape);
    EXPECT_FALSE(w.form->Visible());
}

namespace {

/// Opens the text input dialog on `text` through EditText and plays `act`
/// on it; a dialog left open is closed, so that a failure cannot hang the test.
std::string edit(Window& w, const std::string& text, bool& success,
                 const std::function<void(f_Dialog&)>& act,
                 forms::CommandButton* opener = nullptr) {
    f_Dialog& d = w.form->dialog();
    user::soon([&d, act] {
        act(d);
        if (d.Visible()) {
            ADD_FAILURE() << "the dialog was left open";
            user::close(d);
        }
    });
    if (!opener)
        return w.form->EditText(text, success);
    user::click(*opener);
    return {};
}

} // namespace

TEST(f_Dialog, EditsTheActiveTemplateEnterConfirmsCtrlEnterBreaksTheLineAndEscCancels) {
    Window w;
    bool success = true;
    for (bool confirm : {true, false}) {
        edit(
            w, "", success,
            [confirm](f_Dialog& d) {
                d.TXT.setText(confirm ? "On Error GoTo Fail" : "thrown away");
                user::click(confirm ? d.OKButton : d.CancelButton);
            },
            &w.form->cmdEdit);
        EXPECT_EQ(w.form->Header.Text(), "On Error GoTo Fail") << confirm;
    }
    // Closed by its frame: not confirmed.
    EXPECT_EQ(edit(w, "x", success, [](f_Dialog& d) { user::close(d); }), "");
    EXPECT_FALSE(success);

    success = false;
    // OK with the text unchanged still confirms it.
    EXPECT_EQ(
        edit(w, "On Error GoTo 0", success, [](f_Dialog& d) { user::press(d.TXT, vbKeyReturn); }),
        "On Error GoTo 0");
    EXPECT_TRUE(success);

    EXPECT_EQ(edit(w, "ab", success,
                   [](f_Dialog& d) {
                       d.TXT.setSel(2, 0);
                       user::press(d.TXT, vbKeyReturn, forms::vbCtrlMask);
                       user::type(d.TXT, "cd");
                       user::press(d.TXT, vbKeyReturn);
                   }),
              "ab\r\ncd");
    EXPECT_TRUE(success);

    // Esc in the text cancels, and what was typed is lost.
    EXPECT_EQ(edit(w, "kept", success,
                   [](f_Dialog& d) {
                       user::type(d.TXT, "typed");
                       user::press(d.TXT, vbKeyEscape);
                   }),
              "");
    EXPECT_FALSE(success);
}
