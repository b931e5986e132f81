#include "../forms/user.h"
#include "addinwindow.h"
#include "dropdowncombo.h"
#include "f_dialog.h"
#include "frmtip.h"

#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <tuple>

using trapline::MsgAnswer;
using Window = AddInWindow;

namespace {

QStringList items(const QComboBox* box) {
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out << box->itemText(i);
    return out;
}

} // namespace

TEST(frmAddIn, LoadsTheModulesAddsTheErrorModuleOnceAndWritesOnlyAMissingTipsFile) {
    Window w;
    EXPECT_EQ(items(w.form->MdlName),
              (QStringList{"*", "CInvoice", "frmMain", "modMain", "modUtil"}));
    EXPECT_EQ(w.form->ActiveText(), "Header");
    Window none(Window::Project::None);
    EXPECT_EQ(none.form->MdlName->count(), 1);

    for (size_t boxes : {0u, 1u}) { // the second time says so, and adds nothing
        w.form->bttn_InsCode->click();
        EXPECT_EQ(w.vbe->ActiveVBProject()->VBComponents().Count(), 5);
        EXPECT_EQ(w.boxes.shown.size(), boxes);
    }

    const std::string tips = w.form->tipsFile().toStdString();
    ASSERT_TRUE(std::filesystem::exists(tips));
    w.dir.write("addin/TIPOFDAY.TXT", "mine");
    frmAddIn again(w.vbe.get(), w.services());
    EXPECT_EQ(TempDir::read(tips), "mine");
}

TEST(frmAddIn, OpensTheTipWindowUnlessTheSettingSaysOtherwise) {
    struct Case {
        QString stored;
        bool shown;
    } cases[] = {{"1", true}, {"0", false}, {"2", false}, {"yes", true}, {QString(), true}};
    for (const Case& c : cases) {
        Window w(Window::Project::Example, c.stored);
        EXPECT_EQ(w.form->tipWindow() != nullptr, c.shown) << c.stored.toStdString();
    }
    Window w;
    w.form->cmdTips->click();
    frmTip* tip = w.form->tipWindow();
    ASSERT_NE(tip, nullptr);
    // Shown again while loaded: the same window comes forward, hidden or not.
    tip->Hide();
    w.form->cmdTips->click();
    EXPECT_EQ(w.form->tipWindow(), tip);
    EXPECT_TRUE(tip->Visible());
    // Closed, it is unloaded; shown again, it is made anew.
    ASSERT_TRUE(tip->Unload());
    EXPECT_EQ(w.form->tipWindow(), nullptr);
    w.form->cmdTips->click();
    ASSERT_NE(w.form->tipWindow(), nullptr);
    EXPECT_TRUE(w.form->tipWindow()->Visible());
}

TEST(frmAddIn, HidingWithCancelAndShowingAgainKeepsLogTemplatesAndOptions) {
    Window w;
    w.form->DebugTxt->setPlainText("Вставлено в Function : Pad\n");
    w.form->Header->setPlainText("On Error GoTo Fail\n");
    w.form->Footer->textCursor().insertText("' mine\n");
    w.form->OnlyFunc->setChecked(true);
    w.form->MdlName->setEditText("modUtil");
    const QString footer = w.form->Footer->toPlainText();
    w.form->CancelButton->click();
    EXPECT_FALSE(w.form->isVisible());
    w.form->show();
    EXPECT_EQ(std::tuple(w.form->DebugTxt->toPlainText(), w.form->Header->toPlainText(),
                         w.form->Footer->toPlainText(), w.form->OnlyFunc->isChecked(),
                         w.form->MdlName->currentText(), w.form->MdlName->count()),
              std::tuple("Вставлено в Function : Pad\n", "On Error GoTo Fail\n", footer, true,
                         "modUtil", 5));
}

