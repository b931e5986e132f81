// The COM server as the environment meets it: registered by regsvr32,
// created through COM, driven through IDispatch.
#include "connectinterface.h"
#include "dtextensibility2.h"

#include "serverregistry.h"

#include "../../support/registryvalue.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

const wchar_t* const kClassId = L"{D26D66EF-D11E-4A0D-ACB0-F26079A76A88}";
constexpr CLSID kCLSID_Connect = {
    0xD26D66EF, 0xD11E, 0x4A0D, {0xAC, 0xB0, 0xF2, 0x60, 0x79, 0xA7, 0x6A, 0x88}};
constexpr IID kIID_VBE = {0x0002E166, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr bool kIs64 = sizeof(void*) == 8;
const std::wstring kTypeLib = L"Software\\Classes\\TypeLib\\{7F48F856-1D21-4466-9C78-AC3BDC19B4C8}";
const std::wstring kInterface =
    L"Software\\Classes\\Interface\\{FA68FD18-E0A0-406B-B828-18AD27AC26D0}";
const wchar_t* const kPlatform = kIs64 ? L"win64" : L"win32";

/// Runs wine's regsvr32 (of this program's bitness) silently; its exit code.
DWORD regsvr32(const std::wstring& options, const wchar_t* server = kServer) {
    return regsvr32At(options, serverPath(server));
}

struct Expected {
    HKEY root;
    std::wstring key;
    std::wstring name;
    std::wstring text; ///< for REG_SZ
    DWORD number;      ///< for REG_DWORD, when text is empty
};

/// Every value registration must write, for the classes under `classes`.
std::vector<Expected> expectedValues(HKEY classes, const wchar_t* server) {
    const std::wstring clsid = std::wstring(L"Software\\Classes\\CLSID\\") + kClassId;
    const std::wstring folder =
        serverPath(server).substr(0, serverPath(server).find_last_of(L'\\') + 1);
    std::vector<Expected> values = {
        {classes, clsid + L"\\InprocServer32", L"", serverPath(server), 0},
        {classes, clsid + L"\\InprocServer32", L"ThreadingModel", L"Apartment", 0},
        {classes, L"Software\\Classes\\Trapline.Connect\\CLSID", L"", kClassId, 0},
        {classes, kTypeLib + L"\\1.0", L"", L"TRAPLINE Add-In", 0},
        {classes, kTypeLib + L"\\1.0\\0\\" + kPlatform, L"", serverPath(server), 0},
        {classes, kTypeLib + L"\\1.0\\FLAGS", L"", L"0", 0},
        {classes, kTypeLib + L"\\1.0\\HELPDIR", L"", folder, 0},
        {classes, kInterface, L"", L"_Connect", 0},
        {classes, kInterface + L"\\ProxyStubClsid32", L"",
         L"{00020424-0000-0000-C000-000000000046}", 0},
        {classes, kInterface + L"\\TypeLib", L"", L"{7F48F856-1D21-4466-9C78-AC3BDC19B4C8}", 0},
        {classes, kInterface + L"\\TypeLib", L"Version", L"1.0", 0},
    };
    std::vector<std::wstring> addIns;
    if (kIs64)
        addIns = {L"Software\\Microsoft\\VBA\\VBE\\6.0\\Addins64\\Trapline.Connect"};
    else
        addIns = {L"Software\\Microsoft\\Visual Basic\\6.0\\Addins\\Trapline.Connect",
                  L"Software\\Microsoft\\VBA\\VBE\\6.0\\Addins\\Trapline.Connect"};
    for (const auto& key : addIns) {
        values.push_back({HKEY_CURRENT_USER, key, L"FriendlyName", L"TRAPLINE", 0});
        values.push_back({HKEY_CURRENT_USER, key, L"Description",
                          L"Insert Error handler to project functions, procedures and properties",
                          0});
        // Load on start-up: VB6 reads bit 0 for it, the VBA editor wants
        // "loaded" and "load at start-up" both, as Office does.
        const bool vb6 = key.find(L"Visual Basic") != std::wstring::npos;
        values.push_back({HKEY_CURRENT_USER, key, L"LoadBehavior", L"", vb6 ? 1u : 3u});
        if (vb6)
            values.push_back({HKEY_CURRENT_USER, key, L"CommandLineSafe", L"", 0});
    }
    return values;
}

std::string narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end());
}

