#include "runcommand.h"

#include <gtest/gtest.h>

#include <filesystem>

TEST(RunCommand, EveryArgumentReachesTheProgramAsItIsInTheFolderAsked) {
    // What a shell or the MSVCRT's command-line parser would take apart.
    const std::vector<std::string> args = {
        "plain",           "two words", "",      "\"quoted\"", "back\\slash", "trailing\\",
        "\\\"mixed\\\\\"", "it's",      "$HOME", "*.bas",      "a;b&c|d>e",   "tab\there",
        "Модуль 1.bas"};
    TempDir dir;
    dir.write("Папка с пробелом/x", "");
    std::vector<std::string> argv = {PRINTARGS_BINARY};
    argv.insert(argv.end(), args.begin(), args.end());
    const CommandResult r = runCommand(argv, dir.file("Папка с пробелом"));

    EXPECT_EQ(r.exitCode, int(args.size())) << r.err;
    EXPECT_EQ(r.err, "done\n");
    std::string expected;
    for (const std::string& arg : args)
        expected += "[" + arg + "]\n";
    const size_t firstLine = r.out.find('\n');
    ASSERT_NE(firstLine, std::string::npos) << r.out;
    EXPECT_TRUE(std::filesystem::equivalent(utf8Path(r.out.substr(0, firstLine)),
                                            utf8Path(dir.file("Папка с пробелом"))))
        << r.out.substr(0, firstLine);
    EXPECT_EQ(r.out.substr(firstLine + 1), expected);
}
