#include <gtest/gtest.h>

#include "BrammUtils.h"
#include "CrashReportHook.h"
#include "support/WorkflowFixture.h"

namespace {
bool HighCurrentB(const tSimulatedInstrument& I) {
    tFtdiEepromSettings s;
    return I.Eeprom.Decode(s) && s.BIsHighCurrent;
}
}  // namespace

class UpdateRun : public tWorkflowTest {
protected:
    void SetUp() override {
        tWorkflowTest::SetUp();
        PlugInAndPoll();
        View.Trace.clear();
    }
    std::vector<std::string> Labels() const {
        std::vector<std::string> labels;
        for (const auto& t : View.Trace)
            if (t.rfind("Label1: ", 0) == 0) labels.push_back(t.substr(8));
        return labels;
    }
};

TEST_F(UpdateRun, StageOneSwitchesChannelBToHighCurrent) {
    ASSERT_FALSE(HighCurrentB(*Veltra));
    const uint64_t start = VirtualClock.NowMs();
    Form->AdvGlowButton2Click();
    EXPECT_TRUE(HighCurrentB(*Veltra));
    EXPECT_EQ(Labels(), (std::vector<std::string>{"Comminicating with Veltra...", "stage 1 of 5...",
                                                  "Stage 1 complete \xE2\x80\x93 USB chip updated.",
                                                  "All stages complete. \r\nClosing communications...",
                                                  "Please disconnect your Veltra."}));
    for (const char* line : {"GSN = V7K", "PCB ID = BA9876543210", "Project Version = 2.5.0.1",
                             "MainPic Version = 2.5.0.1", "Keypad Version = 5.0.0.11", "Database Version = 3.1.0.34",
                             "Beginning high current check", "High current requires update", "High current updated",
                             "Usb communications closed", "Process update finished"})
        EXPECT_TRUE(Logged(line)) << line;
    EXPECT_LT(IndexOf("Database Version = 3.1.0.34"), IndexOf("Beginning high current check"));
    EXPECT_LT(IndexOf("Usb communications closed"), IndexOf("Process update finished"));
    // 1.5 s connecting, 1.5 s stage text, 2 s before the write, 3 s completion, 3 s closing, plus the link.
    EXPECT_GE(VirtualClock.NowMs() - start, 11000u);
    EXPECT_FALSE(ProcessBusy);
    EXPECT_FALSE(View.ButtonsEnabled);  // a new run needs the instrument plugged in again
    EXPECT_FALSE(View.Label2Visible);
    EXPECT_FALSE(View.BusyCursor);
    EXPECT_FALSE(Veltra->MainPic.State.PCMasterMode);
    EXPECT_FALSE(View.Closed);
}

TEST_F(UpdateRun, HighCurrentAlreadySetWritesNothing) {
    Form->RunUpdateProcess();
    const auto eeprom = Veltra->Eeprom.Bytes;
    View.Trace.clear();
    Form->RunUpdateProcess();
    EXPECT_EQ(Veltra->Eeprom.Bytes, eeprom);
    EXPECT_EQ(Labels(), (std::vector<std::string>{"Comminicating with Veltra...", "stage 1 of 5...",
                                                  "All stages complete. \r\nClosing communications...",
                                                  "Please disconnect your Veltra."}));
}

TEST_F(UpdateRun, InstrumentNotWorkingRunsNoStage) {
    Veltra->MainPic.State.ProgramState = 10;
    bool stageRan = false;
    Form->Stage2 = [&](tUpdateRunValues&) { stageRan = true; };
    Form->RunUpdateProcess();
    EXPECT_FALSE(stageRan);
    EXPECT_FALSE(View.Saw("Label1: All stages complete. \r\nClosing communications..."));
    EXPECT_EQ(View.Label1, "Please disconnect your Veltra.");
    EXPECT_FALSE(HighCurrentB(*Veltra));
}

TEST_F(UpdateRun, StagesRunInOrderWithTheValuesReadAtTheStart) {
    std::vector<std::string> order;
    Form->Stage2 = [&](tUpdateRunValues& V) { order.push_back("2:" + V.KeypadPic); };
    Form->Stage3 = [&](tUpdateRunValues& V) { order.push_back("3:" + V.Gsn); };
    Form->Stage4 = [&](tUpdateRunValues& V) { order.push_back("4:" + V.Project); };
    Form->Stage5 = [&](tUpdateRunValues& V) { order.push_back("5:" + V.DatabasePic); };
    Form->RunUpdateProcess();
    EXPECT_EQ(order, (std::vector<std::string>{"2:5.0.0.11", "3:V7K", "4:2.5.0.1", "5:3.1.0.34"}));
}

TEST_F(UpdateRun, FailedSettingsReadEndsTheRun) {
    Bus.DriverFaults.push_back({.Call = "FT_EE_Read", .Status = FT_EEPROM_READ_FAILED});
    Form->RunUpdateProcess();
    EXPECT_TRUE(View.Saw("Error: There appears to be a problem reading the settings from the connected VeltRa. "
                         "Please check connection and restart application."));
    EXPECT_FALSE(Logged("Beginning high current check"));
    EXPECT_FALSE(Form->CloseRequested());
    EXPECT_TRUE(View.Saw("Label1: All stages complete. \r\nClosing communications..."));
}

