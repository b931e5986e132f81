#include "comregistration.h"

#include "registration.h"

#include "platform/windows/wide.h"

namespace {

using trapline::platform::windows::toWide;

std::wstring classesRoot() {
    return L"Software\\Classes\\";
}

HKEY classesKey(ComRegistration::Scope scope) {
    return scope == ComRegistration::Scope::User ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

/// The editors' add-in lists a DLL of this bitness can serve: a process
/// loads only DLLs of its own.
std::vector<std::wstring> addInKeys(ComRegistration::Bitness bitness) {
    const std::wstring progId = toWide(Registration::kProgId);
    if (bitness == ComRegistration::Bitness::x64)
        return {L"Software\\Microsoft\\VBA\\VBE\\6.0\\Addins64\\" + progId};
    return {L"Software\\Microsoft\\Visual Basic\\6.0\\Addins\\" + progId,
            L"Software\\Microsoft\\VBA\\VBE\\6.0\\Addins\\" + progId};
}

const std::wstring kVb6Key = L"Software\\Microsoft\\Visual Basic\\";

/// The type library's key and the version below it.
std::wstring typeLibKey() {
    const std::string id = Registration::kTypeLib;
    return classesRoot() + L"TypeLib\\" + toWide(id.substr(0, id.find(' ')));
}
const std::wstring kTypeLibVersion = L"1.0";

std::wstring interfaceKey() {
    return classesRoot() + L"Interface\\" + toWide(Registration::kInterfaceId);
}

/// The platform key of the type library's locale 0 for a bitness.
std::wstring platformKey(ComRegistration::Bitness bitness) {
    return typeLibKey() + L"\\" + kTypeLibVersion + L"\\0\\" +
           (bitness == ComRegistration::Bitness::x64 ? L"win64" : L"win32");
}

/// Whether the DLL of the other bitness is registered in this scope.
bool otherRegistered(ComRegistration::Scope scope, ComRegistration::Bitness bitness) {
    const auto other = bitness == ComRegistration::Bitness::x64 ? ComRegistration::Bitness::x86
                                                                : ComRegistration::Bitness::x64;
    return RegGetValueW(classesKey(scope), platformKey(other).c_str(), nullptr, RRF_RT_REG_SZ,
                        nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

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
    const std::wstring clsid = toWide(Registration::kClassId);
    const std::wstring progId = toWide(Registration::kProgId);
    const std::wstring server = classesRoot() + L"CLSID\\" + clsid + L"\\InprocServer32";
    std::vector<Value> out = {
        {classes, server, L"", REG_SZ, library},
        {classes, server, L"ThreadingModel", REG_SZ, L"Apartment"},
        {classes, classesRoot() + progId + L"\\CLSID", L"", REG_SZ, clsid},
    };
    const std::wstring version = typeLibKey() + L"\\" + kTypeLibVersion;
    const std::wstring libId = typeLibKey().substr(typeLibKey().find_last_of(L'\\') + 1);
    // With its separator, as an installer writes a folder.
    const std::wstring folder = library.substr(0, library.find_last_of(L"\\/") + 1);
    const std::wstring iface = interfaceKey();
    // The interface is dual: the system's automation marshaller carries its
    // calls, as for any interface described by a registered type library.
    const std::wstring automationMarshaller = L"{00020424-0000-0000-C000-000000000046}";
    const Value typeLibrary[] = {
        {classes, version, L"", REG_SZ, L"TRAPLINE Add-In", 0, true},
        {classes, platformKey(bitness), L"", REG_SZ, library},
        {classes, version + L"\\FLAGS", L"", REG_SZ, L"0", 0, true},
        {classes, version + L"\\HELPDIR", L"", REG_SZ, folder, 0, true},
        {classes, iface, L"", REG_SZ, L"_Connect", 0, true},
        {classes, iface + L"\\ProxyStubClsid32", L"", REG_SZ, automationMarshaller, 0, true},
        {classes, iface + L"\\TypeLib", L"", REG_SZ, libId, 0, true},
        {classes, iface + L"\\TypeLib", L"Version", REG_SZ, kTypeLibVersion, 0, true},
    };
    out.insert(out.end(), std::begin(typeLibrary), std::end(typeLibrary));
    for (const std::wstring& key : addInKeys(bitness)) {
        out.push_back(
            {HKEY_CURRENT_USER, key, L"FriendlyName", REG_SZ, toWide(record.displayName)});
        out.push_back({HKEY_CURRENT_USER, key, L"Description", REG_SZ, toWide(record.description)});
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
    const std::wstring clsid = classesRoot() + L"CLSID\\" + toWide(Registration::kClassId);
    const std::wstring progId = classesRoot() + toWide(Registration::kProgId);
    std::vector<std::pair<HKEY, std::wstring>> out = {
        {classes, clsid + L"\\InprocServer32"},
        {classes, clsid},
        {classes, progId + L"\\CLSID"},
        {classes, progId},
        {classes, platformKey(bitness)},
        {classes, typeLibKey() + L"\\" + kTypeLibVersion + L"\\0"},
        {classes, typeLibKey() + L"\\" + kTypeLibVersion + L"\\FLAGS"},
        {classes, typeLibKey() + L"\\" + kTypeLibVersion + L"\\HELPDIR"},
        {classes, typeLibKey() + L"\\" + kTypeLibVersion},
        {classes, typeLibKey()},
        {classes, interfaceKey() + L"\\ProxyStubClsid32"},
        {classes, interfaceKey() + L"\\TypeLib"},
        {classes, interfaceKey()},
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
    const bool otherStays = otherRegistered(scope, bitness);
    for (const Value& value : values) {
        if (value.shared && otherStays)
            continue;
        if (const LONG status = removeValue(value); status != ERROR_SUCCESS)
            failure = status;
    }
    // RegDeleteKey would take values and keys of others with it: a key goes
    // only when it holds nothing any more.
    for (const auto& [root, key] : ownKeys(scope, bitness))
        if (keyIsEmpty(root, key))
            RegDeleteKeyW(root, key.c_str());
    return HRESULT_FROM_WIN32(failure);
}