TEST(frmAddIn, RunsTheInsertionForTheChosenModuleAndLogsIt) {
    Window w;
    w.form->MdlName->setEditText("modUtil");
    w.form->OnlySub->setChecked(true);
    w.form->OnlyFunc->setChecked(true);
    w.form->SubName->showPopup(); // the drop-down fills the list
    EXPECT_EQ(items(w.form->SubName), (QStringList{"*", "ClearText", "FormatLine", "FormatMoney",
                                                   "NextNumber", "Nop", "Pad"}));
    w.form->SubName->hidePopup();
    w.form->SubName->setEditText("*");
    w.boxes.answers = {MsgAnswer::Yes};
    // Behind the box about a procedure it could not treat, the log shows
    // every procedure treated before it.
    QString logBehindFailure;
    w.boxes.onShow = [&](const ScriptedMessageBox::Shown& box) {
        if (box.text.find("Procedure: ") != std::string::npos)
            logBehindFailure = w.form->DebugTxt->toPlainText();
    };
    w.form->OKButton->click();
    EXPECT_EQ(logBehindFailure, "Вставлено в Function : Pad\nВставлено в Function : FormatMoney\n");
    ASSERT_GE(w.boxes.shown.size(), 1u);
    EXPECT_NE(w.code(2).find("'MyErrorHandler \"modUtil.Pad\""), std::string::npos);
    EXPECT_EQ(w.code(1).find("MyErrorHandler"), std::string::npos); // modMain untouched
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    w.form->cmdClear->click();
    EXPECT_EQ(w.form->DebugTxt->toPlainText(), "");
    EXPECT_FALSE(w.form->Footer->toPlainText().isEmpty());
}

TEST(frmAddIn, HandsTheTemplatesOverWithCrLfLineBreaks) {
    Window w;
    w.form->DefaultTXT->setChecked(false);
    w.form->WithComment->setChecked(false);
    w.form->MdlName->setEditText("CInvoice");
    w.form->SubName->setEditText("Customer (Let)");
    w.boxes.answers = {MsgAnswer::Yes};
    w.form->OKButton->click();
    EXPECT_EQ(w.form->DebugTxt->toPlainText(), "Вставлено в Property : Customer\n");
    const std::string code = w.code(3);
    EXPECT_NE(code.find("ON ERROR GOTO err_debug\r\n"), std::string::npos);
    EXPECT_NE(code.find("lb_out:\r\n\tEXIT Property\r\nerr_debug:\r\n"), std::string::npos);
    EXPECT_NE(code.find("Error in CInvoice.Customer (Let)"), std::string::npos);
}

TEST(frmAddIn, TemplateToolBarActsOnTheBoxThatLastHadTheFocus) {
    Window w;
    QPlainTextEdit* footer = w.form->Footer;
    footer->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(w.form->ActiveText(), "Footer");
    // The outline moves to surround the box that has the focus.
    EXPECT_TRUE(w.form->TextBorder->geometry().contains(footer->geometry()));
    EXPECT_FALSE(w.form->TextBorder->geometry().contains(w.form->Header->geometry()));
    footer->moveCursor(QTextCursor::Start);
    w.form->cmdModule->click();
    EXPECT_TRUE(footer->toPlainText().startsWith("#MODULE#lb_out:"));
    footer->moveCursor(QTextCursor::Start, QTextCursor::KeepAnchor); // "#MODULE#" selected
    w.form->cmdProc->click();
    EXPECT_TRUE(footer->toPlainText().startsWith("#PROC#lb_out:"));
    w.form->cmdUndo->click();
    EXPECT_TRUE(footer->toPlainText().startsWith("#MODULE#lb_out:"));
    w.form->cmdTab->click();
    EXPECT_EQ(w.form->Header->toPlainText(), "ON ERROR GOTO err_debug\n"); // not the header
}

