// What the DLL carries for registration, read as the system reads it.
#include <gtest/gtest.h>

#include <windows.h>

#include <oleauto.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::wstring serverPath() {
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring path = exe;
    return path.substr(0, path.find_last_of(L"\\/") + 1) + L"TraplineServer.dll";
}

std::string guidText(const GUID& guid) {
    wchar_t text[40];
    StringFromGUID2(guid, text, 40);
    return std::string(text, text + std::wcslen(text));
}

TEST(ServerResources, TheTypeLibraryNamesTheAddInsIdentities) {
    ITypeLib* library = nullptr;
    ASSERT_EQ(LoadTypeLibEx(serverPath().c_str(), REGKIND_NONE, &library), S_OK);
    TLIBATTR* attributes = nullptr;
    ASSERT_EQ(library->GetLibAttr(&attributes), S_OK);
    EXPECT_EQ(guidText(attributes->guid), "{7F48F856-1D21-4466-9C78-AC3BDC19B4C8}");
    EXPECT_EQ(attributes->wMajorVerNum, 1);
    EXPECT_EQ(attributes->wMinorVerNum, 0);
    EXPECT_EQ(attributes->lcid, 0u);
    EXPECT_EQ(attributes->syskind, sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32);
    library->ReleaseTLibAttr(attributes);

    BSTR name = nullptr, help = nullptr;
    ASSERT_EQ(library->GetDocumentation(-1, &name, &help, nullptr, nullptr), S_OK);
    EXPECT_STREQ(name, L"Trapline");
    EXPECT_STREQ(help, L"TRAPLINE Add-In");
    SysFreeString(name);
    SysFreeString(help);

    const struct {
        const char* guid;
        TYPEKIND kind;
        unsigned short functions;
    } types[] = {
        {"{D26D66EF-D11E-4A0D-ACB0-F26079A76A88}", TKIND_COCLASS, 0},
        // Dual: its DISPATCH side lists IDispatch's seven and the five events.
        {"{B65AD801-ABAF-11D0-BB8B-00A0C90F2744}", TKIND_DISPATCH, 12},
        // The default interface: IDispatch's seven and its eleven members.
        {"{FA68FD18-E0A0-406B-B828-18AD27AC26D0}", TKIND_DISPATCH, 18},
    };
    for (const auto& t : types) {
        SCOPED_TRACE(t.guid);
        GUID guid{};
        std::wstring text(t.guid, t.guid + std::strlen(t.guid));
        ASSERT_EQ(CLSIDFromString(text.c_str(), &guid), S_OK);
        ITypeInfo* info = nullptr;
        ASSERT_EQ(library->GetTypeInfoOfGuid(guid, &info), S_OK);
        TYPEATTR* type = nullptr;
        ASSERT_EQ(info->GetTypeAttr(&type), S_OK);
        EXPECT_EQ(type->typekind, t.kind);
        EXPECT_EQ(type->cFuncs, t.functions);
        info->ReleaseTypeAttr(type);
        info->Release();
    }
    library->Release();
}

TEST(ServerResources, CarryTheInterfaceIdAndMarkTheFileSelfRegistering) {
    HMODULE server = LoadLibraryExW(serverPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(server);
    HRSRC found = FindResourceW(server, MAKEINTRESOURCEW(1), L"_IID_CONNECT");
    ASSERT_TRUE(found);
    ASSERT_EQ(SizeofResource(server, found), 20u);
    const auto* bytes =
        static_cast<const unsigned char*>(LockResource(LoadResource(server, found)));
    std::uint32_t length = 0;
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
        EXPECT_TRUE(VerQueryValueW(version.data(), query.c_str(), &text, &size))
            << std::string(query.begin(), query.end());
        if (text) {
            EXPECT_STREQ(static_cast<const wchar_t*>(text), e.text);
        }
    }
}

} // namespace
