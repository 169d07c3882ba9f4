#include <gtest/gtest.h>

#include "support/PicImages.h"
#include "support/SimFixture.h"

class ReadBack : public tSimulatedVeltraTest {
protected:
    void LoadMainImage(size_t Words) {
        Comms->FMainPicHexFilePath = Dir.Write("MainPic.hex", PicImageText({.Words = PatternWords(Words)}));
        Comms->SetWhichCPU(MainPic);
        ASSERT_TRUE(Comms->LoadHexFile());
    }
};

TEST_F(ReadBack, VerifyReportsAProgrammedProcessor) {
    LoadMainImage(100);
    ASSERT_TRUE(Comms->ProgramDevice(false, false));
    std::string report;
    EXPECT_TRUE(Comms->VerifyDevice(report));
    EXPECT_EQ(report.rfind("MainPic Verification: ", 0), 0u);
    EXPECT_NE(report.find("\r\nNumber Of Words = 99\r\nComparing Hex Data...\r\nProgram memory verified OK\r\n"),
              std::string::npos);
    EXPECT_NE(report.find("Config memory verified OK\r\n"), std::string::npos);

    Veltra->MainPicMemory.ReadFlips.push_back({0x0011, 0x80});  // high byte of word 8
    report.clear();
    EXPECT_FALSE(Comms->VerifyDevice(report));
    EXPECT_NE(report.find("Verify Error! @ word number: 9\r\n"), std::string::npos);
}

TEST_F(ReadBack, VersionAndTypeFromTheIdAndDeviceIdLocations) {
    Comms->SetWhichCPU(MainPic);
    EXPECT_EQ(Comms->ReadDeviceVersionString(), "2.5.0.1");
    EXPECT_TRUE(Logged("ReadDeviceVersion(MainPic)-MPSSE = 2.5.0.1"));
    EXPECT_EQ(Comms->ReadDeviceType(), "PIC18f8722, rev=3");
    EXPECT_TRUE(Logged("DeviceType = PIC18f8722"));
    Veltra->MainPicMemory.ReadFlips.push_back({0x3FFFFE, 0x04});  // device id 0x1427
    EXPECT_EQ(Comms->ReadDeviceType(), "PIC18f8722, rev=7");
    Veltra->MainPicMemory.ReadFlips = {{0x3FFFFF, 0x80}};  // an unknown part
    EXPECT_EQ(Comms->ReadDeviceType(), "9423, rev=3");

    Comms->SetWhichCPU(DatabasePic);
    EXPECT_EQ(Comms->ReadDeviceType(), "PIC18f4620, rev=4");
}

TEST_F(ReadBack, CommandLinkProcessorsHaveNoInCircuitVersion) {
    Comms->SetWhichCPU(KeypadPic);
    EXPECT_EQ(Comms->ReadDeviceVersionString(), "no CPU");
    EXPECT_EQ(CallsOf("FT_Open"), 0u);
}

TEST_F(ReadBack, ImageAccessors) {
    LoadMainImage(4);
    const uint16_t first = PatternWords(1)[0];
    EXPECT_EQ(Comms->GetWordFromHexFile(1), first);
    EXPECT_EQ(Comms->GetByteFromHexFile(1), first >> 8);
    EXPECT_EQ(Comms->GetByteFromHexFile(0), first & 0xFF);
    EXPECT_EQ(Comms->GetWordFromHexFile(0), 0);  // addresses count from 1
}

TEST_F(ReadBack, KeypadVerificationOverTheCommandLink) {
    Comms->FKeypadPicHexFilePath =
        Dir.Write("Keypad.hex", PicImageText({.Device = "PIC18F4321", .Words = PatternWords(64), .Config = Pic18F4321Config}));
    Comms->SetWhichCPU(KeypadPic);
    ASSERT_TRUE(Comms->LoadHexFile());
    ASSERT_TRUE(Comms->ProgramDevice(false, false));
    std::string report;
    EXPECT_TRUE(Comms->VerifyDevice(report));
    EXPECT_NE(report.find("  Reading 128 rows\r\nProgram memory verified OK\r\nConfig memory verified OK\r\n"),
              std::string::npos) << report;
}
