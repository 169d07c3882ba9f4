#include <gtest/gtest.h>

#include "support/SimFixture.h"

using IdentityQueries = tSimulatedVeltraTest;

struct tSignOnCase {
    const char* Reply;
    uint8_t CommsType;
    bool Accepted;
};

TEST_F(IdentityQueries, SignOnNeedsTheTokenOfTheLinkKind) {
    const tSignOnCase cases[] = {
        {"xTRNPic", CommsTypeVeltraUSB, true},  {" TRNPic", CommsTypeVeltraUSB, true},
        {"TRNPic\r", CommsTypeVeltraUSB, true}, {"xTRNPic", CommsTypeFtdiSerialARM, false},
        {"xVL2ARM", CommsTypeFtdiSerialARM, true}, {"TRNpic ", CommsTypeVeltraUSB, false},
    };
    for (const auto& c : cases) {
        auto comms = NewComms();
        comms->FDeviceCommsType = c.CommsType;
        Veltra->MainPic.State.SignOn = c.Reply;
        EXPECT_EQ(comms->GetSignonMessage(), c.Accepted) << c.Reply;
        const std::string last = LogLines().back();
        EXPECT_EQ(last, (c.Accepted ? "  SignonMessage OK = " : "   SignonMessage Error = ") + std::string(c.Reply));
        if (!c.Accepted) {
            EXPECT_TRUE(Logged("Error! Command = GetSignonMessage, Signon message does not contain TRNPic or VL2ARM. "
                               "Text received = " + std::string(c.Reply)));
        }
    }
}

TEST_F(IdentityQueries, SilentSignOnReadsNothing) {
    Veltra->PowerOff();
    EXPECT_FALSE(Comms->GetSignonMessage());
    const auto lines = LogLines();
    EXPECT_EQ(lines[lines.size() - 3],
              "USB TimeOut Error! Command = GetSignonMessage, Num of expected bytes = 7, Timeout given = 1 sec");
    EXPECT_EQ(lines.back(), "   SignonMessage Error = ");
    EXPECT_EQ(CallsOf("FT_Read"), 0u);
    EXPECT_TRUE(Comms->FIsVelCommsOK);  // the sign-on poll never marks the link broken
}

TEST_F(IdentityQueries, PcbIdIsTheReversedHexadecimalText) {
    Veltra->MainPic.State.PcbId = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06};
    EXPECT_EQ(Comms->GetPCBID(), "605040302010");
    EXPECT_EQ(LogLines().back(), "  PCBID = 605040302010");
    Veltra->MainPic.State.PcbId = {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB};
    EXPECT_EQ(Comms->GetPCBID(), "BA9876543210");
}

TEST_F(IdentityQueries, GsnKeepsOnlyPrintableBytes) {
    Veltra->MainPic.State.Gsn = "1 A";
    EXPECT_EQ(Comms->GetGSN(), "1A");
    EXPECT_EQ(LogLines().back(), "  GSN = 1A");
}

struct tTopLevelCase {
    const char* Bytes;
    const char* Decoded;
    bool AllVersionsSent;
};

TEST_F(IdentityQueries, TopLevelVersionDecodingDecidesTheAllVersionsCommand) {
    const tTopLevelCase cases[] = {
        {"1.0.1.9", "1.0.1.9", false}, {"1.0.1.B", "1.0.1.18", true}, {"1.0.1.:", "1.0.1.10", false},
        {"2.0.0.0", "2.0.0.0", true},  {"..0.1.2", "254.0.1.2", true}, {"1x0.1.2", "1720.1.2", false},
    };
    for (const auto& c : cases) {
        Veltra->MainPic.State.TopLevelVersion = c.Bytes;
        Veltra->MainPic.CommandsReceived.clear();
        std::string v[8];
        Comms->GetAllVersions(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7]);
        EXPECT_EQ(LogLines().back(), std::string("  GetAllVersions = ") + c.Decoded) << c.Bytes;
        const bool sent = Veltra->MainPic.CommandsReceived.size() == 2;
        EXPECT_EQ(sent, c.AllVersionsSent) << c.Bytes;
        EXPECT_EQ(v[0].empty(), !c.AllVersionsSent) << c.Bytes;
    }
}