std::wstring expectedText(const Expected& e) {
    return e.text.empty() ? L"dword:" + std::to_wstring(e.number) : L"sz:" + e.text;
}

bool keyExists(HKEY root, const std::wstring& key) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return false;
    RegCloseKey(opened);
    return true;
}

struct Scope {
    const char* name;
    const wchar_t* options;
    const wchar_t* undo;
    HKEY classes;
};

const Scope kScopes[] = {
    {"machine", L"", L"/u", HKEY_LOCAL_MACHINE},
    {"user", L"/n /i:user", L"/u /n /i:user", HKEY_CURRENT_USER},
};

TEST(ComServer, RegistersEveryValueAndRemovesExactlyWhatItWrote) {
    for (const wchar_t* server : kServers)
        for (const Scope& scope : kScopes) {
            SCOPED_TRACE(narrow(server) + " " + scope.name);
            const auto values = expectedValues(scope.classes, server);
            ASSERT_EQ(regsvr32(scope.options, server), 0u);
            for (const Expected& e : values)
                EXPECT_EQ(narrow(readValue(e.root, e.key, e.name)), narrow(expectedText(e)))
                    << narrow(e.key) << " " << narrow(e.name);

            // A value of someone else's in the add-in's key must survive it.
            const Expected& addIn = values.back();
            HKEY key = nullptr;
            ASSERT_EQ(RegOpenKeyExW(addIn.root, addIn.key.c_str(), 0, KEY_SET_VALUE, &key),
                      ERROR_SUCCESS);
            const DWORD theirs = 7;
            RegSetValueExW(key, L"Theirs", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&theirs),
                           sizeof(theirs));
            RegCloseKey(key);

            ASSERT_EQ(regsvr32(scope.undo, server), 0u);
            for (const Expected& e : values)
                EXPECT_EQ(readValue(e.root, e.key, e.name), L"")
                    << narrow(e.key) << " " << narrow(e.name);
            EXPECT_FALSE(
                keyExists(scope.classes, std::wstring(L"Software\\Classes\\CLSID\\") + kClassId));
            EXPECT_FALSE(keyExists(scope.classes, L"Software\\Classes\\Trapline.Connect"));
            EXPECT_FALSE(keyExists(scope.classes, kTypeLib));
            EXPECT_FALSE(keyExists(scope.classes, kInterface));
            EXPECT_EQ(readValue(addIn.root, addIn.key, L"Theirs"), L"dword:7");
            RegDeleteKeyW(addIn.root, addIn.key.c_str());

            // The DLL of the other bitness shares the type library's keys:
            // while it is registered, only this one's own path goes. (What
            // else each bitness keeps of the other's: comregistration_test.)
            const std::wstring other = kTypeLib + L"\\1.0\\0\\" + (kIs64 ? L"win32" : L"win64");
            ASSERT_EQ(regsvr32(scope.options, server), 0u);
            ASSERT_EQ(RegSetKeyValueW(scope.classes, other.c_str(), nullptr, REG_SZ, L"x", 4),
                      ERROR_SUCCESS);
            ASSERT_EQ(regsvr32(scope.undo, server), 0u);
            EXPECT_EQ(readValue(scope.classes, kTypeLib + L"\\1.0\\0\\" + kPlatform, L""), L"");
            EXPECT_EQ(readValue(scope.classes, kTypeLib + L"\\1.0\\FLAGS", L""), L"sz:0");
            // Registered no more, the DLL names nothing there: unregistering
            // it again takes nothing of what is left to the other.
            ASSERT_EQ(regsvr32(scope.undo, server), 0u);
            EXPECT_EQ(readValue(scope.classes, other, L""), L"sz:x");
            EXPECT_EQ(readValue(scope.classes, kTypeLib + L"\\1.0\\FLAGS", L""), L"sz:0");
            deleteEverything();
        }
}

