#include "registrysettings.h"

#include <gtest/gtest.h>

TEST(RegistrySettings, KeepsUnicodeTextPerApplicationAndSectionAndFallsBackWhenMissing) {
    const std::string root = "Software\\TRAPLINE registry test";
    RegistrySettings::removeRoot(root);
    {
        RegistrySettings settings(root);
        EXPECT_EQ(settings.setting("App", "Options", "Key", "fallback"), "fallback");
        settings.saveSetting("App", "Options", "Key", "значение");
        settings.saveSetting("App", "Other", "Key", "2");
        settings.saveSetting("App", "Options", "Empty", "");
        EXPECT_EQ(settings.setting("App", "Options", "Key"), "значение");
        EXPECT_EQ(settings.setting("App", "Other", "Key"), "2");
        EXPECT_EQ(settings.setting("App", "Options", "Empty", "fallback"), "");
        EXPECT_EQ(settings.setting("Another", "Options", "Key", "none"), "none");
    }
    EXPECT_TRUE(RegistrySettings::removeRoot(root));
    EXPECT_EQ(RegistrySettings(root).setting("App", "Options", "Key", "gone"), "gone");
}
