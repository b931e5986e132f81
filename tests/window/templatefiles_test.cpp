#include "templatefiles.h"

#include "../forms/user.h"
#include "addinwindow.h"
#include "comdlgconsts.h"
#include "f_dialog.h"
#include "forms.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <tuple>

using namespace comdlg;

namespace {

/// The window over an empty project, where templates are all there is.
struct Window : AddInWindow {
    explicit Window(const char* codepage = nullptr) : AddInWindow(Project::Empty, "0", codepage) {}
};

const std::string kHeader = "' Модуль #MODULE#\r\n\tON ERROR GOTO err_#PROC#\r\n???";

} // namespace

TEST(TemplateFiles, AHeaderSavedToAFileLoadsIntoTheFooterUnchangedAndIsReplacedWhenSavedAgain) {
    Window w;
    w.form->Header.setText(kHeader);
    w.save(w.form->Header, w.path("team.ert"));

    // Windows-1251, CR LF between lines, nothing after the text.
    EXPECT_EQ(TempDir::read(w.dir.file("team.ert")),
              "' \xCC\xEE\xE4\xF3\xEB\xFC #MODULE#\r\n\tON ERROR GOTO err_#PROC#\r\n???");
    w.load(w.form->Footer, w.path("team.ert"));
    EXPECT_EQ(w.form->Footer.Text(), kHeader);
    // Both dialogs start in the add-in's folder, owned by the window, on the
    // first filter; the path-must-exist bit the requests carry reaches
    // neither, so the save dialog asks no question.
    const struct {
        bool save;
        std::string filter;
        int32_t flags;
    } dialogs[] = {
        {true, withNuls("On Error Template\0*.ert\0\0"), OFN_HIDEREADONLY},
        {false, withNuls("On Error Template\0*.ert\0Text File\0*.txt\0All Files\0*.*\0\0"),
         OFN_FILEMUSTEXIST},
    };
    ASSERT_EQ(w.dialogs.fileSeen.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        const OpenFileNameRecord& r = w.dialogs.fileSeen[i];
        EXPECT_EQ(std::tuple(bool(w.dialogs.fileWasSave[i]), r.lpstrFilter, r.nFilterIndex, r.Flags,
                             r.lpstrInitialDir, r.hwndOwner),
                  std::tuple(dialogs[i].save, dialogs[i].filter, 1, dialogs[i].flags,
                             w.addInFolder(), w.form->windowHandle()));
    }

    // Saved again, the file is replaced without a question.
    w.form->Header.setText("new");
    w.save(w.form->Header, w.path("team.ert"));
    EXPECT_EQ(TempDir::read(w.dir.file("team.ert")), "new");
    // Older files with a trailing line end, or LF alone, load whole.
    w.dir.write("old.ert", "On Error GoTo e\r\n");
    w.load(w.form->Footer, w.path("old.ert"));
    EXPECT_EQ(w.form->Footer.Text(), "On Error GoTo e\r\n");
    w.dir.write("git.txt", "a\nb");
    w.load(w.form->Footer, w.path("git.txt"));
    EXPECT_EQ(w.form->Footer.Text(), "a\r\nb");
    EXPECT_TRUE(w.boxes.shown.empty());
}

TEST(TemplateFiles, TheTextInputDialogLoadsAndSavesItsOwnBox) {
    Window w;
    f_Dialog& d = w.form->dialog();
    d.Show();
    d.TXT.setText(kHeader);
    w.dialogs.files.push_back(ScriptedDialogBackend::choose(w.path("d.ert")));
    user::click(d.cmdSaveToFile);
    d.TXT.setText("other");
    w.dialogs.files.push_back(ScriptedDialogBackend::choose(w.path("d.ert")));
    user::click(d.cmdLoadFromFile);
    EXPECT_EQ(d.TXT.Text(), kHeader);
    EXPECT_NE(w.form->Header.Text(), kHeader); // the window's boxes are not touched
    EXPECT_TRUE(w.boxes.shown.empty());
}

TEST(TemplateFiles, TheExtensionIsAddedWhenTheNameLacksItAndBoxesBreakLinesWithCrLf) {
    std::vector<std::string> named;
    for (const char* chosen : {"/t/a", "/t/a.txt", "/t/a.ERT", "/t/my.ert.files/a"})
        named.push_back(TemplateFiles::withTemplateExtension(chosen));
    EXPECT_EQ(named, (std::vector<std::string>{"/t/a.ert", "/t/a.txt.ert", "/t/a.ERT",
                                               "/t/my.ert.files/a.ert"}));
    // A native edit box breaks lines only at CR LF.
    EXPECT_EQ(TemplateFiles::boxText("a\n\nb\n"), "a\r\n\r\nb\r\n");
    EXPECT_EQ(TemplateFiles::fileText("a\r\n\r\nb\r\n"), "a\n\nb\n");
}