TEST(ComServer, RefusesAnInstallCommandItDoesNotKnow) {
    // regsvr32 reports a failed DllInstall with an exit code of its own.
    EXPECT_NE(regsvr32(L"/n /i:everyone"), 0u);
    EXPECT_FALSE(
        keyExists(HKEY_LOCAL_MACHINE, std::wstring(L"Software\\Classes\\CLSID\\") + kClassId));
}

/// An Application handed to OnConnection: the environment when it answers
/// for the VBE interface. Counts its references.
class FakeApplication : public IDispatch {
public:
    explicit FakeApplication(bool environment) : m_environment(environment) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        const bool known = IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
                           (m_environment && IsEqualIID(iid, kIID_VBE));
        *object = known ? this : nullptr;
        return known ? (AddRef(), S_OK) : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
        return DISP_E_MEMBERNOTFOUND;
    }
    ULONG references = 1;

private:
    bool m_environment;
};

/// An argument for Invoke.
VARIANT arg(VARTYPE type, LONG_PTR value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = type;
    if (type == VT_BOOL)
        v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    else if (type == VT_DISPATCH)
        v.pdispVal = reinterpret_cast<IDispatch*>(value);
    else
        v.lVal = static_cast<LONG>(value);
    return v;
}

VARIANT dispatch(IDispatch* value) {
    return arg(VT_DISPATCH, reinterpret_cast<LONG_PTR>(value));
}

std::string guidText(const GUID& guid) {
    wchar_t text[40];
    StringFromGUID2(guid, text, 40);
    return narrow(text);
}

class ComServerObject : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        ASSERT_EQ(regsvr32(L""), 0u);
    }
    void TearDown() override {
        SafeArrayDestroy(m_custom);
        CoFreeUnusedLibrariesEx(0, 0);
        CoUninitialize();
        EXPECT_EQ(regsvr32(L"/u"), 0u);
    }

    template <class Fn> Fn serverFunction(const char* name) {
        HMODULE server = GetModuleHandleW(kServer);
        return server ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(server, name)))
                      : nullptr;
    }
    /// What reached the scripted add-in since the last call.
    std::string log() {
        auto read = serverFunction<HRESULT(STDAPICALLTYPE*)(char*, DWORD)>("TraplineTestLog");
        char buffer[512] = {};
        return read && SUCCEEDED(read(buffer, sizeof(buffer))) ? buffer : "no log";
    }
    HRESULT canUnloadNow() {
        auto canUnload = serverFunction<HRESULT(STDAPICALLTYPE*)()>("DllCanUnloadNow");
        return canUnload ? canUnload() : E_FAIL;
    }
    IDispatch* create() {
        IDispatch* object = nullptr;
        EXPECT_EQ(CoCreateInstance(kCLSID_Connect, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                   reinterpret_cast<void**>(&object)),
                  S_OK);
        return object;
    }

    /// Calls `name` through IDispatch with `arguments` in their written order.
    static HRESULT invoke(IDispatch* object, const wchar_t* name, std::vector<VARIANT> arguments,
                          WORD flags = DISPATCH_METHOD, VARIANT* result = nullptr) {
        DISPID id = 0;
        auto* text = const_cast<LPOLESTR>(name);
        if (HRESULT hr = object->GetIDsOfNames(IID_NULL, &text, 1, LOCALE_USER_DEFAULT, &id);
            FAILED(hr))
            return hr;
        std::vector<VARIANT> reversed(arguments.rbegin(), arguments.rend());
        DISPID put = DISPID_PROPERTYPUT;
        const bool putting = flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF);
        DISPPARAMS params{reversed.data(), putting ? &put : nullptr, UINT(reversed.size()),
                          putting ? 1u : 0u};
        EXCEPINFO exception{};
        const HRESULT hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result,
                                          &exception, nullptr);
        SysFreeString(exception.bstrSource);
        SysFreeString(exception.bstrDescription);
        SysFreeString(exception.bstrHelpFile);
        // A member's own failure comes back as an exception carrying it.
        return hr == DISP_E_EXCEPTION ? exception.scode : hr;
    }
    /// The property `name` read through IDispatch: "true", "false", "it" for
    /// `expected`, "none" for Nothing, or what else it was.
    static std::string property(IDispatch* object, const wchar_t* name, IDispatch* expected) {
        VARIANT v;
        VariantInit(&v);
        const HRESULT hr = invoke(object, name, {}, DISPATCH_PROPERTYGET, &v);
        std::string got = FAILED(hr) ? "failed" : "not a Boolean or an object";
        if (SUCCEEDED(hr) && v.vt == VT_BOOL)
            got = v.boolVal == VARIANT_TRUE ? "true" : "false";
        else if (SUCCEEDED(hr) && v.vt == VT_DISPATCH)
            got = !v.pdispVal ? "none" : v.pdispVal == expected ? "it" : "another";
        VariantClear(&v);
        return got;
    }
    VARIANT custom() {
        VARIANT v = arg(VT_ARRAY | VT_VARIANT | VT_BYREF, 0);
        v.pparray = &m_custom;
        return v;
    }

    SAFEARRAY* m_custom = SafeArrayCreateVector(VT_VARIANT, 0, 0);
};

