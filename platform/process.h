#pragma once

// The process and its surroundings: its number, other processes, Ctrl+C and
// its relatives, the command line and the standard streams.

#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace trapline::platform {

long processId();
/// Whether no process of that number exists any more (POSIX: kill gives
/// ESRCH; Windows: it cannot be opened because there is none).
bool processGone(long pid);

/// The interruptions a run must clean up after: Ctrl+C (SIGINT), SIGTERM and
/// SIGHUP on POSIX; Ctrl+C, Ctrl+Break and closing the console on Windows.
/// Each is handed to `handler` on a thread of its own, which may take locks
/// and wait. Call once, early in main(), before any other thread starts.
void watchInterruptions(std::function<void(int interruption)> handler);
/// Ends the process as the interruption would have (by the signal on POSIX,
/// with STATUS_CONTROL_C_EXIT on Windows).
[[noreturn]] void endByInterruption(int interruption);

/// The arguments as UTF-8 (on Windows read from the UTF-16 command line, not
/// from `argv`), without the program's name.
std::vector<std::string> arguments(int argc, char** argv);
/// Standard output and error as bytes: no line-end translation, and UTF-8
/// shown correctly on a Windows console.
void prepareStandardStreams();
/// Writes UTF-8 text to `stream` (WriteConsoleW on a Windows console).
void writeText(std::FILE* stream, std::string_view text);
/// Whether `stream` is a terminal or console.
bool isTerminal(std::FILE* stream);

} // namespace trapline::platform
