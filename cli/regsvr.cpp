// trapline-regsvr: registers an add-in library with the environment, or
// removes it, by calling the library's own DllRegisterServer or
// DllUnregisterServer, as regsvr32 does on Windows.
#include "platform/filesystem.h"
#include "platform/library.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

const char* kUsage = R"(Usage: trapline-regsvr [-u] LIBRARY

Registers the add-in LIBRARY with the TRAPLINE environment by calling its
DllRegisterServer; with -u, removes it by calling its DllUnregisterServer.
The add-in writes its entry into the environment's add-in registry,
$XDG_CONFIG_HOME/trapline/addins.ini (by default ~/.config/trapline/addins.ini).

Options:
  -u, --unregister  unregister instead of register
  -h, --help        show this help

Exit status: 0 done, 1 the library could not be loaded or its function
failed, 2 bad usage.
)";

int usageError(const std::string& message) {
    std::fprintf(stderr, "trapline-regsvr: %s\nRun 'trapline-regsvr --help' for usage.\n",
                 message.c_str());
    return 2;
}

/// dlopen searches the system's library folders for a bare name; a file of
/// that name in the current folder is what the user means.
std::string loadablePath(const std::string& library) {
    trapline::platform::FileStatus st;
    if (library.find('/') == std::string::npos && !trapline::platform::status(library, st))
        return "./" + library;
    return library;
}

int run(const std::string& library, bool unregister) {
    const char* function = unregister ? "DllUnregisterServer" : "DllRegisterServer";
    trapline::platform::Library handle;
    if (!handle.load(loadablePath(library))) {
        const std::string& why = handle.error();
        std::fprintf(stderr, "trapline-regsvr: %s could not be loaded: %s\n", library.c_str(),
                     why.empty() ? "unknown reason" : why.c_str());
        return 1;
    }
    using Entry = long (*)();
    auto entry = reinterpret_cast<Entry>(handle.symbol(function));
    if (!entry) {
        std::fprintf(stderr,
                     "trapline-regsvr: %s was loaded, but the entry point %s was not found.\n",
                     library.c_str(), function);
        return 1;
    }
    const long result = entry();
    if (result != 0) {
        std::fprintf(stderr, "trapline-regsvr: %s in %s failed with error code 0x%08lX.\n",
                     function, library.c_str(), static_cast<unsigned long>(result) & 0xFFFFFFFFul);
        return 1;
    }
    std::printf("%s in %s succeeded.\n", function, library.c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    bool unregister = false;
    bool optionsEnd = false;
    std::string library;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (!optionsEnd && (arg == "-h" || arg == "--help")) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (!optionsEnd && (arg == "-u" || arg == "--unregister"))
            unregister = true;
        else if (!optionsEnd && arg == "--")
            optionsEnd = true;
        else if (!optionsEnd && arg.size() > 1 && arg[0] == '-')
            return usageError("unknown option '" + arg + "'");
        else if (!library.empty())
            return usageError("more than one library: '" + library + "' and '" + arg + "'");
        else
            library = arg;
    }
    if (library.empty())
        return usageError("no library given");
    return run(library, unregister);
}
