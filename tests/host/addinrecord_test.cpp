#include "addinrecord.h"

#include "addinlibrary.h"

#include <QSet>
#include <cstring>
#include <gtest/gtest.h>
#include <tuple>

namespace {

std::string committedRecord() {
    auto bytes = AddInLibrary::LoadResData("RECORD", "ADDIN");
    return bytes ? *bytes : std::string();
}

void putNumber(std::string& bytes, size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[at + static_cast<size_t>(i)] = static_cast<char>(value >> (8 * i) & 0xFF);
}

} // namespace

TEST(AddInRecord, TheAddInsOwnRecordParsesAndEveryCutOrOverlongLengthIsRefusedWithTheFieldNamed) {
    const std::string bytes = committedRecord();
    ASSERT_EQ(bytes.size(), 192u);
    auto record = AddInRecord::load();
    ASSERT_TRUE(record) << record.error().description;
    // The name, description and load behaviour are checked where they are
    // registered.
    EXPECT_EQ(std::tuple(record->designerClassId, record->registryRoot, record->satelliteLibrary,
                         record->additionalKey, record->flag),
              std::tuple(AddInRecord::kDesignerClassId,
                         "HKEY_CURRENT_USER\\Software\\Microsoft\\Visual Basic\\6.0", "", "", 1u));

    for (size_t n = 0; n < bytes.size(); ++n)
        EXPECT_FALSE(AddInRecord::parse(std::string_view(bytes).substr(0, n))) << n << " bytes";
    // Bytes after the record's own size are not its business.
    EXPECT_TRUE(AddInRecord::parse(bytes + "trailing"));

    // Offsets in the record: size 16, registry root 20, display name 78,
    // description 91.
    const std::tuple<const char*, std::function<void(std::string&)>, const char*> rows[] = {
        {"huge size", [](std::string& b) { putNumber(b, 16, 0xFFFFFFFFu); }, "bytes follow"},
        {"size one past the end", [](std::string& b) { putNumber(b, 16, 173); }, "bytes follow"},
        {"size that ends inside the description", [](std::string& b) { putNumber(b, 16, 100); },
         "description"},
        {"huge display name", [](std::string& b) { putNumber(b, 78, 0xFFFFFFFFu); },
         "display name"},
        {"display name without its NUL", [](std::string& b) { b[90] = 'X'; }, "display name"},
        {"registry root longer than the record", [](std::string& b) { putNumber(b, 20, 173); },
         "registry root"},
        {"another designer", [](std::string& b) { b[0] = 0; }, "designer"},
    };
    for (const auto& [name, damage, says] : rows) {
        std::string damaged = bytes;
        damage(damaged);
        auto refused = AddInRecord::parse(damaged);
        ASSERT_FALSE(refused) << name;
        EXPECT_NE(refused.error().description.find(says), std::string::npos)
            << name << ": " << refused.error().description;
    }
}

TEST(AddInLibrary, TheMenuPictureIsA32By32SixteenBitBitmapOf555BitFieldsOnWhite) {
    auto bytes = AddInLibrary::LoadResData("MENUBMP", "BITMAP");
    ASSERT_TRUE(bytes);
    // A bitmap file whose pixels are 16-bit bit fields, as the environment
    // pastes them onto its buttons: other masks would shift every colour.
    const std::string& b = *bytes;
    ASSERT_EQ(b.size(), 14u + 40u + 12u + 2048u);
    EXPECT_EQ(b.substr(0, 2), "BM");
    auto number = [&b](size_t at, size_t width) {
        std::uint32_t v = 0;
        for (size_t i = width; i-- > 0;)
            v = v << 8 | static_cast<unsigned char>(b[at + i]);
        return v;
    };
    const size_t last = b.size() - 2;
    const struct {
        const char* field;
        size_t at, width;
        std::uint32_t value;
    } fields[] = {
        {"height, bottom-up", 22, 4, 32},
        {"bits per pixel", 28, 2, 16},
        {"bit fields", 30, 4, 3},
        {"red mask", 54, 4, 0x7C00},
        {"green mask", 58, 4, 0x03E0},
        {"blue mask", 62, 4, 0x001F},
        {"first corner", 66, 2, 0x7FFF},
        {"second corner", 66 + 62, 2, 0x7FFF},
        {"third corner", last - 62, 2, 0x7FFF},
        {"last corner", last, 2, 0x7FFF},
    };
    for (const auto& f : fields)
        EXPECT_EQ(number(f.at, f.width), f.value) << f.field;

    auto picture = AddInLibrary::LoadResPicture("MENUBMP");
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->size(), QSize(32, 32));
    QSet<QRgb> colours;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            colours.insert(picture->pixel(x, y));
    EXPECT_GE(colours.size(), 3);
    EXPECT_FALSE(AddInLibrary::LoadResPicture("NOSUCHBMP"));
}
