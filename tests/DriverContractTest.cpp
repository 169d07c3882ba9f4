// One set of cases for every D2XX driver: always the simulated instrument; libftdi1 and FTDI's
// own library only with a real instrument attached and VELTRA_HARDWARE_TESTS=1.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>

#include "Clock.h"
#include "D2XXUnit.h"
#include "SimulatedBus.h"

namespace {

bool HardwareTestsEnabled() {
    const char* flag = std::getenv("VELTRA_HARDWARE_TESTS");
    return flag && std::string(flag) == "1";
}

struct tInstrumentChannels {
    DWORD A = 0, B = 0;
    std::string Stem;
};

// The channels of the first instrument listed.
bool FindInstrument(tInstrumentChannels& Found) {
    if (GetFTDeviceCount(0, 0) != FT_OK) return false;
    for (DWORD i = 0; i < USBDeviceCount; ++i) {
        if (GetFTDeviceSerialNo(i) != FT_OK) continue;
        const std::string serial = USBNameString;
        for (const char* stem : {"VELTRA-P", "MIRA-ONE"}) {
            if (serial == std::string(stem) + "A") Found.A = i, Found.Stem = stem;
            if (serial == std::string(stem) + "B") Found.B = i;
        }
    }
    return !Found.Stem.empty();
}

}  // namespace

class DriverContract : public ::testing::TestWithParam<tUSBDriverKind> {
protected:
    tVirtualClock VirtualClock;
    std::unique_ptr<tScopedClock> UseClock;
    tSimulatedBus Bus;
    tInstrumentChannels Channels;

    void SetUp() override {
        ShowUSBErrors = false;
        switch (GetParam()) {
            case tUSBDriverKind::Simulated:
                UseClock = std::make_unique<tScopedClock>(VirtualClock);
                Bus.Plug(Bus.AddInstrument());
                Load_Backend_USB_Driver(&Bus, tUSBDriverKind::Simulated);
                break;
            case tUSBDriverKind::LibFtdi:
                if (!HardwareTestsEnabled()) GTEST_SKIP() << "set VELTRA_HARDWARE_TESTS=1 with an instrument attached";
                ASSERT_TRUE(Load_LibFtdi_USB_Driver());
                break;
            case tUSBDriverKind::VendorLibrary:
                if (!HardwareTestsEnabled()) GTEST_SKIP() << "set VELTRA_HARDWARE_TESTS=1 with an instrument attached";
                if (!Load_Vendor_USB_Driver_Library()) GTEST_SKIP() << "libftd2xx.so is not installed";
                break;
            case tUSBDriverKind::None: break;
        }
        ASSERT_TRUE(FindInstrument(Channels)) << "no instrument on the bus";
    }

    void TearDown() override {
        if (USBDeviceHandle) (void)Close_Current_USB_Device();
        Unload_USB_Driver_Library();
    }
};

TEST_P(DriverContract, ChannelsOfOneChipShareTheirLocationButTheLowBits) {
    ASSERT_EQ(GetFTDeviceLocation(Channels.A), FT_OK);
    const DWORD a = USBLocationValue;
    ASSERT_EQ(GetFTDeviceLocation(Channels.B), FT_OK);
    EXPECT_EQ(a & ~3u, USBLocationValue & ~3u);
    EXPECT_NE(a, USBLocationValue);
    ASSERT_EQ(GetFTDeviceDescription(Channels.B), FT_OK);
    EXPECT_EQ(USBNameString.substr(USBNameString.size() - 2), " B");
}

TEST_P(DriverContract, OpensByIndexSerialAndLocation) {
    ASSERT_EQ(Open_USB_Device_By_Index(Channels.B), FT_OK);
    EXPECT_EQ(Close_Current_USB_Device(), FT_OK);
    ASSERT_EQ(Open_USB_Device_By_Serial_Number(Channels.Stem + "B"), FT_OK);
    EXPECT_EQ(Close_Current_USB_Device(), FT_OK);
    ASSERT_EQ(GetFTDeviceLocation(Channels.B), FT_OK);
    ASSERT_EQ(Open_USB_Device_By_Location(USBLocationValue), FT_OK);
    EXPECT_EQ(Close_Current_USB_Device(), FT_OK);
    EXPECT_NE(Open_USB_Device_By_Serial_Number(std::string("NO-SUCH-CHIP")), FT_OK);
}

TEST_P(DriverContract, MainPicSignsOnOverChannelB) {
    ASSERT_EQ(Open_USB_Device_By_Index(Channels.B), FT_OK);
    ASSERT_EQ(Apply_USB_Timeouts(600, 600), FT_OK);
    ASSERT_EQ(Flush_USB_Receive_Queue(), FT_OK);
    USBOutBuffer[0] = 0x00;
    ASSERT_EQ(Send_USB_Out_Buffer(1), 1u);
    ASSERT_EQ(Fetch_USB_In_Buffer(7), 7u);
    EXPECT_NE(std::string(reinterpret_cast<char*>(USBInBuffer), 7).find("TRNPic"), std::string::npos);
    ASSERT_EQ(Query_USB_Receive_Queue(), FT_OK);
    EXPECT_EQ(USBRxQueueBytes, 0u);
}

