#include "environmenttest.h"
#include "office/document.h"
#include "projectexplorer.h"
#include "recentprojects.h"
#include "workspace.h"

#include <QDir>
#include <QMimeData>
#include <QTest>
#include <QTreeWidget>
#include <functional>
#include <gtest/gtest.h>
#include <map>

namespace {

const std::string kOffice = std::string(TRAPLINE_SOURCE_DIR) + "/tests/data/office/";

/// Copies the sample document `sample` into `dir` as `name`; its path.
std::string copySample(const TempDir& dir, const std::string& sample, const std::string& name) {
    return dir.write(name, TempDir::read(kOffice + sample));
}

QStringList children(const QTreeWidgetItem* item) {
    QStringList out;
    for (int i = 0; item && i < item->childCount(); ++i)
        out << item->child(i)->text(0);
    return out;
}

QTreeWidgetItem* itemNamed(const QTreeWidget& tree, const QString& text) {
    for (QTreeWidgetItemIterator it(const_cast<QTreeWidget*>(&tree)); *it; ++it)
        if ((*it)->text(0) == text)
            return *it;
    return nullptr;
}

/// Each module of the document at `path` as a reader that is not the
/// environment's finds it: name and source bytes.
std::map<std::string, std::string> modulesOnDisk(const std::string& path) {
    std::map<std::string, std::string> out;
    auto document = trapline::office::Document::open(path);
    EXPECT_TRUE(document) << path;
    if (document)
        for (const trapline::office::VbaModule& m : document->project().modules())
            out[m.name] = m.source;
    return out;
}

/// Each module of the active project, as a save should write it.
std::map<std::string, std::string> modulesShown(const EnvironmentWindow& env) {
    std::map<std::string, std::string> out;
    const trapline::Components& list = env.vbe().ActiveVBProject()->VBComponents();
    for (long i = 1; i <= list.Count(); ++i)
        out[(*list.Item(i))->Name()] = (*list.Item(i))->serialize();
    return out;
}

/// Types `text` at the end of the first line of the module shown: one undo step.
void typeOnFirstLine(EnvironmentWindow& env, const QString& text) {
    QPlainTextEdit* code = env.codeView();
    code->setFocus();
    code->moveCursor(QTextCursor::Start);
    code->moveCursor(QTextCursor::EndOfLine);
    QTest::keyClicks(code, text);
}

} // namespace

TEST(EnvironmentDocuments, ADocumentOpensAsAProjectWithItsModulesUnderTheVbaEditorsFolders) {
    struct Row {
        std::string sample, name;
        QStringList folders;
        QString module;    ///< one item to find, under the last folder
        QString codeHolds; ///< the code window shows this of it, decoded
    } rows[] = {
        {"vbaweb_Example.xlsm",
         "Book.xlsm",
         {"Microsoft Excel Objects", "Modules", "Class Modules"},
         "WebClient",
         "Public Function Execute"},
        {"tika_testWORD_macros.doc",
         "Memo.doc",
         {"Microsoft Word Objects", "Modules"},
         "NewMacros",
         "Sub Embolden()"},
        {"tika_testPPT_macros.pptm", "Deck.pptm", {"Modules"}, "Module1", "Sub Embolden()"},
        // A bare project says its application only through its document modules.
        {"xlsxwriter_vbaProject.bin",
         "vbaProject.bin",
         {"Microsoft Excel Objects", "Modules"},
         "Module1",
         "say_hello"},
        // Stored in code page 932.
        {"calamine_issue281.xlsm",
         "Japanese.xlsm",
         {"Microsoft Excel Objects", "Modules"},
         "testVBA",
         "MsgBox \"Hello from vba!\""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.sample);
        Session s;
        const std::string path = copySample(s.dir, row.sample, row.name);
        const QString qpath = QString::fromStdString(path);
        // Offered by File > Open and taken when dropped.
        bool offered = false;
        for (const QString& filter : EnvironmentWindow::openFilters().mid(0, 2))
            for (const QString& pattern : filter.section('(', 1).chopped(1).split(' '))
                offered = offered || QDir::match(pattern, QString::fromStdString(row.name));
        EXPECT_TRUE(offered);
        QMimeData dragged;
        dragged.setUrls({QUrl::fromLocalFile(qpath)});
        EXPECT_EQ(EnvironmentWindow::openablePaths(&dragged), QStringList{qpath});

        ASSERT_TRUE(s.env.openProject(qpath));
        EXPECT_TRUE(s.boxes.shown.empty()) << s.boxes.shown.front().text;
        EXPECT_EQ(RecentProjects().list().value(0), qpath);
        const QTreeWidget& tree = *s.env.explorer();
        ASSERT_EQ(tree.topLevelItemCount(), 1);
        EXPECT_EQ(tree.topLevelItem(0)->text(0), QString::fromStdString(row.name));
        EXPECT_EQ(children(tree.topLevelItem(0)), row.folders);
        QTreeWidgetItem* module = itemNamed(tree, row.module);
        ASSERT_NE(module, nullptr)
            << children(tree.topLevelItem(0)->child(0)).join(", ").toStdString();
        EXPECT_EQ(module->parent()->text(0), row.folders.back());
        s.env.explorer()->setCurrentItem(module);
        EXPECT_TRUE(s.env.codeView()->toPlainText().contains(row.codeHolds))
            << s.env.codeView()->toPlainText().left(400).toStdString();
        EXPECT_FALSE(s.env.codeView()->toPlainText().contains("Attribute VB_"));
    }
}

