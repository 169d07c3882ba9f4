#include <gtest/gtest.h>

#include "HexFileClass.h"
#include "support/HexText.h"
#include "support/TempDir.h"

#ifndef VELTRA_TEST_DATA
#error "VELTRA_TEST_DATA must name the fixture folder"
#endif

class HexFileTest : public ::testing::Test {
protected:
    tTempDir Dir;
    tHexFile Hex;
    void Load(const std::string& Text, const std::string& Name = "image.hex") { Hex.LoadFromFile(Dir.Write(Name, Text)); }
    static std::string Fixture(const char* Name) { return std::string(VELTRA_TEST_DATA) + "/" + Name; }
};

TEST_F(HexFileTest, DeviceLineAfterEndRecordIsTrimmedAndUpperCased) {
    Load(HexData(0, {0x12, 0x34}) + HexEnd() + ";pic18f4620 \r\n");
    EXPECT_EQ(Hex.TargetDevice(), "PIC18F4620");
    EXPECT_TRUE(Hex.IsValidProgram());
    EXPECT_EQ(Hex.HexData[0], 0x3412);
    EXPECT_EQ(Hex.HexData[1], 0xFFFF);  // PIC18 pre-fill
    EXPECT_EQ(Hex.TopAddress(), 0);     // highest index written, not a count
    EXPECT_EQ(Hex.VersionNumber(), "0.0.0.0");
}

TEST_F(HexFileTest, NoDeviceLineLoadsNothingAndKeepsEarlierImage) {
    Load(HexData(0, {0x12, 0x34}) + HexEnd() + ";PIC18F4620\r\n");
    Load(HexData(0, {0xAA, 0xBB}) + HexEnd(), "second.hex");
    EXPECT_EQ(Hex.TargetDevice(), "");
    EXPECT_FALSE(Hex.IsValidProgram());
    EXPECT_EQ(Hex.HexData[0], 0x3412);
    Hex.LoadFromFile(Dir / "absent.hex");
    EXPECT_EQ(Hex.TargetDevice(), "");
    EXPECT_EQ(Hex.FileName(), Dir / "absent.hex");
}

TEST_F(HexFileTest, RecordRulesOfTheRecordPass) {
    std::string text = ";PIC18F8722\r\n";
    text += ":0400000001020304FF\r\n";                // wrong checksum: used as if right
    text += HexData(0x0010, {0x11, 0x22, 0x33});        // odd count: one word, third byte dropped
    text += HexRecord(0x02, 0, {0x10, 0x00});           // other record types are ignored
    text += HexUpper(0x0001) + HexData(0x0000, {0x55, 0x66});  // upper 1: word 0x8000
    text += HexUpper(0x00F0) + HexData(0x0000, {1, 2, 3, 4});  // data EEPROM: counted, not stored
    text += HexUpper(0x0000) + ":00000000\r\n";         // count 0 is skipped
    text += HexEnd() + HexData(0x0020, {9, 9});         // after the end record: not read
    Load(text);
    EXPECT_EQ(Hex.HexData[0], 0x0201);
    EXPECT_EQ(Hex.HexData[1], 0x0403);
    EXPECT_EQ(Hex.HexData[8], 0x2211);
    EXPECT_EQ(Hex.HexData[9], 0xFFFF);
    EXPECT_EQ(Hex.HexData[0x8000], 0x6655);
    EXPECT_EQ(Hex.HexData[0x10], 0xFFFF);
    EXPECT_EQ(Hex.TopAddress(), 0x8000);
    EXPECT_EQ(Hex.NumWordsRead, 2 + 1 + 1 + 2);
}

TEST_F(HexFileTest, ShortDataLineReadsMissingCharactersAsZero) {
    Load(";PIC18F4620\r\n:04000000ABCD\r\n" + HexEnd());
    EXPECT_EQ(Hex.HexData[0], 0xCDAB);
    EXPECT_EQ(Hex.HexData[1], 0x0000);
}

TEST_F(HexFileTest, IdAndConfigurationRecordsStartAtIndexZero) {
    std::vector<uint8_t> config(14);
    for (int i = 0; i < 14; ++i) config[size_t(i)] = uint8_t(0x10 + i);
    Load(";PIC18F4620\r\n" + HexUpper(0x0020) + HexData(0x0000, {5, 0, 1, 0, 2, 0, 3, 0}) + HexUpper(0x0030) +
         HexData(0x0000, config) + HexData(0x0008, {0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7}) + HexEnd());
    EXPECT_TRUE(Hex.IsValidID());
    EXPECT_TRUE(Hex.IsValidConfiguration());
    EXPECT_EQ(Hex.VersionNumber(), "5.1.2.3");
    // The 8-byte record at 0x300008 lands in Config[0..7], over the first record's bytes.
    EXPECT_EQ(Hex.Pic18Cfg.Config[0], 0xA0);
    EXPECT_EQ(Hex.Pic18Cfg.Config[7], 0xA7);
    EXPECT_EQ(Hex.Pic18Cfg.Config[8], 0x18);
    EXPECT_EQ(Hex.TopAddress(), 0);
    EXPECT_FALSE(Hex.IsValidProgram());
}

