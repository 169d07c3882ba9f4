#include <gtest/gtest.h>

#include <cstring>

#include "support/SimFixture.h"

using D2XXLayer = tSimulatedVeltraTest;

TEST_F(D2XXLayer, DeviceCountWithoutMinimumIsOneCallAndTenMilliseconds) {
    const uint64_t start = VirtualClock.NowMs();
    EXPECT_EQ(GetFTDeviceCount(0, 0), FT_OK);
    EXPECT_EQ(USBDeviceCount, 2u);
    EXPECT_EQ(CallsOf("FT_ListDevices"), 1u);
    EXPECT_EQ(VirtualClock.NowMs() - start, 10u);
}

TEST_F(D2XXLayer, DeviceCountPollsUntilMinimumOrTimeout) {
    const uint64_t start = VirtualClock.NowMs();
    EXPECT_EQ(GetFTDeviceCount(4, 3), FT_OK);  // one instrument: two channels, never four
    EXPECT_EQ(USBDeviceCount, 2u);
    const uint64_t elapsed = VirtualClock.NowMs() - start;
    EXPECT_GT(elapsed, 3000u);
    EXPECT_LE(elapsed, 3010u);
    EXPECT_EQ(CallsOf("FT_ListDevices"), elapsed / 10);

    Bus.Calls.clear();
    auto second = Bus.AddInstrument({.SerialStem = "MIRA-ONE"});
    Bus.Plug(second);
    EXPECT_EQ(GetFTDeviceCount(4, 3), FT_OK);
    EXPECT_EQ(USBDeviceCount, 4u);
    EXPECT_EQ(CallsOf("FT_ListDevices"), 1u);
}

TEST_F(D2XXLayer, FailedCountKeepsThePreviousCountAndReturnsTheStatus) {
    ASSERT_EQ(GetFTDeviceCount(0, 0), FT_OK);
    Bus.DriverFaults.push_back({.Call = "FT_ListDevices", .Status = FT_IO_ERROR});
    EXPECT_EQ(GetFTDeviceCount(0, 0), FT_IO_ERROR);
    EXPECT_EQ(USBDeviceCount, 2u);
    ASSERT_EQ(Reports.size(), 1u);
    EXPECT_EQ(Reports[0], "GetFTDeviceCount - General IO Error...");
}

TEST_F(D2XXLayer, ListsSerialNumbersDescriptionsAndLocationsPerChannel) {
    ASSERT_EQ(GetFTDeviceSerialNo(0), FT_OK);
    EXPECT_EQ(USBNameString, "VELTRA-PA");
    ASSERT_EQ(GetFTDeviceSerialNo(1), FT_OK);
    EXPECT_EQ(USBNameString, "VELTRA-PB");
    ASSERT_EQ(GetFTDeviceDescription(1), FT_OK);
    EXPECT_EQ(USBNameString, "Veltra B");
    ASSERT_EQ(GetFTDeviceLocation(0), FT_OK);
    const DWORD a = USBLocationValue;
    ASSERT_EQ(GetFTDeviceLocation(1), FT_OK);
    EXPECT_EQ(a & ~3u, USBLocationValue & ~3u);
    EXPECT_EQ(a & 3u, 1u);
    EXPECT_EQ(USBLocationValue & 3u, 2u);
    EXPECT_EQ(GetFTDeviceSerialNo(2), FT_DEVICE_NOT_FOUND);
}

TEST_F(D2XXLayer, LongDescriptionIsCutToFortyNineCharacters) {
    Bus.Unplug(Veltra);
    auto wordy = Bus.AddInstrument({.Description = std::string(48, 'x')});
    Bus.Plug(wordy);
    ASSERT_EQ(GetFTDeviceDescription(0), FT_OK);  // 48 x, a blank and "A": fifty characters
    EXPECT_EQ(USBNameString, std::string(48, 'x') + " ");
}

TEST_F(D2XXLayer, SerialArgumentIsCutAndTakesLowBytes) {
    std::u16string serial = u"\u0156ELTRA-PB";  // U+0156: its low byte is 'V'
    EXPECT_EQ(Open_USB_Device_By_Serial_Number(serial), FT_OK);
    EXPECT_STREQ(USBNameBuffer, "VELTRA-PB");
    (void)Close_Current_USB_Device();

    std::u16string tooLong(60, u'Q');
    EXPECT_EQ(Open_USB_Device_By_Serial_Number(tooLong), FT_DEVICE_NOT_FOUND);
    EXPECT_EQ(std::strlen(USBNameBuffer), 49u);
}

