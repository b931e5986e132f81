#include "win32registry.h"

#include <windows.h>

#include <cstring>

bool Win32Registry::query(unsigned root, const std::string& key, const std::string& name,
                          Value& value) {
    HKEY opened = nullptr;
    const HKEY base = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(root));
    if (RegOpenKeyExA(base, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return false;
    DWORD type = 0, size = 0;
    bool found =
        RegQueryValueExA(opened, name.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS;
    std::string bytes(size, '\0');
    if (found)
        found = RegQueryValueExA(opened, name.c_str(), nullptr, &type,
                                 reinterpret_cast<BYTE*>(bytes.data()), &size) == ERROR_SUCCESS;
    RegCloseKey(opened);
    if (!found)
        return false;
    bytes.resize(size);
    value = {};
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
        value.type = Type::Text;
        value.bytes = bytes;
    } else if (type == REG_DWORD && bytes.size() == sizeof(DWORD)) {
        value.type = Type::Number;
        std::memcpy(&value.number, bytes.data(), sizeof(DWORD));
    } else {
        value.type = Type::Other;
        value.bytes = bytes;
    }
    return true;
}
