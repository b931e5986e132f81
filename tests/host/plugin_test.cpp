// The add-in library as the environment meets it: opened with dlopen, reached
// only through its four exports.
#include "../support/runcommand.h"
#include "../support/tempdir.h"
#include "addin.h"
#include "addinregistry.h"
#include "scriptedenvironment.h"

#include <QFile>
#include <algorithm>
#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>

namespace {

const char* kClassId = "{D26D66EF-D11E-4A0D-ACB0-F26079A76A88}";

/// A copy of the built library in a folder of its own, so that what the
/// add-in writes beside itself (its tips file) stays out of the build tree.
const std::string& pluginPath() {
    static TempDir folder;
    static const std::string path = [] {
        std::string copy = folder.file("Trapline.so");
        std::filesystem::copy_file(TRAPLINE_PLUGIN, copy);
        return copy;
    }();
    return path;
}

/// The library opened as the environment opens it, with the user's
/// configuration (settings, add-in registry) in a folder of the test's own.
struct Library {
    Library() {
        setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
        handle = dlopen(pluginPath().c_str(), RTLD_NOW | RTLD_LOCAL);
    }
    ~Library() {
        if (handle)
            dlclose(handle);
    }
    template <class F> F entry(const char* name) {
        return reinterpret_cast<F>(dlsym(handle, name));
    }
    long canUnloadNow() { return entry<vbide::DllCanUnloadNowFn>("DllCanUnloadNow")(); }

    TempDir config;
    void* handle = nullptr;
};

std::string quoted(const std::string& s) {
    return "'" + s + "'";
}

} // namespace

TEST(Plugin, ExportsExactlyItsFourEntryPoints) {
    CommandResult nm = runShell("nm -D --defined-only " + quoted(TRAPLINE_PLUGIN));
    if (nm.exitCode == 127)
        GTEST_SKIP() << "nm is not installed";
    ASSERT_EQ(nm.exitCode, 0) << nm.err;
    std::vector<std::string> names;
    std::istringstream lines(nm.out);
    for (std::string line; std::getline(lines, line);)
        names.push_back(line.substr(line.rfind(' ') + 1));
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"DllCanUnloadNow", "DllGetClassObject",
                                               "DllRegisterServer", "DllUnregisterServer"}));
}

TEST(Plugin, HandsOutItsFactoryOnlyForConnectsClassIdAndLetsGoOfEverythingItTook) {
    Library lib;
    ASSERT_NE(lib.handle, nullptr) << dlerror();
    for (const char* resource : {":/BITMAP/MENUBMP", ":/ADDIN/RECORD", ":/CUSTOM/RUSTIPS",
                                 ":/window/icons/ok.xpm", ":/window/icons/trapline.xpm"})
        EXPECT_TRUE(QFile::exists(resource)) << resource;
    auto get = lib.entry<vbide::DllGetClassObjectFn>("DllGetClassObject");
    void* made = nullptr;
    for (const char* other :
         {"{D26D66EF-D11E-4A0D-ACB0-F26079A76A89}", "D26D66EF-D11E-4A0D-ACB0-F26079A76A88", ""}) {
        made = &lib;
        EXPECT_EQ(get(other, nullptr, &made), vbide::CLASS_E_CLASSNOTAVAILABLE) << other;
        EXPECT_EQ(made, nullptr);
    }
    EXPECT_EQ(get(nullptr, nullptr, &made), vbide::CLASS_E_CLASSNOTAVAILABLE);
    // The class id in either case.
    ASSERT_EQ(get("{d26d66ef-d11e-4a0d-acb0-f26079a76a88}", nullptr, &made), vbide::S_OK);
    ASSERT_NE(made, nullptr);
    auto* factory = static_cast<vbide::ClassFactory*>(made);
    auto instance = factory->CreateInstance();
    ASSERT_TRUE(instance);
    vbide::IDTExtensibility2* addIn = *instance;
    EXPECT_EQ(lib.canUnloadNow(), vbide::S_FALSE);

    ScriptedEnvironment env;
    vbide::Custom custom;
    // The controls are the connection's and the environment's tests' business;
    // here, that the library lets go of everything it took.
    ASSERT_TRUE(addIn->OnConnection(&env, vbide::ext_cm_Startup, nullptr, custom));
    ASSERT_NE(env.toolbar().find("TRAPLINE"), nullptr);
    ASSERT_TRUE(addIn->OnDisconnection(vbide::ext_dm_HostShutdown, custom));
    factory->Release(addIn);
    EXPECT_EQ(lib.canUnloadNow(), vbide::S_OK);
}

