#include <gtest/gtest.h>

#include "BrammUtils.h"
#include "support/PicImages.h"
#include "support/SimFixture.h"

class ProgrammingSequence : public tSimulatedVeltraTest {
protected:
    std::vector<int> ProgressValues;
    std::vector<std::string> Statuses;

    void SetUp() override {
        tSimulatedVeltraTest::SetUp();
        Comms->SetOnTRNCommsProgressEvent([this](void*, int n) { ProgressValues.push_back(n); });
        Comms->SetOnTRNCommsStatusEvent([this](void*, const std::string& s) { Statuses.push_back(s); });
    }

    std::string WriteImage(const tPicImageSpec& Spec, const std::string& Name) { return Dir.Write(Name, PicImageText(Spec)); }

    // Chooses the processor, gives it the image and loads it, as the update step does.
    void Load(tWhichCPU Cpu, const tPicImageSpec& Spec, const std::string& Name = "image.hex") {
        const std::string path = WriteImage(Spec, Name);
        switch (Cpu) {
            case MainPic: Comms->FMainPicHexFilePath = path; break;
            case GraphicsPic: Comms->FGraphicsPicHexFilePath = path; break;
            case DatabasePic: Comms->FDatabasePicHexFilePath = path; break;
            case DosimeterPic: Comms->FDosimeterPicHexFilePath = path; break;
            case KeypadPic: Comms->FKeypadPicHexFilePath = path; break;
            default: break;
        }
        Comms->SetWhichCPU(Cpu);
        ASSERT_TRUE(Comms->LoadHexFile());
    }

    static void ExpectHolds(const tSimPicMemory& Memory, const std::vector<uint16_t>& Words) {
        for (size_t i = 0; i < Words.size(); ++i) {
            const uint16_t stored = uint16_t(Memory.Flash[2 * i] | (Memory.Flash[2 * i + 1] << 8));
            ASSERT_EQ(stored, Words[i]) << "word " << i;
        }
    }

    std::array<uint8_t, 4> ReportedVersion(int Index) {
        std::string v[8];
        Comms->GetAllVersions(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7]);
        std::array<uint8_t, 4> n{};
        for (int i = 0; i < 4; ++i) n[size_t(i)] = uint8_t(std::stoi(ExtractField(v[Index], i + 1, '.')));
        return n;
    }
};

struct tSpiCase {
    tWhichCPU Cpu;
    const char* Device;
    int VersionIndex;  // in the all-versions record
    tSimPicMemory tSimulatedInstrument::*Memory;
};

TEST_F(ProgrammingSequence, EachInCircuitProcessorIsProgrammedVerifiedAndReportsItsNewVersion) {
    const tSpiCase cases[] = {
        {MainPic, "PIC18F8722", 1, &tSimulatedInstrument::MainPicMemory},
        {GraphicsPic, "PIC18F8722", 2, &tSimulatedInstrument::GraphicsPicMemory},
        {DatabasePic, "PIC18F4620", 4, &tSimulatedInstrument::DatabasePicMemory},
    };
    for (const auto& c : cases) {
        tPicImageSpec spec{.Device = c.Device, .Words = PatternWords(300), .Version = {9, 8, 7, 6}};
        if (c.Cpu == DatabasePic) spec.Config = Pic18F4620Config;
        Load(c.Cpu, spec);
        ProgressValues.clear();
        Statuses.clear();
        EXPECT_TRUE(Comms->ProgramDevice(false, false)) << c.Device;
        ExpectHolds((*Veltra).*(c.Memory), spec.Words);
        EXPECT_EQ(((*Veltra).*(c.Memory)).Config, spec.Config);
        EXPECT_EQ(Statuses, (std::vector<std::string>{"Erasing...", "Programming...", "Reading...", "Complete!"}));
        EXPECT_EQ(USBDeviceHandle, nullptr);
        EXPECT_TRUE(Logged("Comparing Hex Data"));
        EXPECT_TRUE(Logged("Comparing Config Data"));
        Comms->ResetAllPics();
        EXPECT_EQ(ReportedVersion(c.VersionIndex), (std::array<uint8_t, 4>{9, 8, 7, 6})) << c.Device;
    }
}