TEST(frmAddIn, EnterPressesOkOrAFocusedButtonCtrlEnterBreaksTheLineAndEscHides) {
    Window w;
    w.boxes.answers = {MsgAnswer::No};
    QTest::keyClick(w.form->Header, Qt::Key_Return);
    ASSERT_EQ(w.boxes.shown.size(), 1u); // OK's question
    EXPECT_EQ(w.form->Header->toPlainText(), "ON ERROR GOTO err_debug\n");
    QTest::keyClick(w.form->Header, Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(w.form->Header->toPlainText().count('\n'), 2);
    EXPECT_EQ(w.boxes.shown.size(), 1u);

    // A focused push button takes Enter itself; a check box leaves it to OK.
    w.form->DebugTxt->setPlainText("log");
    QTest::keyClick(w.form->cmdClear, Qt::Key_Return);
    EXPECT_TRUE(w.form->DebugTxt->toPlainText().isEmpty()); // cmdClear, not OK
    EXPECT_EQ(w.boxes.shown.size(), 1u);
    w.boxes.answers = {MsgAnswer::No};
    const bool checked = w.form->OnlySub->isChecked();
    QTest::keyClick(w.form->OnlySub, Qt::Key_Return);
    EXPECT_EQ(w.form->OnlySub->isChecked(), checked);
    EXPECT_EQ(w.boxes.shown.size(), 2u); // OK's question
    QTest::keyClick(w.form->MdlName, Qt::Key_Escape);
    EXPECT_FALSE(w.form->isVisible());
}

namespace {

/// Opens the text input dialog on `text` through EditText and plays `act`
/// on it; a dialog left open is closed, so that a failure cannot hang the test.
QString edit(Window& w, const QString& text, bool& success,
             const std::function<void(f_Dialog&)>& act, QToolButton* opener = nullptr) {
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
    opener->click();
    return QString();
}

} // namespace

TEST(frmAddIn, EditsTheActiveTemplateInTheDialog) {
    Window w;
    bool success = true;
    for (bool confirm : {true, false}) {
        edit(
            w, "", success,
            [confirm](f_Dialog& d) {
                d.TXT.setText(confirm ? "On Error GoTo Fail" : "thrown away");
                user::click(confirm ? d.OKButton : d.CancelButton);
            },
            w.form->cmdEdit);
        EXPECT_EQ(w.form->Header->toPlainText(), "On Error GoTo Fail") << confirm;
    }
    // Closed by its frame: not confirmed, and whatever had the focus then,
    // typing goes into the text the next time it opens.
    EXPECT_EQ(edit(w, "x", success,
                   [](f_Dialog& d) {
                       d.cmdUndo.SetFocus();
                       EXPECT_EQ(d.ActiveControl(), &d.cmdUndo);
                       user::close(d);
                   }),
              "");
    EXPECT_FALSE(success);
    const forms::Control* focused = nullptr;
    edit(w, "x", success, [&focused](f_Dialog& d) {
        focused = d.ActiveControl();
        user::close(d);
    });
    EXPECT_EQ(focused, &w.form->dialog().TXT);
}

TEST(f_Dialog, KeepsItsMinimumAndLaysTheBoxOutBesideTheButtons) {
    f_Dialog d;
    d.Show();
    d.setSize(150, 150);
    user::settle();
    // The least outer size, less the frame the side draws around it.
    EXPECT_LE(d.Width(), f_Dialog::kMinWidth);
    EXPECT_GT(d.Width(), f_Dialog::kMinWidth - 600);
    EXPECT_LE(d.Height(), f_Dialog::kMinHeight);
    EXPECT_GT(d.Height(), f_Dialog::kMinHeight - 900);
    d.setSize(9000, 6000);
    user::settle();
    EXPECT_EQ(d.frCmd.Left(), 9000 - d.frCmd.Width());
    EXPECT_EQ(d.TXT.Left() + d.TXT.Width(), d.frCmd.Left());
    EXPECT_EQ(d.TXT.Top() + d.TXT.Height(), 6000 - 90);
}

TEST(f_Dialog, EnterConfirmsCtrlEnterBreaksTheLineAndEscCancels) {
    constexpr int vbKeyReturn = 13, vbKeyEscape = 27;
    Window w;
    bool success = false;
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
              "ab\ncd");
    EXPECT_TRUE(success);

    // Esc anywhere cancels, and what was typed is lost.
    for (bool inText : {true, false}) {
        success = true;
        EXPECT_EQ(edit(w, "kept", success,
                       [inText](f_Dialog& d) {
                           user::type(d.TXT, "typed");
                           user::press(inText ? static_cast<forms::Control&>(d.TXT) : d.OKButton,
                                       vbKeyEscape);
                       }),
                  "");
        EXPECT_FALSE(success);
    }
}