TEST(EnvironmentDocuments, EditsAndTheAddInsRunAreSavedIntoTheDocumentAndTheNextSaveBuildsOnThem) {
    struct Row {
        std::string sample, name;
        QString module;
    } rows[] = {
        {"vbaweb_Example.xlsm", "Book.xlsm", "Translate"},
        {"tika_testWORD_macros.doc", "Memo.doc", "NewMacros"},
        {"calamine_issue281.xlsm", "Japanese.xlsm", "testVBA"},
        {"xlwings_engines_mac.xlsm", "Mac.xlsm", "Module1"}, // LF line ends
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.sample);
        User user;
        const std::string path = copySample(user.dir, row.sample, row.name);
        const std::map<std::string, std::string> original = modulesOnDisk(path);
        auto env = user.start();
        ASSERT_TRUE(env->openProject(QString::fromStdString(path)));
        env->show();
        env->explorer()->setCurrentItem(itemNamed(*env->explorer(), row.module));
        typeOnFirstLine(*env, " ' first");
        EXPECT_TRUE(env->isModified());

        env->undoAction()->trigger();
        EXPECT_EQ(modulesShown(*env), original);
        EXPECT_FALSE(env->isModified());
        env->redoAction()->trigger();

        runAddIn(*env);
        // An add-in adds a module, as the error module is added.
        auto added = env->vbe().ActiveVBProject()->VBComponents().Add(1);
        ASSERT_TRUE(added);
        ASSERT_TRUE((*added)->setName("Added"));
        ASSERT_TRUE((*added)->CodeModule().AddFromString("Sub Added()\r\nEnd Sub"));
        env->refresh();
        std::map<std::string, std::string> expected = modulesShown(*env);
        ASSERT_EQ(expected.size(), original.size() + 1);
        const std::string typed = expected[row.module.toStdString()];
        EXPECT_NE(typed.find("' first"), std::string::npos);
        EXPECT_NE(typed.find("GOTO err_debug"), std::string::npos); // the add-in's handlers
        ASSERT_TRUE(env->saveProject());
        EXPECT_TRUE(user.boxes.shown.empty()) << user.boxes.shown.front().text;
        EXPECT_FALSE(env->isModified());
        EXPECT_EQ(modulesOnDisk(path), expected);

        // The second save goes into the document as the first left it.
        typeOnFirstLine(*env, " ' second");
        expected = modulesShown(*env);
        ASSERT_TRUE(env->saveProject());
        EXPECT_TRUE(user.boxes.shown.empty()) << user.boxes.shown.front().text;
        EXPECT_EQ(modulesOnDisk(path), expected);
        std::vector<std::string> files{row.name, "addins", "config", "p"}; // nothing staged left
        EXPECT_EQ(TempDir::namesIn(user.dir.path()), files);
    }
}