TEST_F(IdentityQueries, AllVersionsRecord) {
    Veltra->MainPic.State.Versions.Project = {1, 2, 3, 4};
    Veltra->MainPic.State.Versions.DatabasePic = {3, 1, 2, 34};
    Veltra->MainPic.State.Versions.KeypadPic = {5, 0, 0, 11};
    std::string project, mainPic, graphics, fram, database, dose, dsp, keypad;
    Comms->GetAllVersions(project, mainPic, graphics, fram, database, dose, dsp, keypad);
    EXPECT_EQ(project, "1.2.3.4");
    EXPECT_EQ(database, "3.1.2.34");
    EXPECT_EQ(keypad, "5.0.0.11");
    EXPECT_EQ(Comms->FDatabaseVersion, 0x03010222u);
    EXPECT_FALSE(Comms->PortBIsOpen);  // it opened the channel itself, so it closed it
}

TEST_F(IdentityQueries, ProgramStateAndMasterMode) {
    Veltra->MainPic.State.ProgramState = 11;
    EXPECT_EQ(Comms->GetMainPicProgramState(), 11);
    EXPECT_TRUE(Logged("  ProgramState=11"));
    Comms->SetMainPicPCMasterMode(1);
    EXPECT_TRUE(Veltra->MainPic.State.PCMasterMode);
    EXPECT_TRUE(Logged("SetPCMasterMode(true)"));
    Comms->SetMainPicPCMasterMode(2);
    EXPECT_FALSE(Veltra->MainPic.State.PCMasterMode);
    EXPECT_TRUE(Logged("SetPCMasterMode(false)"));
}

TEST_F(IdentityQueries, PingTimesTheAnswer) {
    Veltra->MainPic.ReplyDelayUs = 3000;
    EXPECT_TRUE(Comms->PingMilliSeconds(1));
    EXPECT_TRUE(Logged("Ping Time = 3.0ms"));

    Veltra->MainPic.Faults.push_back({.Command = 0x0B, .Kind = tSimReplyFaultKind::WrongAck, .AckByte = 0x00});
    EXPECT_FALSE(Comms->PingMilliSeconds(1));
    EXPECT_TRUE(
        Logged("Error in reading AckByte! Command = PingMilliSeconds, Byte = 0, Timeout secs = 1, Ping Time = 3.0ms"));

    Veltra->PowerOff();
    EXPECT_FALSE(Comms->PingMilliSeconds(2));
    EXPECT_TRUE(Logged("USB TimeOut Error! Command = PingMilliSeconds B, Num of expected bytes = 1, Timeout given = 1 sec"));
}

TEST_F(IdentityQueries, UnhealthyLinkReturnsFailureValuesWithoutSending) {
    Comms->FIsVelCommsOK = false;
    EXPECT_EQ(Comms->GetPCBID(), "No ID");
    EXPECT_EQ(Comms->GetGSN(), "");
    EXPECT_EQ(Comms->GetMainPicProgramState(), 0);
    EXPECT_TRUE(Veltra->MainPic.CommandsReceived.empty());
    EXPECT_EQ(CallsOf("FT_Open"), 0u);
}

TEST_F(IdentityQueries, ResetAllPicsReleasesTheMainPicLast) {
    Comms->SetMainPicPCMasterMode(1);
    Comms->CloseUSBConnection();
    Comms->ResetAllPics();
    EXPECT_FALSE(Veltra->MainPic.State.PCMasterMode);  // the main PIC went through reset
    const auto& history = Veltra->Mpsse.PinHistory;
    ASSERT_GE(history.size(), 6u);
    // Each pin word is two commands, low byte then high byte: the high one completes it.
    const auto& held = history[history.size() - 5];
    const auto& others = history[history.size() - 3];
    const auto& all = history[history.size() - 1];
    EXPECT_EQ(held.Value, 0x0000);
    EXPECT_EQ(held.Direction, 0x08FB);
    EXPECT_EQ(others.Value, 0x0880);
    EXPECT_EQ(all.Value, 0x0888);
    EXPECT_EQ(others.TimeUs - held.TimeUs, 5000u);
    EXPECT_EQ(all.TimeUs - others.TimeUs, 5000u);
    EXPECT_EQ(Veltra->Mpsse.Divisor, 2);
    EXPECT_EQ(USBDeviceHandle, nullptr);
    EXPECT_TRUE(Logged("  ResetAllPics()"));
    EXPECT_EQ(LogLines().back(), "  CloseUSB (SPI mode)");
    EXPECT_TRUE(Comms->GetSignonMessage());  // channel B works again afterwards
}

TEST_F(IdentityQueries, ResetAllPicsWithoutSynchronisationDoesNothing) {
    Bus.Unplug(Veltra);
    Comms->ResetAllPics();
    EXPECT_FALSE(Logged("  ResetAllPics()"));
}
