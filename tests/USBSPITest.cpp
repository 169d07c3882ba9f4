#include <gtest/gtest.h>

#include "support/SimFixture.h"
#include "USBSPI.h"
#include "support/PicImages.h"

class Programmer : public tSimulatedVeltraTest {
protected:
    tUSBSPIcomms Spi;
    std::vector<int32_t> ProgressValues;
    std::vector<std::string> Statuses;

    void SetUp() override {
        tSimulatedVeltraTest::SetUp();
        Spi.SetOnProgressEvent([this](void*, int32_t n) { ProgressValues.push_back(n); });
        Spi.SetOnStatusEvent([this](void*, const std::string& s) { Statuses.push_back(s); });
        SelectMainPic();
    }
    void TearDown() override {
        Spi.ClosePort();
        tSimulatedVeltraTest::TearDown();
    }
    void SelectMainPic() {
        Spi.SetPicControlPins(0x0008, 0x0010, 0x08F8, 0);
        Spi.SetPicType(PIC18f8722);
    }
    void Open() { ASSERT_TRUE(Spi.InitUSBdeviceToSPImode("", 0)); }
    std::vector<std::vector<uint8_t>> ChannelAWrites() const {
        std::vector<std::vector<uint8_t>> writes;
        for (const auto& [channel, bytes] : Bus.Writes)
            if (channel == tSimulatedInstrument::ChannelA) writes.push_back(bytes);
        return writes;
    }
};

TEST_F(Programmer, PinMasksAndMclrPolarity) {
    EXPECT_EQ(Spi.TotalIOMask, 0x08FB);
    EXPECT_EQ(Spi.MclrPicRun, 0x0008);
    EXPECT_EQ(Spi.MclrPicReset, 0x0000);
    Spi.SetPicType(DLP16f877a);
    EXPECT_EQ(Spi.MclrPicRun, 0x0000);
    EXPECT_EQ(Spi.MclrPicReset, 0x0008);
    Spi.SetPicType(tPicType(9));  // stored, changes nothing else
    EXPECT_EQ(Spi.MclrPicReset, 0x0008);
}

TEST_F(Programmer, OpenSynchronisesAndSetsPinsDivisorAndLoopback) {
    Bus.RecordWrites = true;
    Open();
    EXPECT_TRUE(Spi.PortAIsOpen);
    const auto writes = ChannelAWrites();
    ASSERT_GE(writes.size(), 3u);
    EXPECT_EQ(writes[0], std::vector<uint8_t>{0xAA});
    EXPECT_EQ(writes[writes.size() - 2], std::vector<uint8_t>{0xAB});
    EXPECT_EQ(writes.back(), (std::vector<uint8_t>{0x80, 0x00, 0xFB, 0x82, 0x00, 0x08, 0x86, 0x02, 0x00, 0x85}));
    EXPECT_EQ(Veltra->Channels[tSimulatedInstrument::ChannelA].BitMode, 0x02);
    EXPECT_EQ(Veltra->Channels[tSimulatedInstrument::ChannelA].LatencyMs, 16);
    EXPECT_EQ(Veltra->Channels[tSimulatedInstrument::ChannelA].BaudRate, 115200u);
    EXPECT_FALSE(ShowUSBErrors);
}

TEST_F(Programmer, OneCharacterNameOpensByIndexAndFullNameBySerial) {
    EXPECT_TRUE(Spi.InitUSBdeviceToSPImode("V", 0));
    Spi.ClosePort();
    EXPECT_TRUE(Spi.InitUSBdeviceToSPImode("VELTRA-PA", 7));
    Spi.ClosePort();
    EXPECT_FALSE(Spi.InitUSBdeviceToSPImode("NO-SUCH", 0));
}

TEST_F(Programmer, NoChannelMeansNothingIsSent) {
    Bus.Unplug(Veltra);
    EXPECT_FALSE(Spi.InitUSBdeviceToSPImode("", 0));
    EXPECT_EQ(CallsOf("FT_Write"), 0u);
}