TEST(Regsvr, RegistersTheLibraryBesideOtherAddInsAndUnregistersIt) {
    TempDir config;
    setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
    config.write("trapline/addins.ini", "[Other.Connect]\nLibrary=/opt/other.so\n");
    const std::string regsvr = quoted(TRAPLINE_REGSVR) + " ";
    // Registering again replaces the entry.
    for (int times = 0; times < 2; ++times) {
        CommandResult done = runShell(regsvr + quoted(pluginPath()));
        EXPECT_EQ(done.exitCode, 0) << done.err;
        EXPECT_EQ(done.out, "DllRegisterServer in " + pluginPath() + " succeeded.\n");
    }
    vbide::AddInRegistry registry;
    ASSERT_EQ(registry.entries()->size(), 2u);
    auto entry = registry.find("Trapline.Connect");
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->value("CLSID"), kClassId);
    EXPECT_EQ(entry->value("Library"), pluginPath());
    EXPECT_TRUE(entry->loadOnStartup());

    // The file's own line ends, and every byte of the other entry, are kept.
    const std::string file = config.file("trapline/addins.ini");
    EXPECT_EQ(TempDir::read(file).find('\r'), std::string::npos);
    CommandResult done = runShell(regsvr + "-u " + quoted(pluginPath()));
    EXPECT_EQ(done.exitCode, 0) << done.err;
    EXPECT_EQ(done.out, "DllUnregisterServer in " + pluginPath() + " succeeded.\n");
    EXPECT_EQ(TempDir::read(file), "[Other.Connect]\nLibrary=/opt/other.so\n");
}

TEST(Regsvr, SaysWhyALibraryCouldNotBeRegistered) {
    TempDir config;
    setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
    struct Row {
        std::string arguments;
        int exitCode;
        std::string says;
    };
    const Row rows[] = {
        {quoted(config.file("missing.so")), 1, "missing.so could not be loaded: "},
        {"libm.so.6", 1,
         "libm.so.6 was loaded, but the entry point DllRegisterServer was not found."},
        {"-u libm.so.6", 1, "the entry point DllUnregisterServer was not found."},
        {"", 2, "no library given"},
        {"-x " + quoted(pluginPath()), 2, "unknown option '-x'"},
        {"a.so b.so", 2, "more than one library"},
    };
    for (const Row& row : rows) {
        CommandResult r = runShell(quoted(TRAPLINE_REGSVR) + " " + row.arguments);
        EXPECT_EQ(r.exitCode, row.exitCode) << row.arguments;
        EXPECT_NE(r.err.find(row.says), std::string::npos) << row.arguments << ": " << r.err;
        EXPECT_EQ(r.out, "") << row.arguments;
    }

    // The add-in's own failure: a registry it cannot read (a line of neither
    // kind, a value before any section) is left alone.
    for (const std::string bad : {"no entry here\n", "Path=/x\n[Trapline.Connect]\n"}) {
        SCOPED_TRACE(bad);
        const std::string damaged = config.write("trapline/addins.ini", bad);
        CommandResult r = runShell(quoted(TRAPLINE_REGSVR) + " " + quoted(pluginPath()));
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_NE(r.err.find("line 1: neither [ProgID] nor Key=Value"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("DllRegisterServer in " + pluginPath() +
                             " failed with error code 0x80040201."),
                  std::string::npos)
            << r.err;
        EXPECT_EQ(TempDir::read(damaged), bad);
    }

    EXPECT_EQ(runShell(quoted(TRAPLINE_REGSVR) + " --help").exitCode, 0);
}
