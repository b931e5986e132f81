#include "registrysettings.h"

#include "win32forms.h"

using forms::win32::narrow;
using forms::win32::wide;

std::string RegistrySettings::keyOf(const std::string& application,
                                    const std::string& section) const {
    return m_root + "\\" + application + "\\" + section;
}

std::string RegistrySettings::setting(const std::string& application, const std::string& section,
                                      const std::string& key, const std::string& fallback) const {
    const std::wstring subKey = wide(keyOf(application, section)), name = wide(key);
    DWORD size = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, subKey.c_str(), name.c_str(), RRF_RT_REG_SZ, nullptr,
                     nullptr, &size) != ERROR_SUCCESS)
        return fallback;
    std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(value.size() * sizeof(wchar_t));
    if (RegGetValueW(HKEY_CURRENT_USER, subKey.c_str(), name.c_str(), RRF_RT_REG_SZ, nullptr,
                     value.data(), &size) != ERROR_SUCCESS)
        return fallback;
    // The size counts the terminating NUL that RegGetValueW guarantees.
    value.resize(size / sizeof(wchar_t));
    return narrow(value.substr(0, value.find(L'\0')));
}

void RegistrySettings::saveSetting(const std::string& application, const std::string& section,
                                   const std::string& key, const std::string& value) {
    const std::wstring subKey = wide(keyOf(application, section)), name = wide(key);
    const std::wstring data = wide(value);
    RegSetKeyValueW(HKEY_CURRENT_USER, subKey.c_str(), name.c_str(), REG_SZ, data.c_str(),
                    static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
}

bool RegistrySettings::removeRoot(const std::string& root) {
    // RegDeleteTreeW is documented to empty the key; wine's takes the key
    // as well (the only one this was run on), so it may be gone already.
    const std::wstring key = wide(root);
    if (RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str()) != ERROR_SUCCESS)
        return false;
    const LSTATUS removed = RegDeleteKeyW(HKEY_CURRENT_USER, key.c_str());
    return removed == ERROR_SUCCESS || removed == ERROR_FILE_NOT_FOUND;
}