TEST_F(Programmer, EngineThatNeverEchoesTheSecondProbeFailsAfterTwoSeconds) {
    Veltra->Mpsse.UnansweredBadCommands = {0xAB};
    const uint64_t start = VirtualClock.NowMs();
    EXPECT_FALSE(Spi.InitUSBdeviceToSPImode("", 0));
    EXPECT_GT(VirtualClock.NowMs() - start, 2000u);
    EXPECT_LE(VirtualClock.NowMs() - start, 2100u);
}

TEST_F(Programmer, CoreInstructionBitsAreClockedAsTheNotationSays) {
    Open();
    Bus.RecordWrites = true;
    Bus.Writes.clear();
    Spi.BulkErase(false, 0);
    const auto writes = ChannelAWrites();
    ASSERT_GT(writes.size(), 3u);
    // Third transfer: BSF EECON1,EEPGD (0x8EA6), BCF CFGS, BSF WREN, flushed together.
    const std::vector<uint8_t> bsfEepgd = {
        0x80, 0x19, 0xFB, 0x1A, 0x02, 0x00,                          // command 0000: three bits by the engine
        0x80, 0x19, 0xFB, 0x80, 0x18, 0xFB, 0x80, 0x18, 0xFB,        // the fourth bit by hand
        0x80, 0x18, 0xFB,                                            // data line stays driven
        0x80, 0x19, 0xFB, 0x18, 0x00, 0x00, 0xA6, 0x1A, 0x06, 0x0E,  // payload: byte, then seven bits
        0x80, 0x1B, 0xFB, 0x80, 0x1A, 0xFB, 0x80, 0x18, 0xFB, 0x80, 0x18, 0xFB,  // bit 15 (set) by hand
    };
    ASSERT_GE(writes[2].size(), bsfEepgd.size());
    EXPECT_EQ(std::vector<uint8_t>(writes[2].begin(), writes[2].begin() + long(bsfEepgd.size())), bsfEepgd);
    EXPECT_EQ(writes[2].size(), 3 * bsfEepgd.size());
}

TEST_F(Programmer, ProgrammingHoldIsThreeHundredHighAndTwentyFiveLowPinCommands) {
    Open();
    Bus.RecordWrites = true;
    Spi.BulkErase(false, 0);
    const auto writes = ChannelAWrites();
    const auto& step = writes[3];  // the first row erase
    int high = 0, low = 0;
    for (size_t i = 0; i + 2 < step.size(); ++i) {
        if (step[i] == 0x80 && step[i + 1] == 0x19 && step[i + 2] == 0xFB) ++high;
        if (step[i] == 0x80 && step[i + 1] == 0x18 && step[i + 2] == 0xFB) ++low;
    }
    EXPECT_GE(high, 300);
    EXPECT_GE(low, 25);
    EXPECT_EQ(Veltra->MainPicTarget.HoldsTooShort, 0);
}

TEST_F(Programmer, BulkEraseOfTheKeypadPartErasesTwoHundredFiftySixRows) {
    Spi.SetPicControlPins(0x0800, 0x0080, 0x08F8, 0);
    Spi.SetPicType(PIC18f4321);
    Open();
    Bus.RecordWrites = true;
    Spi.BulkErase(false, 0);
    ASSERT_EQ(ProgressValues.size(), 256u);
    for (size_t i = 0; i < ProgressValues.size(); ++i) EXPECT_EQ(ProgressValues[i], int32_t(16 * i));
    // Mode entry (2), EECON1 set-up, then two transfers (hold, closing payload) for each of 256 rows,
    // the ID row and 14 configuration bytes, WREN off, mode exit (3).
    EXPECT_EQ(ChannelAWrites().size(), 2u + 1 + 2 * (256 + 1 + 14) + 1 + 3);
}

struct tBlockCase {
    int32_t Count;
    int Blocks;
};

