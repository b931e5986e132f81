// Registration where several registrations meet: another copy of the DLL
// beside the registered one, the DLLs of both bitnesses for one scope, a
// user's LoadBehavior. Each registers with wine's regsvr32 and compares what
// the registry holds, in both views, with what it must.
#include "comregistration.h"
#include "serverregistry.h"

#include "../../support/registryvalue.h"
#include "../../support/tempdir.h"

#include <gtest/gtest.h>

#include <sddl.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

constexpr CLSID kCLSID_Connect = {
    0xD26D66EF, 0xD11E, 0x4A0D, {0xAC, 0xB0, 0xF2, 0x60, 0x79, 0xA7, 0x6A, 0x88}};
constexpr bool kIs64 = sizeof(void*) == 8;

using Scope = ComRegistration::Scope;
using Bitness = ComRegistration::Bitness;

struct ScopeRow {
    const char* name;
    Scope scope;
    const wchar_t* install;
    const wchar_t* uninstall;
};
const ScopeRow kScopes[] = {
    {"machine", Scope::Machine, L"", L"/u"},
    {"user", Scope::User, L"/n /i:user", L"/u /n /i:user"},
};

std::string narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end());
}

std::string joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return text;
}

/// A folder of the test's own as Windows writes it.
std::wstring windowsPath(const std::string& path) {
    std::wstring wide = wideText(path);
    std::replace(wide.begin(), wide.end(), L'/', L'\\');
    return wide;
}

class ComRegistrationTest : public ::testing::Test {
protected:
    void SetUp() override { deleteEverything(); }
    void TearDown() override { deleteEverything(); }
};

TEST_F(ComRegistrationTest, UnregisteringAnotherCopyLeavesTheRegisteredOneAlone) {
    // Registered from beside the program; the copy lies in a folder of its
    // own, as another install (the MSI's, a user's download) would.
    for (const wchar_t* server : kServers)
        for (const ScopeRow& registered : kScopes)
            for (const ScopeRow& removed : kScopes) {
                SCOPED_TRACE(narrow(server) + " registered for the " + registered.name +
                             ", a copy removed for the " + removed.name);
                TempDir folder;
                const std::wstring copy = windowsPath(folder.path()) + L"\\" + server;
                ASSERT_TRUE(CopyFileW(serverPath(server).c_str(), copy.c_str(), FALSE));
                ASSERT_EQ(regsvr32At(registered.install, serverPath(server)), 0u);
                const auto before = registrySnapshot();

                EXPECT_EQ(regsvr32At(removed.uninstall, copy), 0u);
                EXPECT_EQ(joined(registrySnapshot()), joined(before));

                // The same file by another spelling of its path is this DLL.
                std::wstring upper = serverPath(server);
                CharUpperW(upper.data());
                EXPECT_EQ(regsvr32At(registered.uninstall, upper), 0u);
                EXPECT_EQ(joined(registrySnapshot()), "");
                deleteEverything();
            }
}

/// Gives the key a DACL from `sddl`; true when it took.
bool setAccess(HKEY root, const std::wstring& key, const wchar_t* sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor,
                                                              nullptr))
        return false;
    HKEY opened = nullptr;
    bool set = RegOpenKeyExW(root, key.c_str(), 0, WRITE_DAC, &opened) == ERROR_SUCCESS;
    if (set) {
        set = RegSetKeySecurity(opened, DACL_SECURITY_INFORMATION, descriptor) == ERROR_SUCCESS;
        RegCloseKey(opened);
    }
    LocalFree(descriptor);
    return set;
}

