#include "comregistration.h"

#include "registration.h"

namespace {

std::wstring wide(const std::string& text) {
    if (text.empty())
        return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0);
    std::wstring out(std::size_t(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), out.data(), n);
    return out;
}

std::wstring classesRoot() {
    return L"Software\\Classes\\";
}

HKEY classesKey(ComRegistration::Scope scope) {
    return scope == ComRegistration::Scope::User ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

/// The editors' add-in lists a DLL of this bitness can serve: a process
/// loads only DLLs of its own.
std::vector<std::wstring> addInKeys(ComRegistration::Bitness bitness) {
    const std::wstring progId = wide(Registration::kProgId);
    if (bitness == ComRegistration::Bitness::x64)
        return {L"Software\\Microsoft\\VBA\\VBE\\6.0\\Addins64\\" + progId};
    return {L"Software\\Microsoft\\Visual Basic\\6.0\\Addins\\" + progId,
            L"Software\\Microsoft\\VBA\\VBE\\6.0\\Addins\\" + progId};
}

const std::wstring kVb6Key = L"Software\\Microsoft\\Visual Basic\\";

bool keyIsEmpty(HKEY root, const std::wstring& key) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return false;
    DWORD subkeys = 0, values = 0;
    const LONG status = RegQueryInfoKeyW(opened, nullptr, nullptr, nullptr, &subkeys, nullptr,
                                         nullptr, &values, nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(opened);
    return status == ERROR_SUCCESS && subkeys == 0 && values == 0;
}

LONG removeValue(const ComRegistration::Value& value) {
    HKEY opened = nullptr;
    LONG status = RegOpenKeyExW(value.root, value.key.c_str(), 0, KEY_SET_VALUE, &opened);
    if (status == ERROR_FILE_NOT_FOUND)
        return ERROR_SUCCESS;
    if (status != ERROR_SUCCESS)
        return status;
    status = RegDeleteValueW(opened, value.name.empty() ? nullptr : value.name.c_str());
    RegCloseKey(opened);
    return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

LONG writeValue(const ComRegistration::Value& value) {
    HKEY opened = nullptr;
    LONG status = RegCreateKeyExW(value.root, value.key.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                  nullptr, &opened, nullptr);
    if (status != ERROR_SUCCESS)
        return status;
    const wchar_t* name = value.name.empty() ? nullptr : value.name.c_str();
    if (value.type == REG_DWORD)
        status = RegSetValueExW(opened, name, 0, REG_DWORD,
                                reinterpret_cast<const BYTE*>(&value.number), sizeof(DWORD));
    else
        status = RegSetValueExW(opened, name, 0, REG_SZ,
                                reinterpret_cast<const BYTE*>(value.text.c_str()),
                                DWORD((value.text.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(opened);
    return status;
}

} // namespace

ComRegistration::Bitness ComRegistration::thisBitness() {
    return sizeof(void*) == 8 ? Bitness::x64 : Bitness::x86;
}

std::vector<ComRegistration::Value> ComRegistration::values(Scope scope, Bitness bitness,
                                                            const std::wstring& library,
                                                            const AddInRecord& record) {
    const HKEY classes = classesKey(scope);
    const std::wstring clsid = wide(Registration::kClassId);
    const std::wstring progId = wide(Registration::kProgId);
    const std::wstring server = classesRoot() + L"CLSID\\" + clsid + L"\\InprocServer32";
    std::vector<Value> out = {
        {classes, server, L"", REG_SZ, library},
        {classes, server, L"ThreadingModel", REG_SZ, L"Apartment"},
        {classes, classesRoot() + progId + L"\\CLSID", L"", REG_SZ, clsid},
    };
    for (const std::wstring& key : addInKeys(bitness)) {
        out.push_back({HKEY_CURRENT_USER, key, L"FriendlyName", REG_SZ, wide(record.displayName)});
        out.push_back({HKEY_CURRENT_USER, key, L"Description", REG_SZ, wide(record.description)});
        out.push_back(
            {HKEY_CURRENT_USER, key, L"LoadBehavior", REG_DWORD, L"", record.loadBehavior});
        // Only VB6 reads it: the add-in may not be loaded from its command line.
        if (key.rfind(kVb6Key, 0) == 0)
            out.push_back({HKEY_CURRENT_USER, key, L"CommandLineSafe", REG_DWORD, L"", 0});
    }
    return out;
}

std::vector<std::pair<HKEY, std::wstring>> ComRegistration::ownKeys(Scope scope, Bitness bitness) {
    const HKEY classes = classesKey(scope);
    const std::wstring clsid = classesRoot() + L"CLSID\\" + wide(Registration::kClassId);
    const std::wstring progId = classesRoot() + wide(Registration::kProgId);
    std::vector<std::pair<HKEY, std::wstring>> out = {
        {classes, clsid + L"\\InprocServer32"},
        {classes, clsid},
        {classes, progId + L"\\CLSID"},
        {classes, progId},
    };
    for (const std::wstring& key : addInKeys(bitness))
        out.push_back({HKEY_CURRENT_USER, key});
    return out;
}

HRESULT ComRegistration::write(Scope scope, Bitness bitness, const std::vector<Value>& values) {
    for (const Value& value : values) {
        if (const LONG status = writeValue(value); status != ERROR_SUCCESS) {
            // Half a registration lists an add-in nobody can create.
            remove(scope, bitness, values);
            return HRESULT_FROM_WIN32(status);
        }
    }
    return S_OK;
}

HRESULT ComRegistration::remove(Scope scope, Bitness bitness, const std::vector<Value>& values) {
    LONG failure = ERROR_SUCCESS;
    for (const Value& value : values)
        if (const LONG status = removeValue(value); status != ERROR_SUCCESS)
            failure = status;
    // RegDeleteKey would take values and keys of others with it: a key goes
    // only when it holds nothing any more.
    for (const auto& [root, key] : ownKeys(scope, bitness))
        if (keyIsEmpty(root, key))
            RegDeleteKeyW(root, key.c_str());
    return HRESULT_FROM_WIN32(failure);
}
