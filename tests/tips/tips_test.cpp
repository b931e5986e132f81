#include "../forms/user.h"
#include "../support/scriptedmessagebox.h"
#include "../support/tempdir.h"
#include "../support/testsettings.h"
#include "frmabout.h"
#include "frmtip.h"
#include "modresfiles.h"
#include "registrylookup.h"
#include "versionrecord.h"

#include <gtest/gtest.h>
#include <map>
#include <set>
#include <tuple>

#ifdef _WIN32
#include <cctype>
#endif

namespace {

/// Names on Windows are the same whatever their letter case.
std::string comparable(std::string path) {
#ifdef _WIN32
    for (char& c : path)
        c = c == '\\' ? '/' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
#endif
    return path;
}

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

TEST(ModResFiles, ExtractsTheTipsResourceByteForByteMakesTemporaryNamesAndStripsAtNul) {
    TempDir dir;
    // An older, longer file of that name keeps none of its bytes.
    std::string target = dir.write("TIPOFDAY.TXT", std::string(1000, 'x'));
    ASSERT_TRUE(ModResFiles::ExtractResourceToFile("rustips", target));
    // What the bytes say is checked where the tip window reads them.
    EXPECT_EQ(TempDir::read(target).size(), 400u);

    EXPECT_FALSE(ModResFiles::ExtractResourceToFile("NOTHERE", dir.file("x")));
    EXPECT_FALSE(std::filesystem::exists(utf8Path(dir.file("x"))));
    EXPECT_EQ(ModResFiles::SaveResourceData("RUSTIPS", "Custom", dir.file("no/such/folder/file")),
              75);
    EXPECT_EQ(TempDir::namesIn(dir.path()), std::vector<std::string>{"TIPOFDAY.TXT"});

    // Temporary names, and text cut at its NUL.
    std::string name;
    ASSERT_TRUE(ModResFiles::MakeTempFileName(dir.path(), "~rsX", 0, name));
    EXPECT_TRUE(utf8String(utf8Path(name).filename()).starts_with("~rs"));
    EXPECT_TRUE(std::filesystem::exists(utf8Path(name))); // the name stays reserved
    // A number of its own names the file without making it, in hex.
    for (auto [unique, expected] : {std::pair{0xABC, "~rsABC.TMP"}, std::pair{-1, "~rsFFFF.TMP"}}) {
        ASSERT_TRUE(ModResFiles::MakeTempFileName(dir.path(), "~rs", unique, name));
        EXPECT_EQ(comparable(name), comparable(dir.file(expected)));
        EXPECT_FALSE(std::filesystem::exists(utf8Path(name)));
    }
    EXPECT_EQ(ModResFiles::StripAtNul(std::string("abc\0def", 7)), "abc");
    EXPECT_EQ(ModResFiles::StripAtNul(std::string("\0x", 2)), "");
    EXPECT_EQ(ModResFiles::StripAtNul("plain"), "plain");
}

TEST(frmTip, ShowsTipsWithTheirMarkersAsLineBreaksStoresTheSettingAndExplainsAMissingFile) {
    TempDir dir;
    TestSettings settings(dir);
    auto stored = [&settings] {
        return settings.setting(VersionRecord::kProductName, "Options", "Show Tips at Startup");
    };
    std::string file =
        dir.write("Подсказки/TIPOFDAY.TXT", "One VBCRLF two vbcrlf three VbCrLF four\r\n");
    frmTip tip(settings, file);
    EXPECT_EQ(tip.tips(), std::vector<std::string>{"One \r\n two \r\n three \r\n four"});
    EXPECT_EQ(tip.lblTipText.Caption(), "One \n two \n three \n four");
    EXPECT_EQ(stored(), "1");
    user::click(tip.cmdNextTip);
    EXPECT_EQ(tip.CurrentTip(), 1); // one tip: the same again
    user::click(tip.chkLoadTipsAtStartup);
    EXPECT_EQ(stored(), "0");

    frmTip missing(settings, dir.file("other/TIPOFDAY.TXT"));
    std::string message = frmTip::missingFileMessage();
    for (size_t at; (at = message.find("\r\n")) != std::string::npos;)
        message.replace(at, 2, "\n");
    EXPECT_EQ(missing.lblTipText.Caption(), message);
    frmTip blank(settings, dir.write("empty.txt", "\r\n"));
    EXPECT_EQ(blank.lblTipText.Caption(), "");

    // The defaults, in Russian: the last tip keeps the NUL the resource ends with.
    ASSERT_TRUE(ModResFiles::ExtractResourceToFile("RUSTIPS", file));
    frmTip defaults(settings, file);
    ASSERT_EQ(defaults.tips().size(), 3u);
    EXPECT_TRUE(defaults.tips()[2].ends_with(std::string_view("\"*\".\0", 5)));
    // Next draws among them all, and the label shows the one drawn.
    std::map<int, std::string> shown;
    for (int i = 0; i < 60; ++i) {
        user::click(defaults.cmdNextTip);
        shown[defaults.CurrentTip()] = defaults.lblTipText.Caption();
    }
    std::set<std::string> captions;
    for (const auto& [number, caption] : shown)
        captions.insert(caption);
    EXPECT_EQ(std::tuple(shown.size(), captions.size(), shown.begin()->first),
              std::tuple(3u, 3u, 1));
}

TEST(frmAbout, FindsSystemInformationThroughTheRegistryOrSaysItCannot) {
    TempDir dir;
    const std::string exe = dir.write("bin/msinfo32", "");
    // A folder name outside the ANSI code page.
    const std::string inFolder = dir.write("Сервис/MSINFO32.EXE", "");
    const struct {
        const char* name;
        std::string key, value, data;
        std::string started; // empty: the message instead
    } rows[] = {
        // The first key wins and its NUL is cut off.
        {"key 1 names the program", kMsinfo, "PATH", exe + std::string(1, '\0'), exe},
        {"key 1 names a missing file", kMsinfo, "PATH", "/no/such/msinfo32", ""},
        {"key 2 names a folder without it", kLocation, "MSINFO", dir.file("bin"), ""},
        {"key 2 names its folder", kLocation, "MSINFO", dir.file("Сервис"), inFolder},
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
            return std::filesystem::exists(utf8Path(p));
        });
        user::click(about.cmdSysInfo);
        if (!row.started.empty()) {
            ASSERT_EQ(started.size(), 1u) << row.name;
            EXPECT_EQ(comparable(started[0]), comparable(row.started)) << row.name;
            EXPECT_TRUE(boxes.shown.empty()) << row.name;
            continue;
        }
        EXPECT_EQ(boxes.shown.size(), 1u) << row.name;
    }
}
