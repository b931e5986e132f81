#pragma once

#include "../support/runcommand.h"

#include <gmock/gmock.h>

#include <filesystem>
#include <string>
#include <vector>

using testing::HasSubstr;
using testing::Not;

/// How often `what` occurs in `text`.
inline size_t occurrences(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = 0; (at = text.find(what, at)) != std::string::npos; at += what.size())
        ++n;
    return n;
}

inline const std::string kTrapline = TRAPLINE_BINARY;
inline const std::string kExample = std::string(TRAPLINE_SOURCE_DIR) + "/examples";

/// `args` split into words as sh would split them, with its '...' and "..."
/// quoting, so that a test writes a command line once for every system.
inline std::vector<std::string> shellWords(const std::string& args) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    char quote = 0;
    for (char c : args) {
        if (quote) {
            if (c == quote)
                quote = 0;
            else
                word += c;
        } else if (c == '\'' || c == '"') {
            quote = c;
            inWord = true;
        } else if (c == ' ') {
            if (inWord)
                words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        words.push_back(word);
    return words;
}

/// Runs the built tool in `folder` with the arguments `args`, quoted as for
/// sh; a hang (on a FIFO, say) ends after a minute instead of stalling the
/// suite.
inline CommandResult traplineIn(const std::string& folder, const std::string& args) {
    std::vector<std::string> argv = shellWords(args);
    argv.insert(argv.begin(), kTrapline);
    return runCommand(argv, folder);
}

/// traplineIn() for a run that must end with `exitCode`; a run that ends
/// otherwise fails the test, its arguments and standard error shown.
inline CommandResult traplineIn(const std::string& folder, const std::string& args, int exitCode) {
    CommandResult r = traplineIn(folder, args);
    EXPECT_EQ(r.exitCode, exitCode) << args << "\n" << r.err;
    return r;
}

/// A copy of the example project in `dir`/`name`.
inline std::string copyExample(const TempDir& dir, const std::string& name) {
    std::filesystem::copy(utf8Path(kExample), utf8Path(dir.file(name)),
                          std::filesystem::copy_options::recursive);
    return dir.file(name);
}
