#pragma once

// Registry values as the Windows tests compare them.

#include <windows.h>

#include <cstring>
#include <string>

/// The value as "sz:<text>" or "dword:<n>" ("other" for another type);
/// empty when it is missing. `name` empty: the key's default value.
inline std::wstring readValue(HKEY root, const std::wstring& key, const std::wstring& name) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return {};
    wchar_t data[1024] = {};
    DWORD type = 0, size = sizeof(data) - sizeof(wchar_t);
    const LONG status = RegQueryValueExW(opened, name.empty() ? nullptr : name.c_str(), nullptr,
                                         &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(opened);
    if (status != ERROR_SUCCESS)
        return {};
    if (type == REG_DWORD) {
        DWORD number = 0;
        std::memcpy(&number, data, sizeof(number));
        return L"dword:" + std::to_wstring(number);
    }
    return type == REG_SZ ? L"sz:" + std::wstring(data) : L"other";
}

/// A text value; empty when it is missing or no text.
inline std::wstring readText(HKEY root, const std::wstring& key, const std::wstring& name) {
    const std::wstring value = readValue(root, key, name);
    return value.rfind(L"sz:", 0) == 0 ? value.substr(3) : std::wstring();
}
