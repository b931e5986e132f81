#pragma once

// The COM servers beside the test program, registered with wine's regsvr32
// by their path, and every registry key their registration may touch, read
// as each registry view shows it.

#include "../../support/runcommand.h"

#include <windows.h>

#include <string>
#include <vector>

inline const wchar_t* const kServer = L"TraplineServer.dll";

/// The servers that lie beside this program: the tests' own, and the
/// add-in's DLL when the build made one.
inline const wchar_t* const kServers[] = {
    kServer,
#ifdef TRAPLINE_ADDIN_DLL
    L"Trapline.dll",
#endif
};

inline std::wstring serverPath(const wchar_t* server = kServer) {
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring path = exe;
    return path.substr(0, path.find_last_of(L"\\/") + 1) + server;
}

/// Runs wine's regsvr32 (of this program's bitness) silently on the DLL at
/// `path`; its exit code.
inline DWORD regsvr32At(const std::wstring& options, const std::wstring& path) {
    return DWORD(runCommandLine(L"regsvr32.exe /s " + options + L" \"" + path + L"\"").exitCode);
}

/// The keys of the class, the ProgID, the type library and the interface
/// under a scope's Software\Classes, and the editors' add-in entries.
inline std::vector<std::wstring> classKeys() {
    return {L"Software\\Classes\\CLSID\\{D26D66EF-D11E-4A0D-ACB0-F26079A76A88}",
            L"Software\\Classes\\Trapline.Connect",
            L"Software\\Classes\\TypeLib\\{7F48F856-1D21-4466-9C78-AC3BDC19B4C8}",
            L"Software\\Classes\\Interface\\{FA68FD18-E0A0-406B-B828-18AD27AC26D0}"};
}
inline const std::wstring kAddInKeys[] = {
    L"Software\\Microsoft\\Visual Basic\\6.0\\Addins\\Trapline.Connect",
    L"Software\\Microsoft\\VBA\\VBE\\6.0\\Addins\\Trapline.Connect",
    L"Software\\Microsoft\\VBA\\VBE\\6.0\\Addins64\\Trapline.Connect",
};

struct RegistryView {
    const char* name;
    REGSAM flag;
};
inline const RegistryView kViews[] = {{"64", KEY_WOW64_64KEY}, {"32", KEY_WOW64_32KEY}};

/// Every key and value below `key` as one line each, "[64] HKLM\key" and
/// "[64] HKLM\key|name=sz:text" ("dword:n"), depth first.
inline void dumpKey(HKEY root, const std::wstring& key, const RegistryView& view,
                    std::vector<std::string>& lines) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | view.flag, &opened) != ERROR_SUCCESS)
        return;
    auto narrow = [](const std::wstring& text) { return std::string(text.begin(), text.end()); };
    const std::string prefix = std::string("[") + view.name + "] " +
                               (root == HKEY_LOCAL_MACHINE ? "HKLM\\" : "HKCU\\") + narrow(key);
    lines.push_back(prefix);
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        BYTE data[2048] = {};
        DWORD nameLength = 256, type = 0, size = sizeof(data) - sizeof(wchar_t);
        if (RegEnumValueW(opened, i, name, &nameLength, nullptr, &type, data, &size) !=
            ERROR_SUCCESS)
            break;
        std::string value;
        if (type == REG_DWORD)
            value = "dword:" + std::to_string(*reinterpret_cast<const DWORD*>(data));
        else if (type == REG_SZ)
            value = "sz:" + narrow(reinterpret_cast<const wchar_t*>(data));
        else
            value = "type " + std::to_string(type);
        lines.push_back(prefix + "|" + narrow(name) + "=" + value);
    }
    std::vector<std::wstring> subkeys;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameLength = 256;
        if (RegEnumKeyExW(opened, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        subkeys.push_back(name);
    }
    RegCloseKey(opened);
    for (const std::wstring& subkey : subkeys)
        dumpKey(root, key + L"\\" + subkey, view, lines);
}

/// Everything of the add-in in the registry, for the machine and the user,
/// as 64-bit and as 32-bit programs see it.
inline std::vector<std::string> registrySnapshot() {
    std::vector<std::string> lines;
    for (const RegistryView& view : kViews) {
        for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
            for (const std::wstring& key : classKeys())
                dumpKey(root, key, view, lines);
        for (const std::wstring& key : kAddInKeys)
            dumpKey(HKEY_CURRENT_USER, key, view, lines);
    }
    return lines;
}

/// Takes every key of the add-in away in both views, whatever is in them:
/// a failed test leaves nothing to the next.
inline void deleteEverything() {
    for (const RegistryView& view : kViews) {
        for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
            for (const std::wstring& key : classKeys()) {
                HKEY opened = nullptr;
                if (RegOpenKeyExW(root, key.c_str(), 0, KEY_ALL_ACCESS | view.flag, &opened) ==
                    ERROR_SUCCESS) {
                    RegDeleteTreeW(opened, nullptr);
                    RegCloseKey(opened);
                    RegDeleteKeyExW(root, key.c_str(), view.flag, 0);
                }
            }
        for (const std::wstring& key : kAddInKeys)
            RegDeleteKeyExW(HKEY_CURRENT_USER, key.c_str(), view.flag, 0);
    }
}
