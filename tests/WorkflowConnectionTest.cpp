#include <gtest/gtest.h>

#include "support/WorkflowFixture.h"

class WorkflowConnection : public tWorkflowTest {
protected:
    void SetUp() override {
        tWorkflowTest::SetUp();
        PlugInAndPoll();
    }
    void Open() { Form->OpenDeviceConnection(0, 1, "VELTRA-P", Veltra->LocationBase, false); }
};

TEST_F(WorkflowConnection, StateElevenIsFullyWorkingUnderPcControl) {
    Open();
    EXPECT_EQ(Form->VeltraStatus, osFullyWorking);
    EXPECT_TRUE(Veltra->MainPic.State.PCMasterMode);
    EXPECT_TRUE(Logged("MainPic program status = 11"));
    EXPECT_TRUE(Logged("OpenUSBPortByIndex: USB port() opened OK"));  // the link writes into the same log
    Form->CloseDeviceConnection();
    EXPECT_FALSE(Veltra->MainPic.State.PCMasterMode);
    EXPECT_EQ(Form->VeltraStatus, osNotFound);
    EXPECT_EQ(Form->TRNComms, nullptr);
    EXPECT_TRUE(Logged("Usb communications closed"));
}

struct tStateCase {
    uint8_t State;
    const char* Message;
};

TEST_F(WorkflowConnection, OtherProgramStatesAreRefusedWithTheirMessage) {
    const char* turnOff = "Error: Please unplug and turn off the Veltra then reconnect to start the utility.";
    const char* unavailable =
        "Error: Connection to the Veltra is unavailable. This may have caused by switching the Veltra on/off during "
        "connection with PC. Please unplug and reconnect.";
    const tStateCase cases[] = {{10, turnOff}, {1, turnOff}, {12, unavailable}, {0, unavailable}};
    for (const auto& c : cases) {
        Veltra->MainPic.State.ProgramState = c.State;
        View.Trace.clear();
        Open();
        EXPECT_EQ(Form->VeltraStatus, osConnectionRefused) << int(c.State);
        EXPECT_EQ(View.Trace.back(), c.Message) << int(c.State);
        Form->CloseDeviceConnection();
    }
}

TEST_F(WorkflowConnection, BrokenLinkDuringTheStateQueryRaisesToTheCrashHook) {
    Veltra->MainPic.Faults.push_back({.Command = 0x14, .Kind = tSimReplyFaultKind::WrongAck});
    EXPECT_THROW(Open(), EUSBCommsTimeoutException);
    EXPECT_FALSE(Logged("MainPic program status = 0"));
}

TEST_F(WorkflowConnection, SwitchedOffInstrumentIsReportedAndTheWindowAskedToClose) {
    Veltra->PowerOff();
    Open();
    EXPECT_EQ(Form->VeltraStatus, osPowerOff);
    EXPECT_TRUE(View.Saw("Error: There appears to be a problem connecting to the VeltRa. Please check connection and "
                         "restart application."));
    EXPECT_TRUE(Form->CloseRequested());
    EXPECT_FALSE(Form->TRNComms->PortBIsOpen);
    // Once the close is requested, message boxes no longer wait for the operator.
    const size_t shown = View.Trace.size();
    EXPECT_EQ(Form->MessageBox(tMessageKind::Confirm, "Go on?", tMessageButtons::OkCancel), tMessageAnswer::Cancel);
    EXPECT_EQ(View.Trace.size(), shown);
}

TEST_F(WorkflowConnection, RecoveryCheckRunsUnlessSkipped) {
    std::vector<bool> checks;
    Form->CheckPreviousUpdateFailure = [&](bool NoSignOn) { checks.push_back(NoSignOn); };
    Open();
    Form->TRNComms->CloseUSBConnection();
    Veltra->PowerOff();
    Open();
    Form->OpenDeviceConnection(0, 1, "VELTRA-P", Veltra->LocationBase, true);
    EXPECT_EQ(checks, (std::vector<bool>{false, true}));
}

TEST_F(WorkflowConnection, MissedPingReopensOnceAndGoesOn) {
    Veltra->MainPic.Faults.push_back({.Command = 0x0B, .Kind = tSimReplyFaultKind::Silent});
    Open();
    EXPECT_EQ(Form->VeltraStatus, osFullyWorking);
    const auto lines = LogLines();
    int timeouts = 0;
    for (const auto& l : lines) timeouts += l.rfind("USB TimeOut Error! Command = PingMilliSeconds B", 0) == 0;
    EXPECT_EQ(timeouts, 2);
}

TEST_F(WorkflowConnection, SecondOpenReusesTheObjectAndCloseAfterUnplugLeavesMasterModeAlone) {
    Open();
    const tTRNComms* first = Form->TRNComms.get();
    Form->TRNComms->CloseUSBConnection();
    Open();
    EXPECT_EQ(Form->TRNComms.get(), first);
    Bus.Unplug(Veltra);
    View.FirePollTimer();
    ASSERT_TRUE(Form->UnplugEvent);
    const size_t commands = Veltra->MainPic.CommandsReceived.size();
    Form->CloseDeviceConnection();
    EXPECT_EQ(Veltra->MainPic.CommandsReceived.size(), commands);
}

TEST_F(WorkflowConnection, ChannelThatWillNotOpenEndsQuietly) {
    Bus.Unplug(Veltra);
    const size_t shown = View.Trace.size();
    Open();
    EXPECT_EQ(Form->VeltraStatus, osNotFound);
    EXPECT_EQ(View.Trace.size(), shown);
}

struct tProgressCase {
    const char* Status;
    tWhichCPU Cpu;
    int Value;
    int Percent;
};

TEST_F(WorkflowConnection, ProgressDivisorsFollowTheJobAndTheProcessor) {
    Open();
    const tProgressCase cases[] = {
        {"Erasing...", DatabasePic, 16384, 50}, {"Erasing...", DosimeterPic, 4096, 50},
        {"Erasing...", KeypadPic, 1024, 25},    {"Erasing...", MainPic, 65536, 100},
        {"Erasing...", Dsp, 511, 100},          {"Programming...", KeypadPic, 4096, 50},
        {"Programming...", DosimeterPic, 8192, 100},
    };
    for (const auto& c : cases) {
        Form->TRNComms->SetWhichCPU(c.Cpu);
        Form->CommsStatusEvent(nullptr, c.Status);
        EXPECT_EQ(View.Label3, c.Status);
        Form->PicProgressEvent(nullptr, c.Value);
        EXPECT_EQ(View.Progress, c.Percent) << c.Status << " " << int(c.Cpu);
    }
    // Halves go to the even neighbour: 1/8 of 8192 steps is 12.5 %.
    Form->PicProgressEvent(nullptr, 1024);
    EXPECT_EQ(View.Progress, 12);
    // A programming job of unknown size shows nothing rather than failing.
    Form->TRNComms->SetWhichCPU(MainPic);
    Form->PicProgressEvent(nullptr, 100);
    EXPECT_EQ(View.Progress, 0);

    Form->CommsStatusEvent(nullptr, "Reading FRAM");
    Form->DatabaseProgressEvent(nullptr, 512);
    EXPECT_EQ(View.Progress, 50);
    Form->CommsStatusEvent(nullptr, "Database initialising");
    Form->DatabaseProgressEvent(nullptr, 105000);
    EXPECT_EQ(View.Progress, 50);
    Form->CommsStatusEvent(nullptr, "Other");
    Form->DatabaseProgressEvent(nullptr, 42);
    EXPECT_EQ(View.Progress, 42);
}
