#include "../resources.h"
#include "win32forms.h"

namespace forms {

bool resourceData(const std::string& type, const std::string& name, std::string& bytes) {
    // FindResourceW ignores the letter case of names and types given as text.
    HMODULE module = win32::resourceModule();
    HRSRC found = FindResourceW(module, win32::wide(name).c_str(), win32::wide(type).c_str());
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