TEST_P(DriverContract, ReadReturnsShortAfterItsTimeout) {
    ASSERT_EQ(Open_USB_Device_By_Index(Channels.B), FT_OK);
    ASSERT_EQ(Apply_USB_Timeouts(100, 100), FT_OK);
    ASSERT_EQ(Flush_USB_Receive_Queue(), FT_OK);
    const uint64_t start = Clock().NowMs();
    EXPECT_EQ(Fetch_USB_In_Buffer(4), 0u);
    EXPECT_GE(Clock().NowMs() - start, 100u);
}

TEST_P(DriverContract, PurgeDropsWhatWasReceived) {
    ASSERT_EQ(Open_USB_Device_By_Index(Channels.B), FT_OK);
    USBOutBuffer[0] = 0x0B;  // ping: one acknowledge byte comes back
    ASSERT_EQ(Send_USB_Out_Buffer(1), 1u);
    Clock().SleepMs(50);
    ASSERT_EQ(Query_USB_Receive_Queue(), FT_OK);
    EXPECT_EQ(USBRxQueueBytes, 1u);
    ASSERT_EQ(Flush_USB_Receive_Queue(), FT_OK);
    ASSERT_EQ(Query_USB_Receive_Queue(), FT_OK);
    EXPECT_EQ(USBRxQueueBytes, 0u);
}

TEST_P(DriverContract, ChannelASynchronisesInMpsseMode) {
    ASSERT_EQ(Open_USB_Device_By_Index(Channels.A), FT_OK);
    ASSERT_EQ(Apply_USB_Timeouts(600, 600), FT_OK);
    ASSERT_EQ(Apply_USB_Bit_Mode(0, FT_BITMODE_RESET), FT_OK);
    ASSERT_EQ(Apply_USB_Bit_Mode(0, FT_BITMODE_MPSSE), FT_OK);
    ASSERT_EQ(Flush_USB_Receive_Queue(), FT_OK);
    USBOutBuffer[0] = 0xAB;  // not a command: the engine answers 0xFA and the byte
    ASSERT_EQ(Send_USB_Out_Buffer(1), 1u);
    ASSERT_EQ(Fetch_USB_In_Buffer(2), 2u);
    EXPECT_EQ(USBInBuffer[0], 0xFA);
    EXPECT_EQ(USBInBuffer[1], 0xAB);
    EXPECT_EQ(Apply_USB_Bit_Mode(0, FT_BITMODE_RESET), FT_OK);
}

TEST_P(DriverContract, ChipEepromReadsWithTheInstrumentSerial) {
    ASSERT_EQ(Open_USB_Device_By_Index(Channels.B), FT_OK);
    ASSERT_EQ(Read_USB_Chip_EEPROM(), FT_OK);
    EXPECT_EQ(std::string(USBProgramData.Data.SerialNumber), Channels.Stem);
    ASSERT_EQ(Query_USB_User_Area_Size(), FT_OK);
    EXPECT_GE(USBUserAreaSize, 13u);
    ASSERT_EQ(Read_USB_User_Area(), FT_OK);
}

INSTANTIATE_TEST_SUITE_P(Drivers, DriverContract,
                         ::testing::Values(tUSBDriverKind::Simulated, tUSBDriverKind::LibFtdi,
                                           tUSBDriverKind::VendorLibrary),
                         [](const auto& Info) { return std::string(
                             Info.param == tUSBDriverKind::Simulated ? "Simulated"
                             : Info.param == tUSBDriverKind::LibFtdi ? "LibFtdi" : "VendorLibrary"); });

TEST(LibFtdiDriver, WithoutAnInstrumentListsNothingAndOpensFailCleanly) {
    if (HardwareTestsEnabled()) GTEST_SKIP() << "an instrument is attached";
    ShowUSBErrors = false;
    ASSERT_TRUE(Load_LibFtdi_USB_Driver());
    EXPECT_STREQ(USBDriverName(), "libftdi1");
    EXPECT_EQ(GetFTDeviceCount(0, 0), FT_OK);
    EXPECT_EQ(USBDeviceCount, 0u);
    EXPECT_NE(Open_USB_Device_By_Index(0), FT_OK);
    EXPECT_NE(Open_USB_Device_By_Serial_Number(std::string("VELTRA-PB")), FT_OK);
    EXPECT_NE(Open_USB_Device_By_Location(0x01000112), FT_OK);
    EXPECT_NE(GetFTDeviceSerialNo(0), FT_OK);
    Unload_USB_Driver_Library();
}