TEST_F(Programmer, WriteProgramsWholeBlocksUpToAndIncludingCount) {
    for (const tBlockCase c : {tBlockCase{0x7F, 4}, tBlockCase{0x80, 5}, tBlockCase{1, 1}}) {
        Open();
        ProgressValues.clear();
        Statuses.clear();
        const int writesBefore = Veltra->MainPicTarget.RowWrites;
        const auto words = PatternWords(0x100);
        Spi.WriteProgramData(words, c.Count);
        EXPECT_EQ(Veltra->MainPicTarget.RowWrites - writesBefore, c.Blocks) << c.Count;
        EXPECT_EQ(ProgressValues.back(), 32 * c.Blocks);
        EXPECT_EQ(Statuses, (std::vector<std::string>{"Erasing...", "Programming..."}));
        for (int i = 0; i < 32 * c.Blocks; ++i) {
            const uint8_t low = Veltra->MainPicMemory.Flash[size_t(2 * i)];
            const uint8_t high = Veltra->MainPicMemory.Flash[size_t(2 * i + 1)];
            ASSERT_EQ(uint16_t(low | (high << 8)), words[size_t(i)]) << "word " << i;
        }
        EXPECT_EQ(Veltra->MainPicMemory.Flash[size_t(64 * c.Blocks)], 0xFF);
        Spi.ClosePort();
    }
}

TEST_F(Programmer, ReadBackReturnsWhatWasWrittenInBlocksOfSixtyFourBytes) {
    Open();
    const auto words = PatternWords(64);
    Spi.WriteProgramData(words, 64);
    ProgressValues.clear();
    std::vector<uint16_t> read(64, 0);
    Spi.ReadProgramData(read, 33);
    EXPECT_EQ(ProgressValues, (std::vector<int32_t>{32, 33}));
    EXPECT_EQ(std::vector<uint16_t>(read.begin(), read.begin() + 33), std::vector<uint16_t>(words.begin(), words.begin() + 33));
    EXPECT_EQ(read[33], 0);
    EXPECT_TRUE(Spi.LastReadComplete());
}

TEST_F(Programmer, ConfigurationRoundTripAndTheShortCountGuard) {
    Open();
    std::vector<uint16_t> block = {5, 0, 1, 0, 2, 0, 3, 0, 0x07FF, 0x1F1F, 0x83F3, 0xFF85, 0xC0FF, 0xE0FF, 0x40FF, 0};
    const size_t writes = CallsOf("FT_Write");
    Spi.WriteConfigurationData(block, 7);
    EXPECT_EQ(CallsOf("FT_Write"), writes);
    Spi.BulkErase(false, 0);
    Spi.WriteConfigurationData(block, 15);
    std::vector<uint16_t> read(16, 0);
    Spi.ReadConfigurationData(read);
    EXPECT_EQ(std::vector<uint16_t>(read.begin(), read.begin() + 15), std::vector<uint16_t>(block.begin(), block.begin() + 15));
    EXPECT_EQ(read[15], 0x1423);  // DEVID2:DEVID1 of the PIC18F8722
}

TEST_F(Programmer, TooShortAHoldLeavesTheFlashUnwritten) {
    Open();
    Veltra->MainPicTarget.RequiredHoldCommands = 400;
    Spi.WriteProgramData(PatternWords(32), 31);
    EXPECT_GT(Veltra->MainPicTarget.HoldsTooShort, 0);
    EXPECT_EQ(Veltra->MainPicTarget.RowWrites, 0);
}

TEST_F(Programmer, ReadThatNeverCompletesGivesUpAfterOneSecond) {
    Open();
    Bus.DriverFaults.push_back({.Call = "FT_Write", .Status = FT_IO_ERROR, .AfterCalls = int(CallsOf("FT_Write")) + 2});
    std::vector<uint16_t> read(64, 0);
    const uint64_t start = VirtualClock.NowMs();
    Spi.ReadProgramData(read, 64);
    EXPECT_FALSE(Spi.LastReadComplete());
    EXPECT_LE(VirtualClock.NowMs() - start, 1100u);
    ASSERT_FALSE(Statuses.empty());
    EXPECT_EQ(Statuses.back().rfind("Stuck reading, 0/128  Loop num=1", 0), 0u) << Statuses.back();
}

TEST_F(Programmer, QueueNeverRunsPastTheTransmitBuffer) {
    Open();
    // A PIC16 read block queues about 20 KB; 2,000 words make four of them, each flushed on its own.
    Spi.SetPicType(PIC16f877a);
    std::vector<uint16_t> read(2000, 0);
    Spi.ReadProgramData(read, 2000);
    EXPECT_LE(Spi.OutIndex, int32_t(USBOutBufferSize));
    EXPECT_EQ(Spi.OutIndex, 0);
}
