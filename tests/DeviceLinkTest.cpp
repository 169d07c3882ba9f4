#include <gtest/gtest.h>

#include "support/SimFixture.h"

using DeviceLink = tSimulatedVeltraTest;

TEST_F(DeviceLink, IndexOpenRefusesAnIndexPastTheLastChannel) {
    Comms->FDevicePortBIndex = 2;
    EXPECT_FALSE(Comms->OpenUSBDataPort());
    EXPECT_FALSE(Comms->PortBIsOpen);
    EXPECT_TRUE(Logged("OpenUSBPortByIndex: Opening USB port(2)2 FTDI devices found"));
    EXPECT_TRUE(Logged("OpenUSBPortByIndex: Failed - \"DeviceNum>(NoOfDevs-1)\""));

    Comms->FDevicePortBIndex = 1;
    EXPECT_TRUE(Comms->OpenUSBDataPort());
    EXPECT_TRUE(Comms->PortBIsOpen);
    EXPECT_TRUE(Logged("OpenUSBPortByIndex: USB port() opened OK"));
    EXPECT_FALSE(ShowUSBErrors);
}

TEST_F(DeviceLink, NoChannelPresent) {
    Bus.Unplug(Veltra);
    EXPECT_FALSE(Comms->OpenUSBDataPort());
    EXPECT_TRUE(Logged("OpenUSBPortByIndex: Failed - \"NoOfDevs<=0\""));

    Comms->FUseOpenDeviceMethod = OpenByName;
    EXPECT_FALSE(Comms->OpenUSBDataPort());
    Comms->FUseOpenDeviceMethod = OpenByLocation;
    EXPECT_FALSE(Comms->OpenUSBDataPort());
    const auto lines = LogLines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], "Opening USB port(VELTRA-PB)0 FTDI devices found");
    EXPECT_EQ(lines.back(), "Opening USB port(" + std::to_string(Veltra->LocationBase + 2) + ")0 FTDI devices found");
}

TEST_F(DeviceLink, OpensByNameAndByLocationReachChannelB) {
    Comms->FUseOpenDeviceMethod = OpenByName;
    ASSERT_TRUE(Comms->OpenUSBDataPort());
    EXPECT_TRUE(Logged("USB port(VELTRA-PB) opened OK"));
    EXPECT_TRUE(Comms->GetSignonMessage());
    Comms->CloseUSBConnection();

    Comms->FUseOpenDeviceMethod = OpenByLocation;
    ASSERT_TRUE(Comms->OpenUSBDataPort());
    EXPECT_TRUE(Logged("USB port() opened OK"));
    EXPECT_TRUE(Comms->GetSignonMessage());
}

TEST_F(DeviceLink, FailedQueueQueryOpensButLeavesTheChannelUnusable) {
    Bus.DriverFaults.push_back({.Call = "FT_GetQueueStatus", .Status = FT_IO_ERROR, .Times = 1});
    EXPECT_TRUE(Comms->OpenUSBDataPort());
    EXPECT_FALSE(Comms->PortBIsOpen);
    EXPECT_EQ(Comms->GetTopLevelVersion(), "");  // needs the channel: fails without raising
}

TEST_F(DeviceLink, ClosingAClosedChannelCallsNothingButLogs) {
    Comms->CloseUSBConnection();
    EXPECT_EQ(CallsOf("FT_Close"), 0u);
    EXPECT_EQ(LogLines().back(), "USB port Close()");
}

TEST_F(DeviceLink, FlushDrainsWhatThePurgeLeft) {
    ASSERT_TRUE(Comms->OpenUSBDataPort());
    Veltra->Channels[tSimulatedInstrument::ChannelB].SendToHost({1, 2, 3, 4, 5}, 0);
    Bus.DriverFaults.push_back({.Call = "FT_Purge", .Status = FT_IO_ERROR, .Times = 2});
    Comms->FlushUSBPipes();
    EXPECT_EQ(Veltra->Channels[tSimulatedInstrument::ChannelB].Arrived(), 0u);
    EXPECT_EQ(CallsOf("FT_Read"), 5u);
}

TEST_F(DeviceLink, HealthOnceLostStaysLost) {
    Veltra->MainPic.Faults.push_back({.Command = 0x16, .Kind = tSimReplyFaultKind::Silent});
    Comms->FIndicateCommsNotOK = true;
    EXPECT_THROW(Comms->GetTopLevelVersion(), EUSBCommsTimeoutException);
    EXPECT_FALSE(Comms->FIsVelCommsOK);
    try {
        (void)Comms->IsVelCommsOK();
        FAIL();
    } catch (const EUSBCommsTimeoutException& e) {
        EXPECT_EQ(std::string(e.what()), CommsStoppedMessage);
    }
    Comms->FIndicateCommsNotOK = false;
    EXPECT_FALSE(Comms->IsVelCommsOK());
    Veltra->MainPic.Faults.clear();
    EXPECT_EQ(Comms->GetTopLevelVersion(), "");
    EXPECT_TRUE(NewComms()->IsVelCommsOK());
}

TEST_F(DeviceLink, DebugOutputNeedsAFileAndFollowsTheFlags) {
    Comms->SetDebugLogToFile(false);
    Comms->DebugOutput("quiet", false);
    Comms->DebugOutput("always", true);
    EXPECT_FALSE(Logged("quiet"));
    EXPECT_TRUE(Logged("always"));
    const std::string stamp = ReadFileText(LogFile).substr(0, 10);
    EXPECT_TRUE(stamp[2] == ':' && stamp[5] == ':' && stamp.substr(8) == ": ") << stamp;

    tTRNComms silent;
    silent.DebugOutput("nowhere", true);  // no file name: nothing, no failure
}

TEST_F(DeviceLink, LogSettingsReachTheProgrammer) {
    Comms->SetDebugLogFilename(Dir / "other.log");
    Comms->SetDebugLogToFile(false);
    Comms->SetApplicationDirectory(Dir / "");
    EXPECT_EQ(Comms->USBSPI().DebugLogFileName(), Dir / "other.log");
    EXPECT_FALSE(Comms->USBSPI().DebugLogToFile());
    EXPECT_EQ(Comms->USBSPI().ApplicationDirectory(), Dir / "");
    EXPECT_EQ(Comms->USBSPI().PicType(), PIC18f8722);
}

TEST_F(DeviceLink, DestroyLogsItsLine) {
    Comms.reset();
    EXPECT_EQ(LogLines().back(), "TRNComms.Destroy()");
}