TEST_F(UpdateRun, FailedSettingsWriteIsAStageFailureAndLaterBoxesDoNotWait) {
    Veltra->EepromWriteFails = true;
    bool laterBoxAnswered = true;
    Form->Stage2 = [&](tUpdateRunValues&) {
        laterBoxAnswered = Form->MessageBox(tMessageKind::Error, "later") == tMessageAnswer::Ok;
    };
    Form->AdvGlowButton2Click();
    EXPECT_TRUE(Logged("High current failed!"));
    EXPECT_TRUE(View.Saw("Error: There appears to be a problem upgrading the settings on the connected VeltRa. "
                         "Please check connection and restart application."));
    EXPECT_FALSE(laterBoxAnswered);
    EXPECT_FALSE(View.Saw("Error: later"));
    EXPECT_TRUE(Logged("Process update finished"));
    EXPECT_TRUE(View.Closed);  // once the run has returned
    EXPECT_FALSE(HighCurrentB(*Veltra));
}

TEST_F(UpdateRun, UnplugBeforeTheSettingsWriteEndsTheRun) {
    View.OnLabel1 = [&](const std::string& Text) {
        if (Text != "stage 1 of 5...") return;
        Bus.Unplug(Veltra);
        View.FirePollTimer();
    };
    Form->RunUpdateProcess();
    EXPECT_TRUE(Logged("High current requires update"));
    EXPECT_FALSE(Logged("High current updated"));
    EXPECT_FALSE(HighCurrentB(*Veltra));
    EXPECT_EQ(View.Label1, "Veltra disconnected.");
    EXPECT_FALSE(View.Saw("Label1: All stages complete. \r\nClosing communications..."));
}

TEST_F(UpdateRun, UnplugWhileConnectingEndsTheRunBeforeAnyQuery) {
    View.OnLabel1 = [&](const std::string& Text) {
        if (Text != "Comminicating with Veltra...") return;
        Bus.Unplug(Veltra);
        View.FirePollTimer();
    };
    Form->RunUpdateProcess();
    EXPECT_FALSE(Logged("Beginning high current check"));
    EXPECT_EQ(View.Label1, "Veltra disconnected.");
}

TEST_F(UpdateRun, BrokenLinkRaisesAfterTheEndOfRunSteps) {
    Veltra->MainPic.Faults.push_back({.Command = 0x19, .Kind = tSimReplyFaultKind::Silent});  // the GSN query
    EXPECT_THROW(Form->RunUpdateProcess(), EUSBCommsTimeoutException);
    EXPECT_TRUE(Logged("Pellar shut down due to timeout."));
    EXPECT_TRUE(Logged("Process update finished"));
    EXPECT_FALSE(ProcessBusy);
    EXPECT_EQ(Form->TRNComms, nullptr);
    EXPECT_EQ(View.Label1, "Please disconnect your Veltra.");
}

TEST_F(UpdateRun, VersionFieldThatIsNotANumberEndsTheRunAfterItsEndSteps) {
    Veltra->MainPic.State.Versions.KeypadPic = {5, 0, 0, 11};
    Form->Stage2 = [](tUpdateRunValues& V) { (void)std::stoi(ExtractField(V.KeypadPic + "x.", 5, '.')); };
    EXPECT_THROW(Form->RunUpdateProcess(), std::invalid_argument);
    EXPECT_TRUE(Logged("Process update finished"));
    EXPECT_FALSE(ProcessBusy);
}

TEST_F(UpdateRun, NoSecondRunStartsOnTopOfARunningOne) {
    int opened = 0;
    Form->Stage2 = [&](tUpdateRunValues&) {
        ProcessBusy = false;  // as a second instrument's arrival leaves it
        const size_t logged = LogLines().size();
        Form->RunUpdateProcess();
        opened = int(LogLines().size() - logged);
    };
    Form->RunUpdateProcess();
    EXPECT_EQ(opened, 0);
}

TEST(CrashReportHook, BrokenLinkSavesItsReportShowsTheMessageAndEnds) {
    tTempDir dir;
    tCrashReportHook hook;
    hook.LogFileName = dir / "VeltraUtility_3_01012027_120000.log";
    std::vector<std::string> shown;
    int ended = -1;
    hook.ShowCommsFailure = [&](const std::string& m) { shown.push_back(m); };
    hook.ShowStandardReport = [&](const tCrashReport&) { return false; };
    hook.EndProgram = [&](int code) { ended = code; };
    try {
        throw EUSBCommsTimeoutException(CommsStoppedMessage);
    } catch (...) {
        hook.HandleCurrentException();
    }
    ASSERT_EQ(shown, std::vector<std::string>{CommsIssueMessage});
    EXPECT_EQ(ended, 1);
    const std::string report = ReadFileText(dir / "VeltraUtility_3_01012027_120000_bugreport.txt");
    EXPECT_NE(report.find("Type: EUSBCommsTimeoutException"), std::string::npos);
    EXPECT_NE(report.find(CommsStoppedMessage), std::string::npos);
}

TEST(CrashReportHook, OtherErrorsGetTheStandardReportAndTheOperatorDecides) {
    tCrashReportHook hook;
    std::string type;
    bool endChosen = false;
    int ended = -1;
    hook.ShowCommsFailure = [&](const std::string&) { ADD_FAILURE() << "not a link failure"; };
    hook.ShowStandardReport = [&](const tCrashReport& r) {
        type = r.TypeName;
        return endChosen;
    };
    hook.EndProgram = [&](int code) { ended = code; };
    try {
        (void)std::stoi("x");
    } catch (...) {
        hook.HandleCurrentException();
    }
    EXPECT_EQ(type, "std::invalid_argument");
    EXPECT_EQ(ended, -1);
    endChosen = true;
    try {
        throw std::runtime_error("boom");
    } catch (...) {
        hook.HandleCurrentException();
    }
    EXPECT_EQ(ended, 1);
}
