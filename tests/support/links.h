#pragma once

// Symbolic links, and what wine shows of the Unix file under a Windows one,
// for the tests of the file layer on every system.

#include "runcommand.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>

#ifdef _WIN32
/// Whether this Windows program runs under wine.
inline bool underWine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

/// The Unix path of a file under wine; empty elsewhere.
inline std::string unixPathOf(const std::string& path) {
    using UnixName = char*(__cdecl*)(const wchar_t*);
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    auto unixName = kernel ? reinterpret_cast<UnixName>(reinterpret_cast<void*>(
                                 GetProcAddress(kernel, "wine_get_unix_file_name")))
                           : nullptr;
    if (!unixName)
        return {};
    char* name = unixName(utf8Path(path).wstring().c_str());
    if (!name)
        return {};
    std::string out = name;
    HeapFree(GetProcessHeap(), 0, name);
    return out;
}
#endif

/// The permission bits of `path` as the Unix side keeps them ("644"): on
/// POSIX, and under wine, which runs a Unix program when asked to; empty
/// where there are none to see.
inline std::string unixMode(const std::string& path) {
#ifdef _WIN32
    const std::string unix = unixPathOf(path);
    if (unix.empty())
        return {};
    CommandResult r = runCommand({"Z:\\usr\\bin\\stat", "-c", "%a", unix});
    return r.exitCode == 0 ? r.out.substr(0, r.out.find('\n')) : std::string();
#else
    std::error_code ec;
    const auto perms = std::filesystem::status(path, ec).permissions();
    if (ec)
        return {};
    char text[8];
    std::snprintf(text, sizeof text, "%o", static_cast<unsigned>(perms) & 0777u);
    return text;
#endif
}

/// Makes `link` (a path) a symbolic link to `target` (a name in the same
/// folder, or a path below it), and says whether one is there now. Windows
/// makes it where the user may. wine 8 says it did and makes none; a Unix
/// link made for it cannot be cleaned up from the Windows side once its
/// target is gone (the removal spins), so there no link is made at all.
inline bool makeLink(const std::string& target, const std::string& link, bool folder = false) {
    namespace fs = std::filesystem;
    const fs::path linkPath = utf8Path(link);
    const fs::path targetPath = linkPath.parent_path() / utf8Path(target);
    std::error_code ec;
#ifdef _WIN32
    if (underWine())
        return false;
    const DWORD flags =
        SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE | (folder ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0);
    CreateSymbolicLinkW(linkPath.wstring().c_str(), utf8Path(target).wstring().c_str(), flags);
#else
    if (folder)
        fs::create_directory_symlink(utf8Path(target), linkPath, ec);
    else
        fs::create_symlink(utf8Path(target), linkPath, ec);
#endif
    return fs::exists(linkPath, ec) && fs::equivalent(linkPath, targetPath, ec);
}

/// Whether a symbolic link shows as one (everywhere but under wine).
inline bool linksAreSeen() {
#ifdef _WIN32
    return !underWine();
#else
    return true;
#endif
}
