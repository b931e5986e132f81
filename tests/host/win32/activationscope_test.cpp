// A DLL's manifest counts only while activated: inside the scope the
// version 6 common controls are the ones found, from the DLL's own context.
#include "activationscope.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace {

std::wstring besideThisProgram(const wchar_t* name) {
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring path = exe;
    return path.substr(0, path.find_last_of(L"\\/") + 1) + name;
}

#ifdef TRAPLINE_ADDIN_DLL
TEST(ActivationScope, FindsTheVersion6CommonControlsInTheAddInsOwnManifest) {
    const std::wstring path = besideThisProgram(L"Trapline.dll");
    HMODULE data = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(data);
    // Resource 1 would be a program's manifest, which a DLL's loading ignores.
    EXPECT_TRUE(FindResourceW(data, MAKEINTRESOURCEW(2), MAKEINTRESOURCEW(24)));
    EXPECT_FALSE(FindResourceW(data, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24)));
    FreeLibrary(data);

    HMODULE dll = LoadLibraryW(path.c_str());
    ASSERT_TRUE(dll);
    {
        ActivationScope scope(dll);
        ASSERT_NE(scope.context(), INVALID_HANDLE_VALUE);
        ACTCTX_SECTION_KEYED_DATA found{};
        found.cbSize = sizeof(found);
        ASSERT_TRUE(FindActCtxSectionStringW(FIND_ACTCTX_SECTION_KEY_RETURN_HACTCTX, nullptr,
                                             ACTIVATION_CONTEXT_SECTION_DLL_REDIRECTION,
                                             L"comctl32.dll", &found));
        EXPECT_EQ(found.hActCtx, scope.context()) << "found in the program's manifest instead";
        ReleaseActCtx(found.hActCtx);
        wchar_t file[MAX_PATH] = {};
        GetModuleFileNameW(LoadLibraryW(L"comctl32.dll"), file, MAX_PATH);
        CharLowerW(file);
        EXPECT_NE(std::wstring(file).find(L"microsoft.windows.common-controls"),
                  std::wstring::npos);
    }
    HANDLE active = nullptr;
    ASSERT_TRUE(GetCurrentActCtx(&active));
    EXPECT_NE(active, ActivationScope(dll).context()) << "still active after the scope";
    if (active)
        ReleaseActCtx(active);
    FreeLibrary(dll);
}
#endif

TEST(ActivationScope, DoesNothingForAModuleWithoutAManifestOfItsOwn) {
    HMODULE server = LoadLibraryW(besideThisProgram(L"TraplineServer.dll").c_str());
    ASSERT_TRUE(server);
    HANDLE before = nullptr;
    ASSERT_TRUE(GetCurrentActCtx(&before));
    {
        ActivationScope scope(server);
        EXPECT_EQ(scope.context(), INVALID_HANDLE_VALUE);
        HANDLE inside = nullptr;
        ASSERT_TRUE(GetCurrentActCtx(&inside));
        EXPECT_EQ(inside, before);
        if (inside)
            ReleaseActCtx(inside);
    }
    if (before)
        ReleaseActCtx(before);
    FreeLibrary(server);
}

} // namespace