TEST_F(ProgrammingSequence, MainPicImageSetsTheProjectVersion) {
    auto words = PatternWords(0x100);
    words[0x8F] = uint16_t(2 | (5 << 8));  // program bytes 0x11E..0x121: 2.5.0.0
    words[0x90] = 0;
    Load(MainPic, {.Words = words, .Version = {2, 5, 0, 0}}, "MainPic.hex");
    EXPECT_EQ(Comms->HexFile->ProjectVersionNumber(), "2.5.0.0");
    ASSERT_TRUE(Comms->ProgramDevice(false, false));
    Comms->ResetAllPics();
    EXPECT_EQ(Comms->GetTopLevelVersion(), "2.5.0.0");
    EXPECT_EQ(ReportedVersion(0), (std::array<uint8_t, 4>{2, 5, 0, 0}));
}

TEST_F(ProgrammingSequence, SkippingVerificationReadsNothingBack) {
    Load(MainPic, {.Words = PatternWords(64)});
    Bus.RecordWrites = true;
    EXPECT_TRUE(Comms->ProgramDevice(true, false));
    ExpectHolds(Veltra->MainPicMemory, PatternWords(64));
    for (const auto& [channel, bytes] : Bus.Writes)
        for (size_t i = 0; i + 2 < bytes.size(); ++i)
            ASSERT_FALSE(bytes[i] == 0x2C && bytes[i + 1] == 0x01 && bytes[i + 2] == 0x00) << "a read was queued";
    EXPECT_EQ(Veltra->MainPicMemory.Config[6], 0x85);
}

TEST_F(ProgrammingSequence, FlippedBitIsCaughtWithTheFirstDifferingWord) {
    Load(MainPic, {.Words = PatternWords(64)});
    Veltra->MainPicMemory.ReadFlips.push_back({0x0000, 0x01});
    EXPECT_FALSE(Comms->ProgramDevice(false, false));
    const uint16_t expected = PatternWords(1)[0];
    char line[64];
    std::snprintf(line, sizeof line, "Expecting: %04X, Read: %04X", expected, expected ^ 0x0001);
    EXPECT_TRUE(Logged("Program memory verified FAILED @ 1 byte"));
    EXPECT_TRUE(Logged("Verify Error! @ word number: 1"));
    EXPECT_TRUE(Logged(line));
    EXPECT_FALSE(Logged("Comparing Config Data"));  // configuration is not touched after a failure
}

TEST_F(ProgrammingSequence, WithoutTheChannelNothingHappens) {
    Load(MainPic, {.Words = PatternWords(8)});
    Bus.Unplug(Veltra);
    EXPECT_FALSE(Comms->ProgramDevice(false, false));
    EXPECT_FALSE(Logged("InitUSB to SPI mode"));
}

TEST_F(ProgrammingSequence, AnErrorInTheInCircuitPathStillClosesChannelA) {
    Load(MainPic, {.Words = PatternWords(200)});
    Comms->SetOnTRNCommsProgressEvent([](void*, int) { throw std::runtime_error("window gone"); });
    EXPECT_FALSE(Comms->ProgramDevice(false, false));
    EXPECT_EQ(USBDeviceHandle, nullptr);
    EXPECT_TRUE(Comms->OpenUSBDataPort());  // the other channel opens again
}