TEST_F(D2XXLayer, ReportsOnlyFailuresAndOnlyWhileShown) {
    (void)Flush_USB_Receive_Queue();  // no channel open: the driver refuses the handle
    ASSERT_EQ(Reports.size(), 1u);
    EXPECT_EQ(Reports[0], "FT_Purge RX - Invalid Handle...");
    ASSERT_EQ(Open_USB_Device_By_Index(1), FT_OK);
    (void)Flush_USB_Receive_Queue();
    EXPECT_EQ(Reports.size(), 1u);
    ShowUSBErrors = false;
    Bus.DriverFaults.push_back({.Call = "FT_Purge", .Status = FT_IO_ERROR});
    EXPECT_EQ(Flush_USB_Transmit_Queue(), FT_IO_ERROR);
    EXPECT_EQ(Reports.size(), 1u);
}

TEST_F(D2XXLayer, StatusTextsKeepTheirExactWording) {
    EXPECT_EQ(USBStatusText(8), " Device not opened for erase  ...");
    EXPECT_EQ(USBStatusText(18), " - other error  ...");
    EXPECT_EQ(USBStatusText(99), " - unknown error (99) ...");
}

TEST_F(D2XXLayer, CloseClearsTheHandleEvenWhenTheDriverFails) {
    ASSERT_EQ(Open_USB_Device_By_Index(1), FT_OK);
    ASSERT_NE(USBDeviceHandle, nullptr);
    Bus.DriverFaults.push_back({.Call = "FT_Close", .Status = FT_IO_ERROR, .Times = 1});
    EXPECT_EQ(Close_Current_USB_Device(), FT_IO_ERROR);
    EXPECT_EQ(USBDeviceHandle, nullptr);
}

TEST_F(D2XXLayer, OpensWithoutADriverRaise) {
    Unload_USB_Driver_Library();
    USBSupportedByOS = true;
    EXPECT_THROW((void)Open_USB_Device_By_Index(0), EUSBDriverError);
    EXPECT_THROW((void)Open_USB_Device_By_Location(0), EUSBDriverError);
    try {
        (void)Open_USB_Device_By_Serial_Number(std::string("VELTRA-PB"));
        FAIL();
    } catch (const EUSBDriverError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("USB driver library could not be found.", 0), 0u);
    }
    // The other wrappers simply fail.
    EXPECT_NE(GetFTDeviceCount(0, 0), FT_OK);
    EXPECT_EQ(Send_USB_Out_Buffer(1), 0u);
}

TEST_F(D2XXLayer, TransfersNeverExceedTheirBuffers) {
    ASSERT_EQ(Open_USB_Device_By_Index(1), FT_OK);
    EXPECT_EQ(Send_USB_Out_Buffer(USBOutBufferSize + 1), 0u);
    EXPECT_EQ(Reports.back(), "FT_Write - Invalid Parameter ...");
    EXPECT_EQ(Fetch_USB_In_Buffer(DWORD(USBInBufferSize) + 100), 0u);  // cut to the buffer, nothing queued
}

TEST_F(D2XXLayer, ChipEepromReadPresetsTheRecordAndAFailedReadLeavesItZeroed) {
    ASSERT_EQ(Open_USB_Device_By_Index(1), FT_OK);
    ASSERT_EQ(Read_USB_Chip_EEPROM(), FT_OK);
    EXPECT_STREQ(USBProgramData.Data.SerialNumber, "VELTRA-P");
    EXPECT_STREQ(USBProgramData.Data.Description, "Veltra");
    EXPECT_EQ(USBProgramData.Data.VendorId, 0x0403);
    EXPECT_EQ(USBProgramData.Data.BIsHighCurrent, 0);

    Bus.DriverFaults.push_back({.Call = "FT_EE_Read", .Status = FT_EEPROM_READ_FAILED, .Times = 1});
    EXPECT_EQ(Read_USB_Chip_EEPROM(), FT_EEPROM_READ_FAILED);
    const FT_PROGRAM_DATA& d = USBProgramData.Data;
    EXPECT_EQ(d.Signature1, 0u);
    EXPECT_EQ(d.Signature2, 0xFFFFFFFFu);
    EXPECT_EQ(d.Version, 1u);
    EXPECT_EQ(d.Manufacturer, USBProgramData.Manufacturer);
    EXPECT_EQ(d.SerialNumber, USBProgramData.SerialNumber);
    EXPECT_EQ(d.VendorId, 0);
    EXPECT_STREQ(d.SerialNumber, "");
}

