#include <gtest/gtest.h>

#include "FtdiEepromImage.h"

namespace {
tFtdiEepromSettings VeltraSettings() {
    tFtdiEepromSettings s;
    s.Manufacturer = "Corvalen";
    s.Description = "Veltra";
    s.SerialNumber = "VELTRA-P";
    return s;
}
}  // namespace

TEST(FtdiEepromImage, BuiltImageDecodesToItsSettingsWithAValidChecksum) {
    tFtdiEepromImage image;
    ASSERT_TRUE(tFtdiEepromImage::Build(VeltraSettings(), image));
    ASSERT_EQ(image.Bytes.size(), 128u);
    EXPECT_TRUE(image.ChecksumValid());
    tFtdiEepromSettings decoded;
    ASSERT_TRUE(image.Decode(decoded));
    EXPECT_EQ(decoded, VeltraSettings());
    // Strings are USB string descriptors placed after the header, the user area right after them.
    EXPECT_EQ(image.Bytes[0x12] & 0x7F, 0x16 + 18 + 14);
    EXPECT_EQ(image.UserAreaOffset(), size_t(0x16 + 18 + 14 + 18));
    EXPECT_EQ(image.UserAreaSize(), 48u);
}

TEST(FtdiEepromImage, BrokenChecksumOrBlankChipDoesNotDecode) {
    tFtdiEepromImage image;
    ASSERT_TRUE(tFtdiEepromImage::Build(VeltraSettings(), image));
    image.Bytes[0x09] ^= 0x01;
    tFtdiEepromSettings decoded;
    EXPECT_FALSE(image.Decode(decoded));
    EXPECT_EQ(image.UserAreaSize(), 0u);
    tFtdiEepromImage blank(std::vector<uint8_t>(128, 0xFF));
    blank.UpdateChecksum();
    EXPECT_FALSE(blank.Decode(decoded));
}

TEST(FtdiEepromImage, ChangingOnlyAFlagKeepsEveryOtherByte) {
    tFtdiEepromImage image;
    ASSERT_TRUE(tFtdiEepromImage::Build(VeltraSettings(), image));
    ASSERT_TRUE(image.WriteUserArea({0x55, 9, 8, 7}));
    const auto before = image.Bytes;
    auto settings = VeltraSettings();
    settings.BIsHighCurrent = true;
    ASSERT_TRUE(image.Encode(settings));
    for (size_t i = 0; i < before.size() - 2; ++i) {
        if (i == 0x01)
            EXPECT_EQ(image.Bytes[i], before[i] | 0x10);
        else
            EXPECT_EQ(image.Bytes[i], before[i]) << "byte " << i;
    }
    EXPECT_TRUE(image.ChecksumValid());
}

TEST(FtdiEepromImage, NewStringsMoveTheUserAreaWithItsContent) {
    tFtdiEepromImage image;
    ASSERT_TRUE(tFtdiEepromImage::Build(VeltraSettings(), image));
    ASSERT_TRUE(image.WriteUserArea({0x55, 1, 2, 3}));
    auto settings = VeltraSettings();
    settings.Description = "Veltra Screener";
    ASSERT_TRUE(image.Encode(settings));
    tFtdiEepromSettings decoded;
    ASSERT_TRUE(image.Decode(decoded));
    EXPECT_EQ(decoded.Description, "Veltra Screener");
    const auto area = image.UserArea();
    ASSERT_GE(area.size(), 4u);
    EXPECT_EQ(std::vector<uint8_t>(area.begin(), area.begin() + 4), (std::vector<uint8_t>{0x55, 1, 2, 3}));

    settings.Description = std::string(60, 'D');  // no room on a 93C46
    EXPECT_FALSE(image.Encode(settings));
}

TEST(FtdiEepromImage, UserAreaWritesStayInsideTheArea) {
    tFtdiEepromImage image;
    ASSERT_TRUE(tFtdiEepromImage::Build(VeltraSettings(), image));
    EXPECT_FALSE(image.WriteUserArea(std::vector<uint8_t>(49, 1)));
    EXPECT_TRUE(image.WriteUserArea(std::vector<uint8_t>(48, 1)));
    EXPECT_TRUE(image.ChecksumValid());
    tFtdiEepromSettings decoded;
    EXPECT_TRUE(image.Decode(decoded));
}
