#pragma once

#include "../support/runcommand.h"

#include <gmock/gmock.h>

#include <filesystem>
#include <string>

using testing::HasSubstr;
using testing::Not;

inline const std::string kTrapline = TRAPLINE_BINARY;
inline const std::string kExample = std::string(TRAPLINE_SOURCE_DIR) + "/examples";

/// Runs the built tool in `folder`; `timeout` only keeps a hang (on a FIFO,
/// say) from stalling the suite.
inline CommandResult traplineIn(const std::string& folder, const std::string& args) {
    return runCommand("cd '" + folder + "' && timeout 60 '" + kTrapline + "' " + args);
}

/// A copy of the example project in `dir`/`name`.
inline std::string copyExample(const TempDir& dir, const std::string& name) {
    std::filesystem::copy(kExample, dir.file(name), std::filesystem::copy_options::recursive);
    return dir.file(name);
}
