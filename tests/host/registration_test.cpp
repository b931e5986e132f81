#include "registration.h"

#include "../support/tempdir.h"

#include <gtest/gtest.h>

namespace {

const char* kOther = "; Add-ins of the TRAPLINE environment, one [ProgID] each.\n"
                     "\n[Other.Connect]\nCLSID={00000000-0000-0000-0000-000000000001}\n"
                     "Library=/opt/other.so\nLoadBehavior=3\nUnknownKey=kept\n";

AddInRecord record() {
    auto r = AddInRecord::load();
    return r ? *r : AddInRecord{};
}

} // namespace

TEST(Registration, WritesTheEntryOnceAndLeavesOtherAddInsAlone) {
    TempDir dir;
    vbide::AddInRegistry registry(dir.write("addins.ini", kOther));
    ASSERT_TRUE(Registration::registerServer(registry, record(), "/opt/trapline/Trapline.so"));
    ASSERT_TRUE(Registration::registerServer(registry, record(), "/opt/trapline/Trapline.so"));
    auto entries = registry.entries();
    ASSERT_TRUE(entries);
    ASSERT_EQ(entries->size(), 2u);
    EXPECT_EQ((*entries)[0].progId, "Other.Connect");
    EXPECT_EQ((*entries)[0].value("UnknownKey"), "kept");
    const auto& e = (*entries)[1];
    EXPECT_EQ(e.progId, "Trapline.Connect");
    EXPECT_EQ(e.keys, (std::vector<std::pair<std::string, std::string>>{
                          {"CLSID", "{D26D66EF-D11E-4A0D-ACB0-F26079A76A88}"},
                          {"Interface", "{FA68FD18-E0A0-406B-B828-18AD27AC26D0}"},
                          {"TypeLib", "{7F48F856-1D21-4466-9C78-AC3BDC19B4C8} 1.0 0"},
                          {"Library", "/opt/trapline/Trapline.so"},
                          {"FriendlyName", "TRAPLINE"},
                          {"Description", "Insert Error handler to project functions, "
                                          "procedures and properties"},
                          {"LoadBehavior", "1"}}));

    ASSERT_TRUE(Registration::unregisterServer(registry));
    ASSERT_TRUE(Registration::unregisterServer(registry));
    EXPECT_EQ(TempDir::read(registry.path()), kOther);
}

TEST(Registration, AnUnreadableRegistryOrAnUnknownLibraryChangesNothing) {
    TempDir dir;
    const std::string damaged = "[Other.Connect]\nthis is no key\n";
    vbide::AddInRegistry registry(dir.write("addins.ini", damaged));
    EXPECT_FALSE(Registration::registerServer(registry, record(), "/opt/Trapline.so"));
    EXPECT_FALSE(Registration::unregisterServer(registry));
    EXPECT_EQ(TempDir::read(registry.path()), damaged);

    vbide::AddInRegistry fresh(dir.file("new/addins.ini"));
    EXPECT_FALSE(Registration::registerServer(fresh, record(), ""));
    EXPECT_FALSE(std::filesystem::exists(fresh.path()));
}
