#include "../resources.h"
#include "win32forms.h"

namespace forms {

namespace {

BOOL CALLBACK firstLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR found) {
    *reinterpret_cast<WORD*>(found) = language;
    return FALSE;
}

/// The resource in the language the system picks for the user's, or in the
/// first it has: a resource in one language only (the Russian tips) is
/// found under every user interface language.
HRSRC findResource(HMODULE module, const std::wstring& type, const std::wstring& name) {
    // FindResourceW ignores the letter case of names and types given as text.
    if (HRSRC found = FindResourceW(module, name.c_str(), type.c_str()))
        return found;
    WORD language = 0xFFFF;
    EnumResourceLanguagesW(module, type.c_str(), name.c_str(), firstLanguage,
                           reinterpret_cast<LONG_PTR>(&language));
    return language == 0xFFFF ? nullptr
                              : FindResourceExW(module, type.c_str(), name.c_str(), language);
}

} // namespace

bool resourceData(const std::string& type, const std::string& name, std::string& bytes) {
    HMODULE module = win32::resourceModule();
    HRSRC found = findResource(module, win32::wide(type), win32::wide(name));
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data)
        return false;
    bytes.assign(static_cast<const char*>(data), SizeofResource(module, found));
    return true;
}

bool tempFileName(const std::string& folder, const std::string& prefix, unsigned unique,
                  std::string& name) {
    std::wstring where = win32::wide(folder);
    if (where.empty()) {
        wchar_t temp[MAX_PATH + 1] = {};
        const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
        if (length == 0 || length > MAX_PATH)
            return false;
        where.assign(temp, length);
    }
    wchar_t made[MAX_PATH] = {};
    if (GetTempFileNameW(where.c_str(), win32::wide(prefix).c_str(), unique, made) == 0)
        return false;
    name = win32::narrow(made);
    return true;
}

} // namespace forms