TEST_F(ProgrammingSequence, SelectionAndImageLoading) {
    Comms->SetWhichCPU(DatabasePic);
    EXPECT_TRUE(Logged("SetWhichCPU=DatabasePic"));
    Comms->SetWhichCPU(NoPic);
    EXPECT_EQ(Comms->USBSPI().PicType(), PIC18f4620);  // NoPic keeps the pins and type in place
    EXPECT_EQ(CurrentMclrPinMask, 0x0080);
    EXPECT_FALSE(Comms->LoadHexFile());
    EXPECT_EQ(Comms->HexFileVersion(), "no file");
    EXPECT_TRUE(Logged("LoadHexFile="));

    Load(KeypadPic, {.Device = "pic18f4321", .Words = PatternWords(10), .Version = {5, 0, 0, 12},
                     .Config = Pic18F4321Config});
    EXPECT_EQ(Comms->FHexFileDevice, "PIC18F4321");
    EXPECT_EQ(Comms->HexFileVersion(), "5.0.0.12");
    EXPECT_EQ(Comms->SizeOfCurrentHexFile(), 9);
    EXPECT_TRUE(Comms->IsLVPenabled());
    EXPECT_TRUE(Comms->IsCodeWriteEnabled());
}

struct tFlagsCase {
    uint8_t Config4L, Config5L;
    bool Lvp, CodeWrite;
};

TEST_F(ProgrammingSequence, ImageFlagsTellLowVoltageProgrammingAndProtection) {
    const tFlagsCase cases[] = {{0x85, 0xFF, true, true}, {0x81, 0xFF, false, true}, {0x85, 0x00, true, false}};
    for (const auto& c : cases) {
        tPicImageSpec spec{.Words = PatternWords(8)};
        spec.Config[6] = c.Config4L;
        spec.Config[8] = c.Config5L;
        Load(MainPic, spec);
        EXPECT_EQ(Comms->IsLVPenabled(), c.Lvp);
        EXPECT_EQ(Comms->IsCodeWriteEnabled(), c.CodeWrite);
    }
    Comms->FMainPicHexFilePath = Dir / "missing.hex";
    EXPECT_FALSE(Comms->LoadHexFile());
    EXPECT_FALSE(Comms->IsLVPenabled());  // cleared before every load
}

TEST_F(ProgrammingSequence, CompareWordsReportsTheFirstDifferenceFromOne) {
    const uint16_t a[] = {1, 2, 3}, b[] = {1, 9, 3};
    int m = 0;
    EXPECT_FALSE(tTRNComms::CompareWords(a, b, m, 3));
    EXPECT_EQ(m, 2);
    EXPECT_TRUE(tTRNComms::CompareWords(a, b, m, 1));
    EXPECT_EQ(m, -1);
    EXPECT_TRUE(tTRNComms::CompareWords(a, b, m, 0));
}

TEST_F(ProgrammingSequence, KeypadIsProgrammedThroughTheMainPic) {
    const auto words = PatternWords(4096);
    Load(KeypadPic, {.Device = "PIC18F4321", .Words = words, .Version = {5, 0, 0, 12}, .Config = Pic18F4321Config});
    ASSERT_TRUE(Comms->OpenUSBDataPort());
    EXPECT_TRUE(Comms->ProgramDevice(false, false));
    ExpectHolds(Veltra->KeypadPicMemory, words);
    EXPECT_TRUE(Logged("KeypadPic Erasing 256 rows"));
    EXPECT_TRUE(Logged("Programming 128 rows"));
    EXPECT_TRUE(Logged("Verifying, number of words to compare = 4095"));
    EXPECT_TRUE(Logged("Program memory verified OK"));
    EXPECT_TRUE(Logged("Config memory verified OK"));
    EXPECT_EQ(Veltra->MainPic.CommandsReceived.back(), 0x6E);
    EXPECT_EQ(ReportedVersion(7), (std::array<uint8_t, 4>{5, 0, 0, 12}));
    EXPECT_TRUE(Comms->PortBIsOpen);  // found open, left open
    // Progress: erase (k div 2) x 32, then 64 per block programming and reading.
    EXPECT_EQ(ProgressValues[255], 4096);
    EXPECT_EQ(ProgressValues[256], 64);
    EXPECT_EQ(ProgressValues.back(), 8192);
}