/// Every name the object's IDispatch answers for: the events at DISPIDs 1 to
/// 5, then the default interface's members in their vtable order, with the
/// kind and the type of their one argument.
const struct {
    const wchar_t* name;
    DISPID event; ///< 0 for a member of the default interface
    INVOKEKIND kind;
    VARTYPE type;
} kMembers[] = {
    {L"OnConnection", 1, INVOKE_FUNC, VT_EMPTY},
    {L"OnDisconnection", 2, INVOKE_FUNC, VT_EMPTY},
    {L"OnAddInsUpdate", 3, INVOKE_FUNC, VT_EMPTY},
    {L"OnStartupComplete", 4, INVOKE_FUNC, VT_EMPTY},
    {L"OnBeginShutdown", 5, INVOKE_FUNC, VT_EMPTY},
    {L"FormDisplayed", 0, INVOKE_PROPERTYGET, VT_BYREF | VT_BOOL},
    {L"FormDisplayed", 0, INVOKE_PROPERTYPUT, VT_BOOL},
    {L"VBInstance", 0, INVOKE_PROPERTYGET, VT_BYREF | VT_DISPATCH},
    {L"VBInstance", 0, INVOKE_PROPERTYPUT, VT_DISPATCH},
    {L"VBInstance", 0, INVOKE_PROPERTYPUTREF, VT_DISPATCH},
    {L"MenuHandler", 0, INVOKE_PROPERTYGET, VT_BYREF | VT_DISPATCH},
    {L"MenuHandler", 0, INVOKE_PROPERTYPUT, VT_DISPATCH},
    {L"MenuHandler", 0, INVOKE_PROPERTYPUTREF, VT_DISPATCH},
    {L"Hide", 0, INVOKE_FUNC, VT_EMPTY},
    {L"Show", 0, INVOKE_FUNC, VT_EMPTY},
    {L"AddToCommandBar", 0, INVOKE_FUNC, VT_EMPTY},
};

