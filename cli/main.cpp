#include "checkcommand.h"
#include "errormodulecommand.h"
#include "insertcommand.h"
#include "listcommand.h"
#include "numbercommand.h"
#include "platform/process.h"
#include "refreshcommand.h"
#include "removecommand.h"
#include "signalcleanup.h"

#include <cstdio>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <cstring>
#include <string>
#include <vector>

namespace {

const char* kUsage = R"(Usage: trapline COMMAND [ARGS...]

TRAPLINE puts error handling into Visual Basic 6 and VBA code: projects,
folders, module files and the VBA projects of Office documents.

Commands:
  insert            put error traps and handlers into the chosen procedures
  check             report procedures without a handler and handlers with old names
  remove            take inserted handlers out again, byte for byte
  refresh           bring the names in inserted handlers up to date
  number            put line numbers on statement lines, for Erl
  unnumber          take line numbers out again, byte for byte
  list              list the procedures of a project, with their types and traps
  add-error-module  add the module mdl_Error with MyErrorHandler to a project

Run 'trapline COMMAND --help' for a command's options.

Options:
  -h, --help     show this help
  --version      show the version
)";

} // namespace

int main(int argc, char** argv) {
#ifdef __GLIBC__
    // Modules are read, treated and let go one after another: keep their
    // memory for the next one instead of handing it back to the system and
    // faulting it in again.
    mallopt(M_MMAP_THRESHOLD, 256 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 512 * 1024 * 1024);
    // A heap for each of the two threads that treat files, so that neither
    // waits for the other's allocations (a wait is a system call), each made
    // as large as a thread's heap may be at once: it then grows seldom, not a
    // page or so at a time, a system call each step. Only what is used takes
    // memory.
    mallopt(M_ARENA_MAX, 2);
    mallopt(M_TOP_PAD, 64 * 1024 * 1024);
#endif
    // Diffs, JSON and SARIF keep their LF line ends on every system.
    trapline::platform::prepareStandardStreams();
    // Before any thread starts: Ctrl-C and the like remove staged files.
    trapline::SignalCleanup::install([](int) {
        trapline::platform::writeText(
            stderr, "trapline: interrupted; each file is as it was or fully treated\n");
    });
    std::vector<std::string> args = trapline::platform::arguments(argc, argv);
    if (args.empty()) {
        trapline::platform::writeText(stderr, kUsage);
        return 2;
    }
    const std::string command = args.front();
    std::vector<std::string> rest(args.begin() + 1, args.end());
    if (command == "-h" || command == "--help" || command == "help") {
        trapline::platform::writeText(stdout, kUsage);
        return 0;
    }
    if (command == "--version") {
        trapline::platform::writeText(stdout, "trapline " TRAPLINE_VERSION "\n");
        return 0;
    }
    if (command == "list")
        return trapline::cli::ListCommand(stdout, stderr).run(rest);
    if (command == "insert")
        return trapline::cli::InsertCommand(stdout, stderr).run(rest);
    if (command == "check")
        return trapline::cli::CheckCommand(stdout, stderr).run(rest);
    if (command == "remove")
        return trapline::cli::RemoveCommand(stdout, stderr).run(rest);
    if (command == "refresh")
        return trapline::cli::RefreshCommand(stdout, stderr).run(rest);
    if (command == "number")
        return trapline::cli::NumberCommand(stdout, stderr, trapline::LineNumberer::Action::Number)
            .run(rest);
    if (command == "unnumber")
        return trapline::cli::NumberCommand(stdout, stderr,
                                            trapline::LineNumberer::Action::Unnumber)
            .run(rest);
    if (command == "add-error-module")
        return trapline::cli::ErrorModuleCommand(stdout, stderr).run(rest);
    trapline::platform::writeText(stderr, "trapline: unknown command '" + command +
                                              "'\nTry 'trapline --help'.\n");
    return 2;
}