struct tProtectionCase {
    const char* Device;
    uint8_t Config5L, Config6L, Config7L;
    bool Expected;
};

TEST_F(HexFileTest, ProtectionMaskFollowsTheDevice) {
    const tProtectionCase cases[] = {
        {"PIC18F4620", 0x0F, 0x0F, 0x0F, true},  {"PIC18F8722", 0x0F, 0x0F, 0x0F, false},
        {"PIC18F8722", 0xFF, 0xFF, 0xFF, true},  {"PIC18F4321", 0x03, 0x03, 0x03, true},
        {"PIC18F4321", 0x03, 0x02, 0x03, false}, {"PIC18F2420", 0x0F, 0x0F, 0x07, false},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> config(14, 0);
        config[6] = 0x04;  // LVP
        config[8] = c.Config5L;
        config[10] = c.Config6L;
        config[12] = c.Config7L;
        Load(std::string(";") + c.Device + "\r\n" + HexUpper(0x0030) + HexData(0, config) + HexEnd());
        EXPECT_EQ(Hex.IsCodeWriteEnabled(), c.Expected) << c.Device;
        EXPECT_TRUE(Hex.IsLVPenabled());
    }
}

TEST_F(HexFileTest, FlagsKeepEarlierValuesWithoutConfiguration) {
    std::vector<uint8_t> config(14, 0xFF);
    Load(";PIC18F4620\r\n" + HexUpper(0x0030) + HexData(0, config) + HexEnd());
    ASSERT_TRUE(Hex.IsLVPenabled());
    ASSERT_TRUE(Hex.IsCodeWriteEnabled());
    Load(";PIC18F4620\r\n" + HexData(0, {1, 2}) + HexEnd(), "noconfig.hex");
    EXPECT_FALSE(Hex.IsValidConfiguration());
    EXPECT_TRUE(Hex.IsLVPenabled());
    EXPECT_TRUE(Hex.IsCodeWriteEnabled());
}

TEST_F(HexFileTest, ProjectVersionOnlyForMainPicFiles) {
    std::vector<uint8_t> version = {2, 5, 0, 1};
    const std::string text = ";PIC18F8722\r\n" + HexData(0x011E, version) + HexUpper(0x0030) +
                             HexData(0, std::vector<uint8_t>(14, 0xFF)) + HexEnd();
    Load(text, "OtherPic.hex");
    EXPECT_EQ(Hex.ProjectVersionNumber(), "");
    Load(text, "MainPic.hex");
    EXPECT_EQ(Hex.ProjectVersionNumber(), "2.5.0.1");
}

TEST_F(HexFileTest, Pic16ImageRules) {
    Load(";PIC16F877A\r\n" + HexData(0x0000, {0x01, 0x30}) + HexData(0x4000, {1, 0, 2, 0, 3, 0, 4, 0}) +
         HexData(0x400E, {0x72, 0x3F}) + HexEnd());
    EXPECT_EQ(Hex.HexData[0], 0x3001);
    EXPECT_EQ(Hex.HexData[1], 0x3FFF);
    EXPECT_EQ(Hex.TopAddress(), 0);  // ID and configuration words never raise it
    EXPECT_TRUE(Hex.IsValidConfiguration());
    EXPECT_EQ(Hex.Pic16Cfg.Fuse, 0x3F72);
    EXPECT_FALSE(Hex.IsLVPenabled());
    EXPECT_TRUE(Hex.IsValidID());
    EXPECT_EQ(Hex.VersionNumber(), "1.2.3.4");

    Load(";PIC16F877A\r\n" + HexData(0x0000, {0x01, 0x30}) + HexEnd(), "nofuse.hex");
    EXPECT_FALSE(Hex.IsValidConfiguration());
    EXPECT_EQ(Hex.Pic16Cfg.Fuse, 0x3FFF);
    EXPECT_EQ(Hex.VersionNumber(), "0.0.0.0");
}

// Records that do not fit the image keep what fits and never write past it.
TEST_F(HexFileTest, OversizedRecordsStoreOnlyWhatFits) {
    Hex.LoadFromFile(Fixture("past-end-of-program.hex"));
    EXPECT_EQ(Hex.HexData[65534], 0x2211);
    EXPECT_EQ(Hex.HexData[65535], 0x4433);
    EXPECT_EQ(Hex.TopAddress(), 65535);

    Hex.LoadFromFile(Fixture("long-id-record.hex"));
    EXPECT_TRUE(Hex.IsValidID());
    EXPECT_EQ(Hex.Pic18Cfg.ID[7], 0x08);
    EXPECT_EQ(Hex.Pic18Cfg.DeviceID[0], 0x00);  // the bytes beyond the ID did not spill over

    Hex.LoadFromFile(Fixture("long-config-record.hex"));
    EXPECT_TRUE(Hex.IsValidConfiguration());
    EXPECT_EQ(Hex.Pic18Cfg.Config[13], 0x0E);
}