/// The type library's identity, which projects referring to it keep.
void expectTheTypeLibrary(ITypeLib* library) {
    TLIBATTR* attributes = nullptr;
    ASSERT_EQ(library->GetLibAttr(&attributes), S_OK);
    EXPECT_EQ(guidText(attributes->guid), "{7F48F856-1D21-4466-9C78-AC3BDC19B4C8}");
    EXPECT_EQ(attributes->wMajorVerNum * 100 + attributes->wMinorVerNum, 100) << "version 1.0";
    EXPECT_EQ(attributes->lcid, 0u);
    EXPECT_EQ(attributes->syskind, kIs64 ? SYS_WIN64 : SYS_WIN32);
    library->ReleaseTLibAttr(attributes);
    BSTR name = nullptr, help = nullptr;
    ASSERT_EQ(library->GetDocumentation(-1, &name, &help, nullptr, nullptr), S_OK);
    EXPECT_EQ(narrow(name) + "|" + narrow(help), "Trapline|TRAPLINE Add-In");
    SysFreeString(name);
    SysFreeString(help);
    ITypeInfo* coclass = nullptr;
    ASSERT_EQ(library->GetTypeInfoOfGuid(kCLSID_Connect, &coclass), S_OK);
    TYPEATTR* type = nullptr;
    ASSERT_EQ(coclass->GetTypeAttr(&type), S_OK);
    EXPECT_EQ(type->typekind, TKIND_COCLASS);
    coclass->ReleaseTypeAttr(type);
    coclass->Release();
}

TEST_F(ComServerObject, IsMadeOnlyUnaggregatedAndAnswersForItsInterfacesAndEveryMemberName) {
    IClassFactory* factory = nullptr;
    ASSERT_EQ(CoGetClassObject(kCLSID_Connect, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                               reinterpret_cast<void**>(&factory)),
              S_OK);
    IUnknown* object = nullptr;
    EXPECT_EQ(factory->CreateInstance(factory, IID_IUnknown, reinterpret_cast<void**>(&object)),
              CLASS_E_NOAGGREGATION);
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&object)),
              S_OK);
    // The server stays loaded while its factory is locked or an object lives.
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    factory->Release();
    EXPECT_EQ(canUnloadNow(), S_FALSE);
    const struct {
        IID iid;
        HRESULT result;
    } interfaces[] = {
        {kIID__Connect, S_OK}, {kIID_IDTExtensibility2, S_OK},     {IID_IDispatch, S_OK},
        {IID_IUnknown, S_OK},  {IID_IClassFactory, E_NOINTERFACE}, {kIID_VBE, E_NOINTERFACE}};
    for (const auto& i : interfaces) {
        IUnknown* asked = nullptr;
        EXPECT_EQ(object->QueryInterface(i.iid, reinterpret_cast<void**>(&asked)), i.result);
        if (asked) {
            IUnknown* identity = nullptr;
            asked->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity));
            EXPECT_EQ(identity, object) << "one object, one identity";
            identity->Release();
            asked->Release();
        }
    }

    IDispatch* connect = nullptr;
    ASSERT_EQ(object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&connect)), S_OK);
    ITypeInfo* dispatchInfo = nullptr;
    ASSERT_EQ(connect->GetTypeInfo(0, LOCALE_USER_DEFAULT, &dispatchInfo), S_OK);
    ITypeLib* library = nullptr;
    UINT index = 0;
    ASSERT_EQ(dispatchInfo->GetContainingTypeLib(&library, &index), S_OK);
    expectTheTypeLibrary(library);
    library->Release();
    // The vtable half of the dual interface, whose members follow
    // IDispatch's seven slots.
    HREFTYPE vtable = 0;
    ITypeInfo* info = nullptr;
    ASSERT_EQ(dispatchInfo->GetRefTypeOfImplType(UINT(-1), &vtable), S_OK);
    ASSERT_EQ(dispatchInfo->GetRefTypeInfo(vtable, &info), S_OK);
    dispatchInfo->Release();
    TYPEATTR* attributes = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attributes), S_OK);
    EXPECT_EQ(attributes->cFuncs, std::size(kMembers) - 5);
    EXPECT_TRUE(attributes->wTypeFlags & TYPEFLAG_FDUAL);
    info->ReleaseTypeAttr(attributes);
    for (UINT slot = 0; const auto& m : kMembers) {
        SCOPED_TRACE(narrow(m.name));
        DISPID id = 0;
        auto* text = const_cast<LPOLESTR>(m.name);
        EXPECT_EQ(connect->GetIDsOfNames(IID_NULL, &text, 1, LOCALE_USER_DEFAULT, &id), S_OK);
        if (m.event) {
            EXPECT_EQ(id, m.event);
            continue;
        }
        FUNCDESC* function = nullptr;
        ASSERT_EQ(info->GetFuncDesc(slot, &function), S_OK);
        BSTR name = nullptr;
        UINT got = 0;
        info->GetNames(function->memid, &name, 1, &got);
        EXPECT_EQ(narrow(name ? name : L""), narrow(m.name));
        SysFreeString(name);
        EXPECT_EQ(function->invkind, m.kind);
        EXPECT_EQ(function->oVft, SHORT((7 + slot++) * sizeof(void*)));
        // Only a getter's argument is a pointer: to what it gives.
        VARTYPE type = VT_EMPTY;
        if (function->cParams) {
            const TYPEDESC& t = function->lprgelemdescParam[0].tdesc;
            type = t.vt == VT_PTR ? VARTYPE(VT_BYREF | t.lptdesc->vt) : t.vt;
        }
        EXPECT_EQ(type, m.type);
        EXPECT_EQ(id, function->memid);
        info->ReleaseFuncDesc(function);
    }
    info->Release();
    DISPID id = 0;
    auto* unknown = const_cast<LPOLESTR>(L"Unload");
    EXPECT_EQ(connect->GetIDsOfNames(IID_NULL, &unknown, 1, LOCALE_USER_DEFAULT, &id),
              DISP_E_UNKNOWNNAME);
    connect->Release();
    EXPECT_EQ(object->Release(), 0u);
    EXPECT_EQ(canUnloadNow(), S_FALSE) << "the factory is still locked";
    ASSERT_EQ(CoGetClassObject(kCLSID_Connect, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                               reinterpret_cast<void**>(&factory)),
              S_OK);
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    factory->Release();
    EXPECT_EQ(canUnloadNow(), S_OK);
}

