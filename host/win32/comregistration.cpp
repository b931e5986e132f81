#include "comregistration.h"

#include "registration.h"

#include "platform/windows/wide.h"

#include <algorithm>
#include <cstring>
#include <cwchar>

namespace {

using trapline::platform::windows::toWide;
using Bitness = ComRegistration::Bitness;
using Scope = ComRegistration::Scope;

const Bitness kBitnesses[] = {Bitness::x86, Bitness::x64};

std::wstring classesRoot() {
    return L"Software\\Classes\\";
}

HKEY classesKey(Scope scope) {
    return scope == Scope::User ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

/// The editors' add-in lists a DLL of this bitness can serve: a process
/// loads only DLLs of its own.
std::vector<std::wstring> addInKeys(Bitness bitness) {
    const std::wstring progId = toWide(Registration::kProgId);
    if (bitness == Bitness::x64)
        return {L"Software\\Microsoft\\VBA\\VBE\\6.0\\Addins64\\" + progId};
    return {L"Software\\Microsoft\\Visual Basic\\6.0\\Addins\\" + progId,
            L"Software\\Microsoft\\VBA\\VBE\\6.0\\Addins\\" + progId};
}

const std::wstring kVb6Key = L"Software\\Microsoft\\Visual Basic\\";

/// The VBA editor's LoadBehavior for the record's. VB6 reads bit 0 as "load
/// on start-up"; the VBA editor reads LoadBehavior as Office reads its COM
/// add-ins' (bit 0 loaded, bit 1 load at start-up) and loads at start-up only
/// with both set: 3, as Office's own add-ins are registered.
DWORD vbeLoadBehavior(std::uint32_t vb6) {
    return (vb6 & 1) != 0 ? 3 : 0;
}

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
std::wstring platformKey(Bitness bitness) {
    return typeLibKey() + L"\\" + kTypeLibVersion + L"\\0\\" +
           (bitness == Bitness::x64 ? L"win64" : L"win32");
}

HKEY openKey(HKEY root, const std::wstring& key, REGSAM view, REGSAM access) {
    HKEY opened = nullptr;
    return RegOpenKeyExW(root, key.c_str(), 0, access | view, &opened) == ERROR_SUCCESS ? opened
                                                                                        : nullptr;
}

/// A text value (REG_EXPAND_SZ expanded), as the view shows it.
bool readText(HKEY root, const std::wstring& key, const std::wstring& name, REGSAM view,
              std::wstring& text) {
    HKEY opened = openKey(root, key, view, KEY_QUERY_VALUE);
    if (!opened)
        return false;
    const wchar_t* valueName = name.empty() ? nullptr : name.c_str();
    DWORD size = 0;
    LONG status = RegGetValueW(opened, nullptr, valueName, RRF_RT_REG_SZ, nullptr, nullptr, &size);
    while (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
        std::wstring buffer(size / sizeof(wchar_t) + 1, L'\0');
        size = DWORD(buffer.size() * sizeof(wchar_t));
        status =
            RegGetValueW(opened, nullptr, valueName, RRF_RT_REG_SZ, nullptr, buffer.data(), &size);
        if (status == ERROR_SUCCESS) {
            buffer.resize(wcsnlen(buffer.c_str(), buffer.size()));
            text = buffer;
            break;
        }
    }
    RegCloseKey(opened);
    return status == ERROR_SUCCESS;
}

bool hasText(HKEY root, const std::wstring& key, REGSAM view) {
    std::wstring ignored;
    return readText(root, key, L"", view, ignored);
}

/// The key's name in the registry itself, such as
/// "\REGISTRY\MACHINE\SOFTWARE\Classes\Wow6432Node\Interface\{...}": it tells
/// whether two views show one key. Empty when the key is missing, "?" when
/// the system does not say.
std::wstring keyName(HKEY root, const std::wstring& key, REGSAM view) {
    HKEY opened = openKey(root, key, view, KEY_QUERY_VALUE);
    if (!opened)
        return {};
    // NtQueryKey(KeyNameInformation): documented for drivers (ZwQueryKey),
    // exported by ntdll and implemented by wine; Win32 has no other way.
    using QueryKey = LONG(NTAPI*)(HANDLE, int, void*, ULONG, ULONG*);
    constexpr int kKeyNameInformation = 3;
    static const auto query = reinterpret_cast<QueryKey>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryKey")));
    std::wstring name = L"?";
    std::vector<BYTE> buffer(4096);
    ULONG size = 0;
    if (query &&
        query(opened, kKeyNameInformation, buffer.data(), ULONG(buffer.size()), &size) >= 0 &&
        size >= sizeof(ULONG)) {
        ULONG length = 0;
        std::memcpy(&length, buffer.data(), sizeof(ULONG));
        length = std::min<ULONG>(length, ULONG(buffer.size() - sizeof(ULONG)));
        name.assign(reinterpret_cast<const wchar_t*>(buffer.data() + sizeof(ULONG)),
                    length / sizeof(wchar_t));
    }
    RegCloseKey(opened);
    return name;
}

/// Whether `key` as view `a` shows it is the very key view `b` shows.
/// Where the system does not say, one key: what another reads is kept.
bool sameKey(HKEY root, const std::wstring& key, REGSAM a, REGSAM b) {
    if (a == b)
        return true;
    const std::wstring first = keyName(root, key, a), second = keyName(root, key, b);
    if (first.empty() || second.empty())
        return false;
    if (first == L"?" || second == L"?")
        return true;
    return CompareStringOrdinal(first.c_str(), int(first.size()), second.c_str(),
                                int(second.size()), TRUE) == CSTR_EQUAL;
}

/// Whether the two paths name one file: the same text in any letter case,
/// or the same file on disk reached another way (a short name, a share).
bool sameFile(const std::wstring& a, const std::wstring& b) {
    if (CompareStringOrdinal(a.c_str(), int(a.size()), b.c_str(), int(b.size()), TRUE) ==
        CSTR_EQUAL)
        return true;
    auto identify = [](const std::wstring& path, BY_HANDLE_FILE_INFORMATION& info) {
        HANDLE file = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return false;
        const bool got = GetFileInformationByHandle(file, &info) != FALSE;
        CloseHandle(file);
        return got;
    };
    BY_HANDLE_FILE_INFORMATION first{}, second{};
    return identify(a, first) && identify(b, second) &&
           first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
           first.nFileIndexHigh == second.nFileIndexHigh &&
           first.nFileIndexLow == second.nFileIndexLow;
}

bool keyExists(HKEY root, const std::wstring& key, REGSAM view) {
    HKEY opened = openKey(root, key, view, KEY_QUERY_VALUE);
    if (opened)
        RegCloseKey(opened);
    return opened != nullptr;
}

/// Whether the DLL of `bitness` is registered in the scope: its type library
/// path, as its own view shows it.
bool registered(Scope scope, Bitness bitness) {
    return hasText(classesKey(scope), platformKey(bitness), ComRegistration::view(bitness));
}

/// Whether the registration of `other` reads `key` as `view` shows it. It
/// wrote the key in its own view: a view without it is not where that
/// registration reads (wine 8 gives a 64-bit program asking for the 32-bit
/// view a Wow6432Node ProgID that 32-bit programs never see), so ours is.
bool readBy(Scope scope, Bitness other, const std::wstring& key, REGSAM view) {
    const HKEY root = classesKey(scope);
    const REGSAM theirs = ComRegistration::view(other);
    return registered(scope, other) &&
           (!keyExists(root, key, theirs) || sameKey(root, key, theirs, view));
}

/// Whether a registration left in the scope reads `key` as `view` shows it.
bool readByAnother(Scope scope, const std::wstring& key, REGSAM view) {
    for (const Bitness other : kBitnesses)
        if (readBy(scope, other, key, view))
            return true;
    return false;
}

/// The folder of the DLL registered for `bitness` in the scope, with its
/// separator; empty when there is none.
std::wstring registeredFolder(Scope scope, Bitness bitness) {
    std::wstring path;
    if (!readText(classesKey(scope), platformKey(bitness), L"", ComRegistration::view(bitness),
                  path))
        return {};
    return path.substr(0, path.find_last_of(L"\\/") + 1);
}

bool keyIsEmpty(HKEY root, const std::wstring& key, REGSAM view) {
    HKEY opened = openKey(root, key, view, KEY_READ);
    if (!opened)
        return false;
    DWORD subkeys = 0, values = 0;
    const LONG status = RegQueryInfoKeyW(opened, nullptr, nullptr, nullptr, &subkeys, nullptr,
                                         nullptr, &values, nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(opened);
    return status == ERROR_SUCCESS && subkeys == 0 && values == 0;
}

/// RegDeleteKey would take values and keys of others with it: a key goes
/// only when it holds nothing any more.
void removeEmptyKeys(const std::vector<std::pair<HKEY, std::wstring>>& keys, REGSAM view) {
    for (const auto& [root, key] : keys)
        if (keyIsEmpty(root, key, view))
            RegDeleteKeyExW(root, key.c_str(), view, 0);
}

const wchar_t* valueName(const ComRegistration::Value& value) {
    return value.name.empty() ? nullptr : value.name.c_str();
}

LONG removeValue(const ComRegistration::Value& value, REGSAM view) {
    HKEY opened = nullptr;
    LONG status = RegOpenKeyExW(value.root, value.key.c_str(), 0, KEY_SET_VALUE | view, &opened);
    if (status == ERROR_FILE_NOT_FOUND)
        return ERROR_SUCCESS;
    if (status != ERROR_SUCCESS)
        return status;
    status = RegDeleteValueW(opened, valueName(value));
    RegCloseKey(opened);
    return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

/// A value as it was before registering, to be put back.
struct Saved {
    const ComRegistration::Value* value;
    bool existed = false;
    DWORD type = REG_NONE;
    std::vector<BYTE> bytes;
};

Saved save(const ComRegistration::Value& value, REGSAM view) {
    Saved saved{&value, false, REG_NONE, {}};
    HKEY opened = openKey(value.root, value.key, view, KEY_QUERY_VALUE);
    if (!opened)
        return saved;
    DWORD size = 0;
    LONG status = RegQueryValueExW(opened, valueName(value), nullptr, &saved.type, nullptr, &size);
    while (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
        saved.bytes.resize(size);
        status = RegQueryValueExW(opened, valueName(value), nullptr, &saved.type,
                                  saved.bytes.data(), &size);
        if (status == ERROR_SUCCESS) {
            saved.bytes.resize(size);
            saved.existed = true;
            break;
        }
    }
    RegCloseKey(opened);
    return saved;
}

void restore(const Saved& saved, REGSAM view) {
    if (!saved.existed) {
        removeValue(*saved.value, view);
        return;
    }
    HKEY opened = openKey(saved.value->root, saved.value->key, view, KEY_SET_VALUE);
    if (!opened)
        return;
    RegSetValueExW(opened, valueName(*saved.value), 0, saved.type, saved.bytes.data(),
                   DWORD(saved.bytes.size()));
    RegCloseKey(opened);
}

LONG writeValue(const ComRegistration::Value& value, REGSAM view) {
    HKEY opened = nullptr;
    LONG status = RegCreateKeyExW(value.root, value.key.c_str(), 0, nullptr, 0,
                                  KEY_SET_VALUE | view, nullptr, &opened, nullptr);
    if (status != ERROR_SUCCESS)
        return status;
    if (value.type == REG_DWORD)
        status = RegSetValueExW(opened, valueName(value), 0, REG_DWORD,
                                reinterpret_cast<const BYTE*>(&value.number), sizeof(DWORD));
    else
        status = RegSetValueExW(opened, valueName(value), 0, REG_SZ,
                                reinterpret_cast<const BYTE*>(value.text.c_str()),
                                DWORD((value.text.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(opened);
    return status;
}

/// HELPDIR names the folder of the DLL registered last. When that DLL goes
/// and another stays, it names the folder of the one that stays, as
/// registering that one alone would have written it.
void keepToAFolderLeft(Scope scope, const ComRegistration::Value& value, REGSAM view) {
    std::wstring named;
    if (!readText(value.root, value.key, value.name, view, named) ||
        CompareStringOrdinal(named.c_str(), int(named.size()), value.text.c_str(),
                             int(value.text.size()), TRUE) != CSTR_EQUAL)
        return;
    for (const Bitness other : kBitnesses) {
        if (!readBy(scope, other, value.key, view))
            continue;
        if (const std::wstring folder = registeredFolder(scope, other); !folder.empty()) {
            ComRegistration::Value left = value;
            left.text = folder;
            writeValue(left, view);
            return;
        }
    }
}

} // namespace

ComRegistration::Bitness ComRegistration::thisBitness() {
    return sizeof(void*) == 8 ? Bitness::x64 : Bitness::x86;
}

REGSAM ComRegistration::view(Bitness bitness) {
    return bitness == Bitness::x64 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
}

std::vector<ComRegistration::Value> ComRegistration::values(Scope scope, Bitness bitness,
                                                            const std::wstring& library,
                                                            const AddInRecord& record) {
    const HKEY classes = classesKey(scope);
    const std::wstring clsid = toWide(Registration::kClassId);
    const std::wstring progId = toWide(Registration::kProgId);
    const std::wstring server = classesRoot() + L"CLSID\\" + clsid + L"\\InprocServer32";
    std::vector<Value> out = {
        {classes, server, L"", REG_SZ, library, 0, Part::Class},
        {classes, server, L"ThreadingModel", REG_SZ, L"Apartment", 0, Part::Class},
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
        {classes, version, L"", REG_SZ, L"TRAPLINE Add-In"},
        {classes, platformKey(bitness), L"", REG_SZ, library, 0, Part::Library},
        {classes, version + L"\\FLAGS", L"", REG_SZ, L"0"},
        {classes, version + L"\\HELPDIR", L"", REG_SZ, folder, 0, Part::Folder},
        {classes, iface, L"", REG_SZ, L"_Connect"},
        {classes, iface + L"\\ProxyStubClsid32", L"", REG_SZ, automationMarshaller},
        {classes, iface + L"\\TypeLib", L"", REG_SZ, libId},
        {classes, iface + L"\\TypeLib", L"Version", REG_SZ, kTypeLibVersion},
    };
    out.insert(out.end(), std::begin(typeLibrary), std::end(typeLibrary));
    for (const std::wstring& key : addInKeys(bitness)) {
        const bool vb6 = key.rfind(kVb6Key, 0) == 0;
        out.push_back({HKEY_CURRENT_USER, key, L"FriendlyName", REG_SZ, toWide(record.displayName),
                       0, Part::AddIn});
        out.push_back({HKEY_CURRENT_USER, key, L"Description", REG_SZ, toWide(record.description),
                       0, Part::AddIn});
        // The Add-In Manager and the user change it ("Loaded", "Load on
        // startup"): the record's is only the first.
        out.push_back({HKEY_CURRENT_USER, key, L"LoadBehavior", REG_DWORD, L"",
                       vb6 ? record.loadBehavior : vbeLoadBehavior(record.loadBehavior),
                       Part::AddIn, true});
        // Only VB6 reads it: the add-in may not be loaded from its command
        // line. The Add-In Manager sets it as well.
        if (vb6)
            out.push_back(
                {HKEY_CURRENT_USER, key, L"CommandLineSafe", REG_DWORD, L"", 0, Part::AddIn, true});
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
    const REGSAM ours = view(bitness);
    // Half a registration lists an add-in nobody can create, and one over
    // another's (the MSI's) must not cost it its own: on a failure the
    // registry is put back as it was.
    std::vector<std::pair<HKEY, std::wstring>> created;
    for (const auto& key : ownKeys(scope, bitness))
        if (!keyExists(key.first, key.second, ours))
            created.push_back(key);
    std::vector<Saved> written;
    for (const Value& value : values) {
        Saved before = save(value, ours);
        if (value.usersToSet && before.existed)
            continue;
        written.push_back(std::move(before));
        if (const LONG status = writeValue(value, ours); status != ERROR_SUCCESS) {
            for (auto it = written.rbegin(); it != written.rend(); ++it)
                restore(*it, ours);
            removeEmptyKeys(created, ours);
            return HRESULT_FROM_WIN32(status);
        }
    }
    return S_OK;
}

HRESULT ComRegistration::remove(Scope scope, Bitness bitness, const std::vector<Value>& values) {
    const REGSAM ours = view(bitness);
    // This DLL's path, as registering it writes it.
    std::wstring library;
    for (const Value& value : values)
        if (value.part == Part::Class && value.name.empty())
            library = value.text;
    // The values that name a DLL: this one's, or another's to leave alone.
    auto namesThis = [&](Part part) {
        for (const Value& value : values) {
            std::wstring named;
            if (value.part == part && value.name.empty() &&
                readText(value.root, value.key, L"", ours, named))
                return sameFile(named, library);
        }
        return false;
    };
    const bool classIsOurs = namesThis(Part::Class), libraryIsOurs = namesThis(Part::Library);
    if (!classIsOurs && !libraryIsOurs)
        return S_OK;

    LONG failure = ERROR_SUCCESS;
    auto drop = [&](const Value& value) {
        if (const LONG status = removeValue(value, ours); status != ERROR_SUCCESS)
            failure = status;
    };
    for (const Value& value : values)
        if ((value.part == Part::Class && classIsOurs) ||
            (value.part == Part::Library && libraryIsOurs))
            drop(value);
    // What the registrations left behind still read stays: asked after this
    // one's own values are gone.
    for (const Value& value : values) {
        if (value.part != Part::Common && value.part != Part::Folder)
            continue;
        if (!readByAnother(scope, value.key, ours))
            drop(value);
        else if (value.part == Part::Folder)
            keepToAFolderLeft(scope, value, ours);
    }
    if (!registered(Scope::Machine, bitness) && !registered(Scope::User, bitness))
        for (const Value& value : values)
            if (value.part == Part::AddIn)
                drop(value);
    removeEmptyKeys(ownKeys(scope, bitness), ours);
    return HRESULT_FROM_WIN32(failure);
}