TEST_F(ProgrammingSequence, KeypadImageWithoutConfigurationIsProgrammedButReportsFailure) {
    Load(KeypadPic, {.Device = "PIC18F4321", .Words = PatternWords(64), .WithConfiguration = false});
    EXPECT_FALSE(Comms->ProgramDevice(false, false));
    EXPECT_TRUE(Logged("Program memory verified OK"));
    EXPECT_TRUE(Logged("ResetDevice(KeypadPIC)"));
    EXPECT_FALSE(Comms->PortBIsOpen);  // found closed, closed again
}

TEST_F(ProgrammingSequence, KeypadReadBackFlushesUnlessTold) {
    Load(KeypadPic, {.Device = "PIC18F4321", .Words = PatternWords(64), .Config = Pic18F4321Config});
    ASSERT_TRUE(Comms->OpenUSBDataPort());
    const size_t purges = CallsOf("FT_Purge");
    ASSERT_TRUE(Comms->ProgramDevice(false, false));
    EXPECT_EQ(CallsOf("FT_Purge") - purges, 2u);
    ASSERT_TRUE(Comms->ProgramDevice(false, true));
    EXPECT_EQ(CallsOf("FT_Purge") - purges, 2u);
}

TEST_F(ProgrammingSequence, MissedBlockAcknowledgeStopsTheLoopAndEverythingAfterIt) {
    Load(KeypadPic, {.Device = "PIC18F4321", .Words = PatternWords(64), .Config = Pic18F4321Config});
    Veltra->MainPic.Faults.push_back({.Command = 0x70, .Kind = tSimReplyFaultKind::Silent, .Times = 1, .SkipAnswers = 3});
    EXPECT_FALSE(Comms->ProgramDevice(false, false));
    EXPECT_FALSE(Comms->FIsVelCommsOK);
    EXPECT_TRUE(Logged("ACKBYTE_USB TimeOut Error! Command = KeypadPicProgram, Num of expected bytes = 1, Timeout given = 1sec"));
    EXPECT_FALSE(Logged("ResetDevice(KeypadPIC)"));
    EXPECT_EQ(ProgressValues.back(), 3 * 64);
}

TEST_F(ProgrammingSequence, FailedKeypadEraseAcknowledgeRaises) {
    Load(KeypadPic, {.Device = "PIC18F4321", .Words = PatternWords(64), .Config = Pic18F4321Config});
    Veltra->MainPic.Faults.push_back({.Command = 0x6F, .Kind = tSimReplyFaultKind::WrongAck, .AckByte = 0x00, .SkipAnswers = 10});
    EXPECT_THROW((void)Comms->ProgramDevice(false, false), EUSBCommsTimeoutException);
    EXPECT_TRUE(Logged("Error in reading AckByte! Command = KeypadPicErase, Byte = 0"));
}

TEST_F(ProgrammingSequence, DosimeterIsProgrammedAndItsUnimplementedConfigBitsAreIgnored) {
    const auto words = PatternWords(8192);
    Load(DosimeterPic, {.Device = "PIC18F2420", .Words = words, .Version = {1, 0, 0, 8}, .Config = Pic18F4620Config});
    // CONFIG5L bit 2 does not exist on the part: it may read back either way.
    Veltra->DosimeterPicMemory.ReadFlips.push_back({0x300008, 0x04});
    EXPECT_TRUE(Comms->ProgramDevice(false, false));
    ExpectHolds(Veltra->DosimeterPicMemory, words);
    EXPECT_TRUE(Logged("Dosemeter Erasing 512 rows"));
    EXPECT_TRUE(Logged("Config memory verified OK"));
    EXPECT_TRUE(Logged("ResetDevice(DosimeterPIC)"));
    EXPECT_EQ(ReportedVersion(5), (std::array<uint8_t, 4>{1, 0, 0, 8}));

    Veltra->DosimeterPicMemory.ReadFlips = {{0x300008, 0x01}};  // an implemented bit
    EXPECT_FALSE(Comms->ProgramDevice(false, false));
    EXPECT_TRUE(Logged("Config memory verified FAILED"));
    EXPECT_TRUE(Logged("13:  Expecting: C00F, Read: C00E"));
}