TEST_F(ComServerObject, ConnectsThroughInvokeAndLetsGoOfTheApplicationAtDisconnection) {
    const struct {
        bool environment;
        long mode;
        const char* log;
    } cases[] = {
        {true, 0, "connect 0 vbe;disconnect 1;forget;"},
        {true, 3, "connect 3 vbe;disconnect 1;forget;"},
        // Not the environment: the add-in gets none, and tells the user.
        {false, 1, "connect 1 none;disconnect 1;forget;"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        FakeApplication application(c.environment);
        IDispatch* object = create();
        ASSERT_TRUE(object);
        log();
        EXPECT_EQ(invoke(object, L"OnConnection",
                         {dispatch(&application), arg(VT_I4, c.mode), dispatch(nullptr), custom()}),
                  S_OK);
        // Held by the bridge and as the add-in's VBInstance.
        EXPECT_EQ(application.references, c.environment ? 3u : 1u);
        EXPECT_EQ(invoke(object, L"OnDisconnection", {arg(VT_I4, 1), custom()}), S_OK);
        EXPECT_EQ(application.references, 1u);
        EXPECT_EQ(log(), c.log);
        EXPECT_EQ(object->Release(), 0u);
        EXPECT_EQ(canUnloadNow(), S_OK);
    }
}

TEST_F(ComServerObject, ShowsHidesAndHandsOutItsObjectsThroughItsDefaultInterface) {
    FakeApplication application(true);
    FakeApplication stranger(false);
    IDispatch* object = create();
    ASSERT_TRUE(object);
    log();
    constexpr WORD kCall = DISPATCH_METHOD, kPut = DISPATCH_PROPERTYPUT,
                   kRef = DISPATCH_PROPERTYPUTREF;
    const struct {
        const wchar_t* name;
        WORD flags;
        std::vector<VARIANT> arguments;
        HRESULT result;
        const char *displayed, *vbInstance, *menuHandler, *log;
    } steps[] = {
        {L"Show", kCall, {}, S_OK, "true", "none", "none", "show;"},
        {L"Show", kCall, {}, S_OK, "true", "none", "none", "show;"},
        {L"Hide", kCall, {}, S_OK, "false", "none", "none", "hide;"},
        {L"FormDisplayed", kPut, {arg(VT_BOOL, 1)}, S_OK, "true", "none", "none", ""},
        {L"FormDisplayed", kPut, {arg(VT_BOOL, 0)}, S_OK, "false", "none", "none", ""},
        // An object that is not the environment is refused and changes nothing.
        {L"VBInstance", kRef, {dispatch(&stranger)}, E_NOINTERFACE, "false", "none", "none", ""},
        // No environment, no button.
        {L"AddToCommandBar", kCall, {}, S_OK, "false", "none", "none", "bar;"},
        // Set by reference, the environment is what it hands back; the button
        // then has its event source, which Nothing lets go of.
        {L"VBInstance", kRef, {dispatch(&application)}, S_OK, "false", "it", "none", ""},
        {L"AddToCommandBar", kCall, {}, S_OK, "false", "it", "it", "bar;"},
        {L"MenuHandler", kRef, {dispatch(&stranger)}, DISP_E_TYPEMISMATCH, "false", "it", "it", ""},
        {L"MenuHandler", kRef, {dispatch(&application)}, S_OK, "false", "it", "it", ""},
        {L"MenuHandler", kRef, {dispatch(nullptr)}, S_OK, "false", "it", "none", "release;"},
        {L"VBInstance", kRef, {dispatch(nullptr)}, S_OK, "false", "none", "none", ""},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(narrow(s.name));
        EXPECT_EQ(invoke(object, s.name, s.arguments, s.flags), s.result);
        EXPECT_EQ(property(object, L"FormDisplayed", nullptr), s.displayed);
        EXPECT_EQ(property(object, L"VBInstance", &application), s.vbInstance);
        EXPECT_EQ(property(object, L"MenuHandler", &application), s.menuHandler);
        EXPECT_EQ(log(), s.log);
    }
    EXPECT_EQ(stranger.references, 1u);
    EXPECT_EQ(object->Release(), 0u);
    EXPECT_EQ(application.references, 1u);
}

TEST(ComServer, CarriesTheInterfaceIdAndMarksTheFileSelfRegistering) {
    HMODULE server = LoadLibraryExW(serverPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(server);
    HRSRC found = FindResourceW(server, MAKEINTRESOURCEW(1), L"_IID_CONNECT");
    ASSERT_TRUE(found);
    ASSERT_EQ(SizeofResource(server, found), 20u);
    const auto* bytes =
        static_cast<const unsigned char*>(LockResource(LoadResource(server, found)));
    DWORD length = 0;
    GUID iid{};
    std::memcpy(&length, bytes, 4);
    std::memcpy(&iid, bytes + 4, 16);
    EXPECT_EQ(length, 16u);
    EXPECT_EQ(guidText(iid), "{FA68FD18-E0A0-406B-B828-18AD27AC26D0}");
    FreeLibrary(server);

    const std::wstring path = serverPath();
    std::vector<char> version(GetFileVersionInfoSizeW(path.c_str(), nullptr));
    ASSERT_FALSE(version.empty());
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, DWORD(version.size()), version.data()));
    const struct {
        const wchar_t* entry;
        const wchar_t* text;
    } entries[] = {
        {L"OLESelfRegister", L""},
        {L"FileVersion", L"1.00.0003"},
        {L"ProductName", L"TRAPLINE Add-In"},
        {L"InternalName", L"Trapline"},
        {L"OriginalFilename", L"Trapline.dll"},
    };
    for (const auto& e : entries) {
        void* text = nullptr;
        UINT size = 0;
        const std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + e.entry;
        EXPECT_TRUE(VerQueryValueW(version.data(), query.c_str(), &text, &size)) << narrow(query);
        if (text) {
            EXPECT_STREQ(static_cast<const wchar_t*>(text), e.text);
        }
    }
}

} // namespace
