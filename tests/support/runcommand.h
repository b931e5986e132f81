#pragma once

#include "tempdir.h"

#include <cstdlib>
#include <string>
#include <vector>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

/// What a command printed and how it ended.
struct CommandResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

#ifdef _WIN32

/// `argv` as one command line that the MSVCRT's parser (and
/// CommandLineToArgvW) splits back into exactly `argv`: backslashes are
/// literal unless they precede a quote.
inline std::string windowsCommandLine(const std::vector<std::string>& argv) {
    std::string line;
    for (const std::string& arg : argv) {
        if (!line.empty())
            line += ' ';
        if (!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string::npos) {
            line += arg;
            continue;
        }
        line += '"';
        size_t backslashes = 0;
        for (char c : arg) {
            if (c == '\\') {
                ++backslashes;
                continue;
            }
            // Backslashes before a quote are doubled, and the quote escaped.
            line.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
            backslashes = 0;
            line += c;
        }
        // The closing quote must not be escaped by trailing backslashes.
        line.append(2 * backslashes, '\\');
        line += '"';
    }
    return line;
}

inline std::wstring wideText(const std::string& utf8) {
    if (utf8.empty())
        return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
    std::wstring wide(size_t(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), wide.data(), n);
    return wide;
}

/// Runs `commandLine` as Windows passes it to the program, in `folder` (the
/// current one when empty), with no standard input, capturing both output
/// streams. A run past `timeoutSeconds` is ended and gives exit code -1.
inline CommandResult runCommandLine(std::wstring commandLine, const std::string& folder = {},
                                    int timeoutSeconds = 60) {
    TempDir dir;
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    auto open = [&](const std::wstring& path, DWORD access, DWORD disposition) {
        return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                           disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    };
    const std::string outFile = dir.file("out"), errFile = dir.file("err");
    HANDLE in = open(L"NUL", GENERIC_READ, OPEN_EXISTING);
    HANDLE out = open(wideText(outFile), GENERIC_WRITE, CREATE_ALWAYS);
    HANDLE err = open(wideText(errFile), GENERIC_WRITE, CREATE_ALWAYS);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in;
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process{};
    const std::wstring workFolder = wideText(folder);
    CommandResult r;
    // Under a busy wine, starting a process now and then fails with
    // ERROR_INTERNAL_ERROR and works when tried again; a program that cannot
    // start fails every try, and with any other error at once.
    bool started = false;
    for (int attempt = 0; attempt < 3 && !started; ++attempt) {
        started = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                 folder.empty() ? nullptr : workFolder.c_str(), &startup,
                                 &process) != FALSE;
        if (started || GetLastError() != ERROR_INTERNAL_ERROR)
            break;
        Sleep(500);
    }
    if (started) {
        DWORD code = DWORD(-1);
        if (WaitForSingleObject(process.hProcess, DWORD(timeoutSeconds) * 1000) != WAIT_OBJECT_0) {
            TerminateProcess(process.hProcess, code);
            WaitForSingleObject(process.hProcess, INFINITE);
        } else {
            GetExitCodeProcess(process.hProcess, &code);
        }
        r.exitCode = int(code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    } else {
        r.err = "cannot start the program: error " + std::to_string(GetLastError());
    }
    CloseHandle(in);
    CloseHandle(out);
    CloseHandle(err);
    r.out = TempDir::read(outFile);
    r.err += TempDir::read(errFile);
    return r;
}

/// Runs `argv` (the program first) as runCommandLine does; no shell reads the
/// arguments.
inline CommandResult runCommand(const std::vector<std::string>& argv,
                                const std::string& folder = {}, int timeoutSeconds = 60) {
    return runCommandLine(wideText(windowsCommandLine(argv)), folder, timeoutSeconds);
}

/// The number of a process that has ended.
inline long deadProcessId() {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::wstring commandLine = L"cmd.exe /c exit 0";
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                        nullptr, nullptr, &startup, &process))
        return -1;
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return long(process.dwProcessId);
}

#else

/// `text` quoted for sh: taken literally, whatever it holds.
inline std::string shellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

/// Runs `command` through the shell with no standard input, capturing both
/// output streams.
inline CommandResult runShell(const std::string& command) {
    TempDir dir;
    std::string outFile = dir.file("out"), errFile = dir.file("err");
    std::string full =
        "{ " + command + "; } </dev/null >" + shellQuoted(outFile) + " 2>" + shellQuoted(errFile);
    int status = std::system(full.c_str());
    CommandResult r;
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = TempDir::read(outFile);
    r.err = TempDir::read(errFile);
    return r;
}

/// Runs `argv` (the program first) in `folder` (the current one when empty)
/// with no standard input, capturing both output streams; each argument
/// reaches the program as it is. A run past `timeoutSeconds` is ended.
inline CommandResult runCommand(const std::vector<std::string>& argv,
                                const std::string& folder = {}, int timeoutSeconds = 60) {
    std::string command = folder.empty() ? "" : "cd " + shellQuoted(folder) + " && ";
    command += "timeout " + std::to_string(timeoutSeconds);
    for (const std::string& arg : argv)
        command += " " + shellQuoted(arg);
    return runShell(command);
}

/// The number of a process that has ended.
inline long deadProcessId() {
    pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return long(child);
}

#endif

/// Whether a `patch` program can be run, to apply the diffs the tool prints
/// (every Linux machine here has GNU patch; Windows has none of its own).
inline bool havePatch() {
    static const bool found = runCommand({"patch", "--version"}).exitCode == 0;
    return found;
}
