#include <gtest/gtest.h>

#include "support/SimFixture.h"

class CommandExchange : public tSimulatedVeltraTest {
protected:
    void SetUp() override {
        tSimulatedVeltraTest::SetUp();
        ASSERT_TRUE(Comms->OpenUSBDataPort());
    }
    tSimChannel& ChannelB() { return Veltra->Channels[tSimulatedInstrument::ChannelB]; }
};

TEST_F(CommandExchange, WrongAcknowledgeIsConsumedAndLogged) {
    ChannelB().SendToHost({0x55}, 0);
    EXPECT_FALSE(Comms->WaitForAckByte("Probe", false, 1));
    EXPECT_EQ(LogLines().back(), "Error in reading AckByte! Command = Probe, Byte = 85");
    EXPECT_EQ(ChannelB().Arrived(), 0u);
    EXPECT_FALSE(Comms->FIsVelCommsOK);
}

TEST_F(CommandExchange, WrongAcknowledgeRaisesWhenAsked) {
    Veltra->MainPic.Faults.push_back({.Command = 0x14, .Kind = tSimReplyFaultKind::WrongAck, .AckByte = 0x55});
    Comms->FIndicateCommsNotOK = true;
    try {
        Comms->GetMainPicProgramState();
        FAIL();
    } catch (const EUSBCommsTimeoutException& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Veltra communication problem detected. Pellar must now close. Unplug and re-plug the Veltra and "
                  "then restart Pellar software.");
    }
    const auto lines = LogLines();
    EXPECT_EQ(lines[lines.size() - 2], "Error in reading AckByte! Command = GetProgramState, Byte = 85");
    EXPECT_EQ(lines.back(), "Pellar shut down due to error in reading ackbyte.");
}

TEST_F(CommandExchange, MissingAcknowledgeTimesOut) {
    EXPECT_FALSE(Comms->WaitForAckByte("DosePicReset", false, 20));
    EXPECT_EQ(LogLines().back(),
              "ACKBYTE_USB TimeOut Error! Command = DosePicReset, Num of expected bytes = 1, Timeout given = 20sec");
    EXPECT_THROW(Comms->WaitForAckByte("KeypadPicErase", true, 1), EUSBCommsTimeoutException);
    EXPECT_EQ(LogLines().back(), "Pellar shut down due to timeout when reading ackbyte.");
}

TEST_F(CommandExchange, LateReplyFailsTheWaitAndStaysQueued) {
    ChannelB().SendToHost({1, 2, 3}, 1'500'000);
    const uint64_t start = VirtualClock.NowMs();
    EXPECT_FALSE(Comms->WaitForBytes(3, 1, "GetGSN", false));
    EXPECT_EQ(VirtualClock.NowMs() - start, 1001u);
    EXPECT_EQ(LogLines().back(), "USB TimeOut Error! Command = GetGSN, Num of expected bytes = 3, Timeout given = 1sec");
    VirtualClock.SleepMs(500);
    EXPECT_EQ(ChannelB().Arrived(), 3u);

    EXPECT_THROW(Comms->WaitForBytes(9, 1, "GetGSN", true), EUSBCommsTimeoutException);
    EXPECT_EQ(LogLines().back(), "Pellar shut down due to timeout.");
}

TEST_F(CommandExchange, WaitsForTheWholeBlock) {
    ChannelB().SendToHost(std::vector<uint8_t>(100, 7), 0);
    ChannelB().SendToHost(std::vector<uint8_t>(428, 8), 400'000);
    const uint64_t start = VirtualClock.NowMs();
    EXPECT_TRUE(Comms->WaitForBytes(528, 2, "ReadFlashPage", false));
    EXPECT_EQ(VirtualClock.NowMs() - start, 400u);
    EXPECT_TRUE(Comms->FIsVelCommsOK);
}

TEST_F(CommandExchange, AfterAFailureNothingIsSentAgain) {
    EXPECT_FALSE(Comms->WaitForBytes(1, 1, "Probe", false));
    const size_t commands = Veltra->MainPic.CommandsReceived.size();
    const size_t writes = CallsOf("FT_Write");
    EXPECT_EQ(Comms->GetTopLevelVersion(), "");
    EXPECT_EQ(Comms->GetPCBID(), "No ID");
    EXPECT_EQ(Comms->GetMainPicProgramState(), 0);
    EXPECT_EQ(Veltra->MainPic.CommandsReceived.size(), commands);
    EXPECT_EQ(CallsOf("FT_Write"), writes);
}

TEST_F(CommandExchange, OperationOpensAndClosesOnlyWhatItFoundClosed) {
    EXPECT_EQ(Comms->GetTopLevelVersion(), "2.5.0.1");
    EXPECT_TRUE(Comms->PortBIsOpen);
    Comms->CloseUSBConnection();
    const size_t opens = CallsOf("FT_Open");
    EXPECT_EQ(Comms->GetTopLevelVersion(), "2.5.0.1");
    EXPECT_FALSE(Comms->PortBIsOpen);
    EXPECT_EQ(CallsOf("FT_Open"), opens + 1);
    EXPECT_EQ(CallsOf("FT_Close"), 2u);
}

TEST_F(CommandExchange, UnplugInTheMiddleOfAnExchangeEndsInTheBrokenLink) {
    Veltra->UnplugAfterHostBytes = 1;  // the command byte goes out, then the cable is pulled
    Comms->FIndicateCommsNotOK = false;
    EXPECT_THROW(Comms->GetTopLevelVersion(), EUSBCommsTimeoutException);
    EXPECT_FALSE(Comms->FIsVelCommsOK);
    EXPECT_FALSE(Veltra->Plugged);
    EXPECT_EQ(Comms->GetGSN(), "");
}
