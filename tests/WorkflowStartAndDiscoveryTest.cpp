#include <gtest/gtest.h>

#include "ConnectionListClassUnit.h"
#include "support/WorkflowFixture.h"

using WorkflowStart = tWorkflowTest;

TEST_F(WorkflowStart, StartsAskingForTheInstrumentWithAFreshLog) {
    EXPECT_EQ(View.Label1, "Please connect your Veltra to the PC.");
    EXPECT_FALSE(View.ButtonsEnabled);
    EXPECT_FALSE(View.Label2Visible);
    EXPECT_TRUE(View.TimerRunning);
    EXPECT_EQ(View.TimerIntervalMs, 1000);
    std::tm local{};
    localtime_r(&StartTime, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%d%m%Y_%H%M%S", &local);
    EXPECT_EQ(Form->LogFileName(), (Dir.Path / (std::string("VeltraUtility_3_") + stamp + ".log")).string());
    stamp[8] = ' ';
    EXPECT_EQ(LogLines(), (std::vector<std::string>{stamp, "Veltra Utility 3 opened"}));
    EXPECT_EQ(Form->ApplicationDir, Dir.Path.string() + "/");
}

TEST_F(WorkflowStart, TrailingSeparatorIsNotDoubledAndASecondStartInTheSameSecondAppends) {
    tScriptedView view;
    TVeltraCommsUtilityForm again(view);
    view.Form = &again;
    again.FormCreate(Dir.Path.string() + "/", Dir.Path.string() + "/", StartTime);
    EXPECT_EQ(again.LogFileName(), Form->LogFileName());
    EXPECT_EQ(again.ApplicationDir.find("//"), std::string::npos);
    EXPECT_EQ(LogLines().size(), 4u);
}

TEST_F(WorkflowStart, WithoutAnInstrumentThePollChangesNothing) {
    View.FirePollTimer();
    EXPECT_EQ(View.Label1, "Please connect your Veltra to the PC.");
    EXPECT_FALSE(View.ButtonsEnabled);
    EXPECT_FALSE(View.TimerRunning);  // it runs again only after a device change
}

TEST_F(WorkflowStart, InstrumentPluggedInAtStartIsFoundByTheFirstPoll) {
    Bus.Plug(Veltra);
    VirtualClock.SleepMs(1000);
    View.ProcessMessages();
    EXPECT_EQ(View.Label1, "Veltra Connected. Please press the Start button below.");
    EXPECT_TRUE(View.ButtonsEnabled);
    EXPECT_TRUE(Logged("Veltra connected"));
    EXPECT_EQ(Form->ThisDeviceIndex, 1);
    EXPECT_EQ(Form->CurrentConnectionList.GetPortAIndex(1), 0);
    EXPECT_EQ(Form->CurrentConnectionList.GetPortBIndex(1), 1);
    EXPECT_EQ(View.Dismissed, (std::vector<std::string>{"Confirm", "Error", "Information"}));
}

TEST_F(WorkflowStart, DeviceChangeRestartsTheShortPollOnlyForNodeChanges) {
    View.FirePollTimer();
    Form->WMDeviceChange(TVeltraCommsUtilityForm::DBT_DEVNODESCHANGED);
    EXPECT_TRUE(View.TimerRunning);
    EXPECT_EQ(View.TimerIntervalMs, 100);
    Form->WMDeviceChange(0x8000);
    EXPECT_FALSE(View.TimerRunning);
}

struct tSerialCase {
    const char* Stem;
    bool Accepted;
};

TEST_F(WorkflowStart, OnlyTheTwoProductSerialsAreInstruments) {
    Bus.Unplug(Veltra);
    const tSerialCase cases[] = {{"VELTRA-P", true}, {"MIRA-ONE", true}, {"veltra-p", false},
                                 {"VELTRA-Q", false}, {"VELTRA-PX", false}};
    for (const auto& c : cases) {
        tSimulatedBus bus;
        bus.Plug(bus.AddInstrument({.SerialStem = c.Stem}));
        Load_Backend_USB_Driver(&bus, tUSBDriverKind::Simulated);
        Form->CurrentConnectionList.Clear();
        Form->Timer1Timer();
        EXPECT_EQ(Form->CurrentConnectionList.ValidCount(), c.Accepted ? 1 : 0) << c.Stem;
    }
    Load_Backend_USB_Driver(&Bus, tUSBDriverKind::Simulated);
}

TEST_F(WorkflowStart, ChannelBMissingMakesNoValidEntry) {
    Bus.Plug(Veltra);
    // Listing calls: the count, channel A's serial and location, then channel B's serial, which fails.
    Bus.DriverFaults.push_back({.Call = "FT_ListDevices", .Status = FT_DEVICE_NOT_FOUND, .AfterCalls = 3, .Times = 1});
    View.FirePollTimer();
    EXPECT_EQ(Form->CurrentConnectionList.Count(), 1);
    EXPECT_EQ(Form->CurrentConnectionList.ValidCount(), 0);
    EXPECT_EQ(View.Label1, "Please connect your Veltra to the PC.");
}

TEST_F(WorkflowStart, TwoInstrumentsTheNewestIsServedAndUnpluggingTheOtherChangesNothing) {
    PlugInAndPoll();
    auto second = Bus.AddInstrument({.SerialStem = "MIRA-ONE"});
    Bus.Plug(second);
    View.FirePollTimer();
    EXPECT_EQ(Form->CurrentConnectionList.ValidCount(), 2);
    EXPECT_EQ(Form->ThisDeviceIndex, 2);
    EXPECT_EQ(Form->LocationOfCurrentConnection, second->LocationBase);

    Bus.Unplug(Veltra);
    View.FirePollTimer();
    EXPECT_EQ(Form->CurrentConnectionList.ValidCount(), 1);
    EXPECT_FALSE(Form->UnplugEvent);
    EXPECT_EQ(View.Label1, "Veltra Connected. Please press the Start button below.");

    Bus.Unplug(second);
    View.FirePollTimer();
    EXPECT_TRUE(Form->UnplugEvent);
    EXPECT_EQ(View.Label1, "Veltra Disconnected.");
    EXPECT_FALSE(View.ButtonsEnabled);
    EXPECT_TRUE(Logged("Veltra disconnected"));
    // A removal dismisses confirmations and information, never an error box.
    EXPECT_EQ(std::vector<std::string>(View.Dismissed.end() - 2, View.Dismissed.end()),
              (std::vector<std::string>{"Confirm", "Information"}));
}

TEST_F(WorkflowStart, DriverErrorWhileCountingIsShownAndNothingIsPosted) {
    Bus.Plug(Veltra);
    Bus.DriverFaults.push_back({.Call = "FT_ListDevices", .Status = FT_IO_ERROR, .Times = 1});
    View.FirePollTimer();
    EXPECT_TRUE(View.Saw("Error: There appears to be a problem connecting to the VeltRa. Please check connection and "
                         "restart application."));
    EXPECT_FALSE(View.ButtonsEnabled);
}

TEST_F(WorkflowStart, NoDriverAtAllIsToldOnceWithWhatToDo) {
    Unload_USB_Driver_Library();
    View.FirePollTimer();
    View.FirePollTimer();
    int shown = 0;
    for (const auto& t : View.Trace) shown += t.rfind("Error: No USB driver for the Veltra could be loaded.", 0) == 0;
    EXPECT_EQ(shown, 1);
}

namespace {
class tLockedBus : public tSimulatedBus {
public:
    bool AccessDenied() const override { return true; }
};
}  // namespace

TEST_F(WorkflowStart, InstrumentThisUserMayNotOpenPointsToTheUdevRule) {
    tLockedBus locked;
    Load_Backend_USB_Driver(&locked, tUSBDriverKind::Simulated);
    View.FirePollTimer();
    View.FirePollTimer();
    int shown = 0;
    for (const auto& t : View.Trace) shown += t.find("99-veltra.rules") != std::string::npos;
    EXPECT_EQ(shown, 1);
}

TEST(ConnectionList, EntriesFillFromOneWithoutGapsUpToTwenty) {
    TConnectionList list;
    for (uint32_t i = 1; i <= 21; ++i) {
        list.SetLocation(int(i), i * 0x10);
        list.SetName(int(i), "VELTRA-P");
        list.SetPortAIndex(int(i), int32_t(2 * i));
        list.SetPortBIndex(int(i), int32_t(2 * i + 1));
    }
    EXPECT_EQ(list.Count(), 20);
    EXPECT_EQ(list.Find(21 * 0x10), 0);
    EXPECT_EQ(list.Find(3 * 0x10), 3);
    EXPECT_EQ(list.GetLocation(21), 0u);
    EXPECT_EQ(list.GetPortAIndex(0), -1);
    list.Clear();
    list.SetLocation(3, 0x30);  // not next: ignored
    EXPECT_EQ(list.Count(), 0);
    list.SetLocation(1, 0x10);
    list.SetLocation(2, 0x20);
    list.SetPortAIndex(2, 4);
    list.SetPortBIndex(2, 5);
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.ValidCount(), 0);  // the first entry lacks its channels
}
