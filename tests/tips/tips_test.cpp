#include "../forms/user.h"
#include "../support/scriptedmessagebox.h"
#include "../support/tempdir.h"
#include "frmabout.h"
#include "frmtip.h"
#include "modresfiles.h"
#include "registrylookup.h"
#include "settingsstore.h"

#include <QFileInfo>
#include <gtest/gtest.h>
#include <map>

// The tips resources live in a static library: registered once, before any test.
[[maybe_unused]] static const bool kResources = [] {
    Q_INIT_RESOURCE(tips);
    return true;
}();

namespace {

/// A registry that holds what a test puts in it.
class ScriptedRegistry : public RegistryLookup {
public:
    bool query(unsigned root, const std::string& key, const std::string& name,
               Value& value) override {
        auto it = values.find(std::to_string(root) + "\\" + key + "\\" + name);
        if (it == values.end())
            return false;
        value = it->second;
        return true;
    }
    std::map<std::string, Value> values;
};

const std::string kMsinfo = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
const std::string kLocation = "SOFTWARE\\Microsoft\\Shared Tools Location";

} // namespace

TEST(ModResFiles, ExtractsTheTipsResourceByteForByte) {
    TempDir dir;
    // An older, longer file of that name keeps none of its bytes.
    std::string target = dir.write("TIPOFDAY.TXT", std::string(1000, 'x'));
    ASSERT_TRUE(ModResFiles::ExtractResourceToFile("rustips", QString::fromStdString(target)));
    // What the bytes say is checked where the tip window reads them.
    EXPECT_EQ(TempDir::read(target).size(), 400u);

    EXPECT_FALSE(
        ModResFiles::ExtractResourceToFile("NOTHERE", QString::fromStdString(dir.file("x"))));
    EXPECT_FALSE(std::filesystem::exists(dir.file("x")));
    EXPECT_EQ(ModResFiles::SaveResourceData("RUSTIPS", "Custom", "/no/such/folder/file"), 75);
}

TEST(ModResFiles, MakesTemporaryNamesAndStripsAtNul) {
    TempDir dir;
    QString name;
    ASSERT_TRUE(ModResFiles::MakeTempFileName(QString::fromStdString(dir.path()), "~rs", 0, name));
    EXPECT_TRUE(QFileInfo(name).fileName().startsWith("~rs"));
    EXPECT_TRUE(QFileInfo::exists(name)); // the name stays reserved
    // A number of its own names the file without making it, in capital hex.
    for (auto [unique, expected] : {std::pair{0xABC, "~rsABC.TMP"}, std::pair{-1, "~rsFFFF.TMP"}}) {
        ASSERT_TRUE(
            ModResFiles::MakeTempFileName(QString::fromStdString(dir.path()), "~rs", unique, name));
        EXPECT_EQ(name, QString::fromStdString(dir.file(expected)));
        EXPECT_FALSE(QFileInfo::exists(name));
    }
    EXPECT_EQ(ModResFiles::StripAtNul(QString("abc") + QChar(0) + "def"), "abc");
    EXPECT_EQ(ModResFiles::StripAtNul(QString(QChar(0)) + "x"), "");
    EXPECT_EQ(ModResFiles::StripAtNul("plain"), "plain");
}

TEST(frmTip, ShowsTipsWithTheirMarkersAsLineBreaksStoresTheSettingAndExplainsAMissingFile) {
    TempDir dir;
    SettingsStore settings(QString::fromStdString(dir.file("s")));
    auto stored = [&settings] {
        return settings.GetSetting(SettingsStore::kApplication, "Options", "Show Tips at Startup");
    };
    std::string file = dir.write("TIPOFDAY.TXT", "One VBCRLF two vbcrlf three VbCrLF four\r\n");
    frmTip tip(settings, file);
    EXPECT_EQ(tip.tips(), std::vector<std::string>{"One \r\n two \r\n three \r\n four"});
    EXPECT_EQ(tip.lblTipText.Caption(), "One \n two \n three \n four");
    EXPECT_EQ(stored(), "1");
    user::click(tip.cmdNextTip);
    EXPECT_EQ(tip.CurrentTip(), 1); // one tip: the same again
    user::click(tip.chkLoadTipsAtStartup);
    EXPECT_EQ(stored(), "0");

    frmTip missing(settings, dir.file("other/TIPOFDAY.TXT"));
    EXPECT_EQ(QString::fromStdString(missing.lblTipText.Caption()),
              QString::fromStdString(frmTip::missingFileMessage()).replace("\r\n", "\n"));
    frmTip blank(settings, dir.write("empty.txt", "\r\n"));
    EXPECT_EQ(blank.lblTipText.Caption(), "");

    // The defaults, in Russian: the last tip keeps the NUL the resource ends with.
    ASSERT_TRUE(ModResFiles::ExtractResourceToFile("RUSTIPS", QString::fromStdString(file)));
    frmTip defaults(settings, file);
    ASSERT_EQ(defaults.tips().size(), 3u);
    EXPECT_TRUE(defaults.tips()[2].ends_with(std::string_view("\"*\".\0", 5)));
}

TEST(frmAbout, GivesTheLegalNoticeRoomOfItsOwn) {
    ScriptedRegistry registry;
    ScriptedMessageBox boxes;
    frmAbout about(registry, boxes, [](const std::string&) { return true; });
    const forms::Control& legal = about.lblLegal;
    for (const forms::Control* c : about.tabOrder()) {
        if (c == &legal || !c->Visible())
            continue;
        const bool apart =
            c->Left() + c->Width() <= legal.Left() || legal.Left() + legal.Width() <= c->Left() ||
            c->Top() + c->Height() <= legal.Top() || legal.Top() + legal.Height() <= c->Top();
        EXPECT_TRUE(apart) << c->Name();
    }
}

TEST(frmAbout, FindsSystemInformationThroughTheRegistryOrSaysItCannot) {
    TempDir dir;
    const std::string exe = dir.write("bin/msinfo32", "");
    const std::string inFolder = dir.write("tools/MSINFO32.EXE", "");
    const struct {
        const char* name;
        std::string key, value, data;
        std::string started; // empty: the message instead
    } rows[] = {
        // The first key wins and its NUL is cut off.
        {"key 1 names the program", kMsinfo, "PATH", exe + std::string(1, '\0'), exe},
        {"key 1 names a missing file", kMsinfo, "PATH", "/no/such/msinfo32", ""},
        {"key 2 names a folder without it", kLocation, "MSINFO", dir.file("bin"), ""},
        {"key 2 names its folder", kLocation, "MSINFO", dir.file("tools"), inFolder},
        {"nothing registered", "", "", "", ""},
    };
    for (const auto& row : rows) {
        ScriptedRegistry registry;
        if (!row.key.empty())
            registry.values[std::to_string(RegistryLookup::HKEY_LOCAL_MACHINE) + "\\" + row.key +
                            "\\" + row.value] = {RegistryLookup::Type::Text, row.data, 0};
        ScriptedMessageBox boxes;
        std::vector<std::string> started;
        frmAbout about(registry, boxes, [&started](const std::string& p) {
            started.push_back(p);
            return std::filesystem::exists(p);
        });
        user::click(about.cmdSysInfo);
        if (!row.started.empty()) {
            EXPECT_EQ(started, std::vector<std::string>{row.started}) << row.name;
            EXPECT_TRUE(boxes.shown.empty()) << row.name;
            continue;
        }
        EXPECT_EQ(boxes.shown.size(), 1u) << row.name;
    }
}