TEST_F(ComRegistrationTest, ARegistrationThatFailsHalfWayPutsBackWhatItFound) {
    // Another copy registered over this one fails at the add-in entry, the
    // last it writes: the class, the type library and the interface it had
    // written name this DLL again, and nothing of the copy is left.
    const std::wstring addIn = kIs64 ? kAddInKeys[2] : kAddInKeys[0];
    for (const ScopeRow& scope : kScopes) {
        SCOPED_TRACE(scope.name);
        TempDir folder;
        const std::wstring copy = windowsPath(folder.path()) + L"\\" + kServer;
        ASSERT_TRUE(CopyFileW(serverPath().c_str(), copy.c_str(), FALSE));
        ASSERT_EQ(regsvr32At(scope.install, serverPath()), 0u);
        const auto before = registrySnapshot();
        ASSERT_TRUE(setAccess(HKEY_CURRENT_USER, addIn, L"D:(D;;0x2;;;WD)(A;;KA;;;WD)"));

        EXPECT_NE(regsvr32At(scope.install, copy), 0u);
        ASSERT_TRUE(setAccess(HKEY_CURRENT_USER, addIn, L"D:(A;;KA;;;WD)"));
        EXPECT_EQ(joined(registrySnapshot()), joined(before));
        deleteEverything();
    }
}

TEST_F(ComRegistrationTest, RegisteringAgainKeepsTheLoadBehaviourTheUserChose) {
    const std::wstring vb6 = kAddInKeys[0];
    const struct {
        const wchar_t* key;
        const wchar_t* name;
        DWORD chosen;
    } choices[] = {
        {kIs64 ? kAddInKeys[2].c_str() : kAddInKeys[1].c_str(), L"LoadBehavior", 0},
        {kIs64 ? nullptr : vb6.c_str(), L"LoadBehavior", 0},
        {kIs64 ? nullptr : vb6.c_str(), L"CommandLineSafe", 1},
    };
    for (const wchar_t* server : kServers)
        for (const ScopeRow& scope : kScopes) {
            SCOPED_TRACE(narrow(server) + " " + scope.name);
            ASSERT_EQ(regsvr32At(scope.install, serverPath(server)), 0u);
            for (const auto& c : choices) {
                if (c.key) {
                    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, c.key, c.name, REG_DWORD,
                                              &c.chosen, sizeof(DWORD)),
                              ERROR_SUCCESS);
                }
            }
            ASSERT_EQ(regsvr32At(scope.install, serverPath(server)), 0u);
            for (const auto& c : choices)
                if (c.key) {
                    EXPECT_EQ(readValue(HKEY_CURRENT_USER, c.key, c.name),
                              L"dword:" + std::to_wstring(c.chosen))
                        << narrow(c.key) << " " << narrow(c.name);
                    EXPECT_EQ(readValue(HKEY_CURRENT_USER, c.key, L"FriendlyName"), L"sz:TRAPLINE");
                }
            // They are the add-in's all the same: unregistering takes them.
            EXPECT_EQ(regsvr32At(scope.uninstall, serverPath(server)), 0u);
            EXPECT_EQ(joined(registrySnapshot()), "");
        }
}

/// The DLL of the other bitness, played by this program in that bitness's
/// registry view, where its own regsvr32 would write. It lies in a folder of
/// its own, as the MSI's do: the type library's HELPDIR must follow the DLL
/// that stays.
std::wstring otherPath() {
    return serverPath(L"other\\TraplineServer.dll");
}

struct OtherBitness {
    Scope scope;
    Bitness bitness = kIs64 ? Bitness::x86 : Bitness::x64;
    std::vector<ComRegistration::Value> values() const {
        const auto record = AddInRecord::load();
        EXPECT_TRUE(bool(record));
        return ComRegistration::values(scope, bitness, otherPath(),
                                       record ? *record : AddInRecord{});
    }
    HRESULT install() const { return ComRegistration::write(scope, bitness, values()); }
    HRESULT uninstall() const { return ComRegistration::remove(scope, bitness, values()); }
};

/// The DLL the class's InprocServer32 names in a scope, as a view shows it.
std::wstring classIn(Scope scope, REGSAM view) {
    const wchar_t* key =
        L"Software\\Classes\\CLSID\\{D26D66EF-D11E-4A0D-ACB0-F26079A76A88}\\InprocServer32";
    wchar_t path[MAX_PATH] = {};
    DWORD size = sizeof(path) - sizeof(wchar_t);
    HKEY opened = nullptr;
    if (RegOpenKeyExW(scope == Scope::User ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE, key, 0,
                      KEY_READ | view, &opened) != ERROR_SUCCESS)
        return {};
    RegQueryValueExW(opened, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(path), &size);
    RegCloseKey(opened);
    return path;
}

