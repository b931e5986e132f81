// A child for the tests of runCommand: prints the folder it runs in and each
// argument it was given, one per line in brackets, as UTF-8, and exits with
// the number of arguments.

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>
#endif

namespace {

std::vector<std::string> arguments(int argc, char** argv) {
#ifdef _WIN32
    // What the parent's quoting gave, before any ANSI code page loses a letter.
    (void)argc;
    (void)argv;
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> args;
    for (int k = 1; k < count; ++k) {
        const int n = WideCharToMultiByte(CP_UTF8, 0, wide[k], -1, nullptr, 0, nullptr, nullptr);
        std::string arg(size_t(n), '\0');
        WideCharToMultiByte(CP_UTF8, 0, wide[k], -1, arg.data(), n, nullptr, nullptr);
        arg.resize(size_t(n) - 1);
        args.push_back(arg);
    }
    LocalFree(wide);
    return args;
#else
    return std::vector<std::string>(argv + 1, argv + argc);
#endif
}

} // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
#endif
    const std::u8string folder = std::filesystem::current_path().generic_u8string();
    std::string text(folder.begin(), folder.end());
    text += "\n";
    const std::vector<std::string> args = arguments(argc, argv);
    for (const std::string& arg : args)
        text += "[" + arg + "]\n";
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fputs("done\n", stderr);
    return int(args.size());
}