TEST_F(D2XXLayer, HighCurrentSettingAndUserAreaSurviveEachOtherAndAnUnplug) {
    ASSERT_EQ(Open_USB_Device_By_Index(1), FT_OK);
    ASSERT_EQ(Query_USB_User_Area_Size(), FT_OK);
    EXPECT_EQ(USBUserAreaSize, 48u);  // (48 - 8 - 2 - 6 - 8) * 2
    const uint8_t record[13] = {0x55, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    std::memset(USBUserAreaBuffer, 0, sizeof USBUserAreaBuffer);
    std::memcpy(USBUserAreaBuffer, record, sizeof record);
    ASSERT_EQ(Write_USB_User_Area(), FT_OK);

    ASSERT_EQ(Read_USB_Chip_EEPROM(), FT_OK);
    USBProgramData.Data.BIsHighCurrent = 1;
    ASSERT_EQ(Program_USB_Chip_EEPROM(), FT_OK);
    (void)Close_Current_USB_Device();

    Bus.Unplug(Veltra);
    Bus.Plug(Veltra);
    ASSERT_EQ(Open_USB_Device_By_Index(1), FT_OK);
    ASSERT_EQ(Read_USB_Chip_EEPROM(), FT_OK);
    EXPECT_EQ(USBProgramData.Data.BIsHighCurrent, 1);
    EXPECT_EQ(USBProgramData.Data.AIsHighCurrent, 0);
    std::memset(USBUserAreaBuffer, 0xEE, sizeof USBUserAreaBuffer);
    ASSERT_EQ(Read_USB_User_Area(), FT_OK);
    EXPECT_EQ(USBUserAreaSize, 48u);
    EXPECT_EQ(std::memcmp(USBUserAreaBuffer, record, sizeof record), 0);
    EXPECT_TRUE(Veltra->Eeprom.ChecksumValid());
}

TEST_F(D2XXLayer, EepromWriteFailureIsReportedAndLeavesTheChipAsItWas) {
    ASSERT_EQ(Open_USB_Device_By_Index(1), FT_OK);
    const auto before = Veltra->Eeprom.Bytes;
    Veltra->EepromWriteFails = true;
    ASSERT_EQ(Read_USB_Chip_EEPROM(), FT_OK);
    USBProgramData.Data.BIsHighCurrent = 1;
    EXPECT_EQ(Program_USB_Chip_EEPROM(), FT_EEPROM_WRITE_FAILED);
    EXPECT_EQ(Reports.back(), "FT_EE_Program  - EEPROM write failed ...");
    EXPECT_EQ(Veltra->Eeprom.Bytes, before);

    // A record without its serial number would make the instrument unrecognisable: refused.
    Veltra->EepromWriteFails = false;
    ASSERT_EQ(Read_USB_Chip_EEPROM(), FT_OK);
    USBProgramData.SerialNumber[0] = '\0';
    EXPECT_EQ(Program_USB_Chip_EEPROM(), FT_INVALID_ARGS);
    EXPECT_EQ(Veltra->Eeprom.Bytes, before);
}

TEST_F(D2XXLayer, ReadWaitsForItsTimeoutOnTheSharedClock) {
    ASSERT_EQ(Open_USB_Device_By_Index(1), FT_OK);
    ASSERT_EQ(Apply_USB_Timeouts(600, 600), FT_OK);
    const uint64_t start = VirtualClock.NowMs();
    EXPECT_EQ(Fetch_USB_In_Buffer(1), 0u);
    EXPECT_EQ(VirtualClock.NowMs() - start, 600u);

    Veltra->MainPic.ReplyDelayUs = 250'000;
    USBOutBuffer[0] = 0x0B;  // ping
    ASSERT_EQ(Send_USB_Out_Buffer(1), 1u);
    ASSERT_EQ(Query_USB_Receive_Queue(), FT_OK);
    EXPECT_EQ(USBRxQueueBytes, 0u);
    EXPECT_EQ(Fetch_USB_In_Buffer(1), 1u);
    EXPECT_EQ(USBInBuffer[0], 0xAA);
    EXPECT_EQ(VirtualClock.NowMs() - start, 850u);
}