/// The lines of the class's key, which a view of one key for both
/// bitnesses (wine 8's HKCU) gives to the DLL registered last.
std::vector<std::string> withoutTheClass(std::vector<std::string> lines) {
    std::erase_if(lines, [](const std::string& line) {
        return line.find("CLSID\\{D26D66EF") != std::string::npos;
    });
    return lines;
}

TEST_F(ComRegistrationTest, EachBitnessRemovedKeepsWhatTheOtherNeedsAndBothLeaveNothing) {
    const struct {
        bool thisFirst;   ///< registered first
        bool thisRemoved; ///< removed first
    } orders[] = {{true, true}, {true, false}, {false, true}, {false, false}};
    for (const ScopeRow& scope : kScopes) {
        const OtherBitness other{scope.scope};
        const std::wstring path = serverPath();
        // Each alone, to compare with.
        ASSERT_EQ(regsvr32At(scope.install, path), 0u);
        const auto thisAlone = registrySnapshot();
        ASSERT_EQ(regsvr32At(scope.uninstall, path), 0u);
        ASSERT_EQ(joined(registrySnapshot()), "");
        ASSERT_EQ(other.install(), S_OK);
        const auto otherAlone = registrySnapshot();
        ASSERT_EQ(other.uninstall(), S_OK);
        ASSERT_EQ(joined(registrySnapshot()), "");

        for (const auto& order : orders) {
            SCOPED_TRACE(std::string(scope.name) +
                         (order.thisFirst ? ": this bitness registered first"
                                          : ": the other registered first") +
                         (order.thisRemoved ? ", removed first" : ", the other removed first"));
            auto registerThis = [&] { EXPECT_EQ(regsvr32At(scope.install, path), 0u); };
            auto registerOther = [&] { EXPECT_EQ(other.install(), S_OK); };
            auto removeThis = [&] { EXPECT_EQ(regsvr32At(scope.uninstall, path), 0u); };
            auto removeOther = [&] { EXPECT_EQ(other.uninstall(), S_OK); };
            if (order.thisFirst) {
                registerThis();
                registerOther();
            } else {
                registerOther();
                registerThis();
            }
            // Where both bitnesses see one class key (wine 8's HKCU), the
            // DLL registered last named itself in it: when that one goes, its
            // class goes, and the first's went when it was overwritten.
            const bool oneClassKey =
                classIn(scope.scope, KEY_WOW64_64KEY) == classIn(scope.scope, KEY_WOW64_32KEY);
            const bool classLost = oneClassKey && order.thisRemoved != order.thisFirst;

            if (order.thisRemoved)
                removeThis();
            else
                removeOther();
            const auto& alone = order.thisRemoved ? otherAlone : thisAlone;
            EXPECT_EQ(joined(registrySnapshot()),
                      joined(classLost ? withoutTheClass(alone) : alone));

            // The remaining one still creates, through its ProgID too. Wine's
            // COM reads no per-user classes: there the keys are the test.
            if (!order.thisRemoved && !classLost && scope.scope == Scope::Machine) {
                CLSID clsid{};
                EXPECT_EQ(CLSIDFromProgID(L"Trapline.Connect", &clsid), S_OK);
                EXPECT_TRUE(IsEqualCLSID(clsid, kCLSID_Connect));
                ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
                IDispatch* object = nullptr;
                EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                           reinterpret_cast<void**>(&object)),
                          S_OK);
                if (object)
                    object->Release();
                CoFreeUnusedLibrariesEx(0, 0);
                CoUninitialize();
            }

            if (order.thisRemoved)
                removeOther();
            else
                removeThis();
            EXPECT_EQ(joined(registrySnapshot()), "");
            deleteEverything();
        }
    }
}

} // namespace