TEST(TemplateFiles, CancelEmptyBoxAndEmptyFileChangeNothingAndFailuresAreSaidKeepingTheText) {
    Window w;
    w.form->Header.setText("keep");
    w.cancel(w.form->Header, w.form->cmdLoadFromFile);
    w.cancel(w.form->Header, w.form->cmdSaveToFile);
    EXPECT_EQ(w.form->Header.Text(), "keep");
    EXPECT_EQ(w.dialogs.fileSeen.size(), 2u);

    // An empty box shows no dialog at all.
    w.form->Footer.setText("");
    w.form->setActiveText("Footer");
    user::click(w.form->cmdSaveToFile);
    EXPECT_EQ(w.dialogs.fileSeen.size(), 2u);

    // An empty file loads as if nothing had been chosen.
    w.dir.write("empty.ert", "");
    w.load(w.form->Header, w.path("empty.ert"));
    EXPECT_EQ(w.form->Header.Text(), "keep");
    EXPECT_TRUE(w.boxes.shown.empty());
    EXPECT_EQ(std::filesystem::file_size(utf8Path(w.dir.file("empty.ert"))), 0u);
    EXPECT_EQ(w.dialogs.fileSeen.size(), 3u);

    // An unreadable file and a failed dialog are said; the box keeps its text.
    w.form->Footer.setText("keep");
    w.load(w.form->Footer, w.path("gone.ert"));
    ASSERT_EQ(w.boxes.shown.size(), 1u);
    EXPECT_EQ(w.boxes.shown[0].text.rfind("53: ", 0), 0u) << w.boxes.shown[0].text;
    EXPECT_NE(w.boxes.shown[0].text.find("gone.ert"), std::string::npos);

    // The dialog failed rather than being cancelled: that is said.
    w.dialogs.extendedError = FNERR_BUFFERTOOSMALL;
    w.cancel(w.form->Footer, w.form->cmdLoadFromFile);
    ASSERT_EQ(w.boxes.shown.size(), 2u);
    EXPECT_EQ(w.boxes.shown[1].text, std::to_string(FNERR_BUFFERTOOSMALL | 0x348A) + ": ");
    EXPECT_EQ(w.form->Footer.Text(), "keep");
}

TEST(TemplateFiles, AFailedSaveKeepsTheFileItWasReplacingAndLeavesNoPartialFile) {
    Window w;
    // A second name for the file: replacing it would split the two.
    w.dir.write("t.ert", "precious");
    std::filesystem::create_hard_link(utf8Path(w.dir.file("t.ert")),
                                      utf8Path(w.dir.file("twin.ert")));
    w.form->Header.setText("new");
    w.save(w.form->Header, w.path("t.ert"));
    ASSERT_EQ(w.boxes.shown.size(), 1u);
    EXPECT_EQ(w.boxes.shown[0].icon, trapline::MsgIcon::Critical);
    EXPECT_EQ(TempDir::read(w.dir.file("t.ert")), "precious");

    // A folder that is not there: a message, and no file anywhere.
    w.save(w.form->Header, w.path("missing/t.ert"));
    EXPECT_EQ(w.boxes.shown.size(), 2u);
    std::vector<std::string> names = TempDir::namesIn(w.dir.path());
    std::erase(names, "settings"); // the Qt side's settings store
    EXPECT_EQ(names, (std::vector<std::string>{"addin", "t.ert", "twin.ert"}));
}

TEST(TemplateFiles, TextGoesThroughTheProjectsCodePageAndACharacterItCannotHoldIsNamed) {
    Window w("1252");
    w.form->Header.setText("café");
    w.save(w.form->Header, w.path("t.ert"));
    EXPECT_EQ(TempDir::read(w.dir.file("t.ert")), "caf\xE9");
    w.load(w.form->Footer, w.path("t.ert"));
    EXPECT_EQ(w.form->Footer.Text(), "café");

    // Nothing is written, and no dialog is shown first.
    w.form->Header.setText("café ✓");
    w.save(w.form->Header, w.path("u.ert"));
    ASSERT_EQ(w.boxes.shown.size(), 1u);
    EXPECT_NE(w.boxes.shown[0].text.find("✓"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(utf8Path(w.dir.file("u.ert"))));
    EXPECT_EQ(w.dialogs.fileSeen.size(), 2u);
}

TEST(TemplateFiles, ATemplateThatWouldBreakTheCodeNeitherLoadsNorIsSavedAndItsLineIsNamed) {
    Window w;
    w.dir.write("bad.ert", "Exit ???\r\nFail:\r\nEnd ???");
    w.form->Footer.setText("keep");
    w.load(w.form->Footer, w.path("bad.ert"));
    EXPECT_EQ(w.form->Footer.Text(), "keep");
    ASSERT_EQ(w.boxes.shown.size(), 1u);
    EXPECT_NE(w.boxes.shown[0].text.find("bad.ert, line 3: a procedure's End statement"),
              std::string::npos)
        << w.boxes.shown[0].text;

    w.form->Header.setText("On Error GoTo Fail ' _");
    w.save(w.form->Header, w.path("cont.ert"));
    ASSERT_EQ(w.boxes.shown.size(), 2u);
    EXPECT_NE(w.boxes.shown[1].text.find("line 1: the last line ends in"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(utf8Path(w.dir.file("cont.ert"))));
    EXPECT_EQ(w.dialogs.fileSeen.size(), 1u);
}