TEST(EnvironmentDocuments, ADocumentThatMayNotBeChangedIsNamedWithTheReasonAndNothingIsWritten) {
    struct Row {
        std::string sample, name;
        std::function<void(const TempDir&)> beforeSave; ///< null: refused as it opens
        std::string reason;
        std::function<void(const TempDir&)> mend; ///< makes a second save succeed
    } rows[] = {
        {"xlsxwriter_macro04_signed.xlsm", "Signed.xlsm", nullptr, "signed", nullptr},
        {"xlwings_addin_protected.xlam", "Locked.xlam", nullptr, "locked", nullptr},
        {"oletools_encrypted.docm", "Secret.docm", nullptr, "encrypted", nullptr},
        {"tika_testWORD_macros.docm", "Memo.docm",
         [](const TempDir& d) { d.write("~$Memo.docm", "someone"); }, "open in another program",
         [](const TempDir& d) { std::filesystem::remove(d.file("~$Memo.docm")); }},
        {"tika_testWORD_macros.docm", "Memo.docm",
         [](const TempDir& d) {
             d.write("Memo.docm", TempDir::read(d.file("Memo.docm")) + "saved elsewhere");
         },
         "changed on disk since it was loaded", nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.reason);
        Session s;
        const std::string path = copySample(s.dir, row.sample, row.name);
        if (!row.beforeSave) {
            EXPECT_FALSE(s.open(row.name));
            ASSERT_EQ(s.boxes.shown.size(), 1u);
            EXPECT_NE(s.boxes.shown[0].text.find(path + ": " + row.reason), std::string::npos)
                << s.boxes.shown[0].text;
            continue;
        }
        ASSERT_TRUE(s.open(row.name));
        trapline::Component* module =
            ProjectExplorer::componentOf(itemNamed(*s.env.explorer(), "NewMacros"));
        ASSERT_NE(module, nullptr);
        ASSERT_TRUE(module->CodeModule().InsertLines(1, "' mine"));
        row.beforeSave(s.dir);
        const std::string before = TempDir::read(path);
        const std::vector<std::string> files = TempDir::namesIn(s.dir.path());
        EXPECT_FALSE(s.env.saveProject());
        ASSERT_EQ(s.boxes.shown.size(), 1u);
        EXPECT_NE(s.boxes.shown[0].text.find(path + ": "), std::string::npos);
        EXPECT_NE(s.boxes.shown[0].text.find(row.reason), std::string::npos)
            << s.boxes.shown[0].text;
        EXPECT_EQ(TempDir::read(path), before);
        EXPECT_EQ(TempDir::namesIn(s.dir.path()), files);
        EXPECT_TRUE(s.env.isModified()); // the edit is kept for a later save
        if (row.mend) {
            row.mend(s.dir);
            EXPECT_TRUE(s.env.saveProject());
            const std::map<std::string, std::string> saved = modulesOnDisk(path);
            EXPECT_EQ(saved, modulesShown(s.env));
            EXPECT_NE(saved.at("NewMacros").find("' mine"), std::string::npos);
        }
    }
}

TEST(EnvironmentDocuments, AFolderOpensEachDocumentInItAsAProjectInItsOwnCodePage) {
    Session s;
    copySample(s.dir, "vbaweb_Example.xlsm", "Book.xlsm");
    copySample(s.dir, "calamine_issue281.xlsm", "sub/Japanese.xlsm");
    s.dir.write("~$Book.xlsm", "Office's lock file");
    s.dir.write("A.bas", "Attribute VB_Name = \"A\"\r\nSub S()\r\nEnd Sub\r\n");
    ASSERT_TRUE(s.open(""));
    EXPECT_TRUE(s.boxes.shown.empty()) << s.boxes.shown.front().text;
    std::vector<std::pair<QString, std::string>> seen;
    for (const Workspace::Entry& e : s.env.workspace().entries())
        seen.emplace_back(e.label, e.project->codepage().name());
    const std::string folder = QDir(QString::fromStdString(s.dir.path())).dirName().toStdString();
    EXPECT_EQ(seen, (std::vector<std::pair<QString, std::string>>{
                        {QString::fromStdString(folder), trapline::Codepage().name()},
                        {"Book.xlsm", "CP1252"},
                        {"sub/Japanese.xlsm", "CP932"}}));
}
