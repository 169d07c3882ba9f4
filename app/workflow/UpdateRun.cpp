// The update run: its start, the identity and versions it reads, stage 1 (the USB chip's
// high-current setting), stages 2 to 5, and the end-of-run steps that follow however it ends.
#include "Clock.h"
#include "D2XXUnit.h"
#include "VeltraCommsUtilityForm.h"

namespace {
constexpr uint32_t CommunicatingMs = 1500, StageTextMs = 1500, BeforeEepromWriteMs = 2000;
constexpr uint32_t StageCompleteMs = 3000, ClosingMs = 3000;
constexpr const char* ReadSettingsFailedMessage =
    "There appears to be a problem reading the settings from the connected VeltRa. Please check connection and "
    "restart application.";
constexpr const char* WriteSettingsFailedMessage =
    "There appears to be a problem upgrading the settings on the connected VeltRa. Please check connection and "
    "restart application.";
}  // namespace

void TVeltraCommsUtilityForm::AdvGlowButton2Click() {
    RunUpdateProcess();
    CloseIfRequested();
}

void TVeltraCommsUtilityForm::RunUpdateProcess() {
    // A second instrument's arrival clears ProcessBusy during a run; the run's own flag keeps a
    // second run from starting on top of this one.
    if (ProcessBusy || FRunInProgress) return;
    ProcessBusy = true;
    FRunInProgress = true;
    DisableButtons();
    View.SetProgress(0);
    View.SetLabel2Visible(true);
    View.SetLabel3("");
    View.SetBusyCursor(true);

    tUpdateRunValues values;
    try {
        RunMainBlock(values);
    } catch (const EEndRun&) {
    } catch (...) {
        try {
            EndOfRun();
        } catch (...) {
            // the first error is the one the operator must hear of
        }
        FRunInProgress = false;
        throw;
    }
    try {
        EndOfRun();
    } catch (...) {
        FRunInProgress = false;
        throw;
    }
    FRunInProgress = false;
}

void TVeltraCommsUtilityForm::RunMainBlock(tUpdateRunValues& V) {
    LocationOfCurrentConnection = CurrentConnectionList.GetLocation(ThisDeviceIndex);
    Show("Comminicating with Veltra...", CommunicatingMs);
    OpenDeviceConnection(CurrentConnectionList.GetPortAIndex(ThisDeviceIndex),
                         CurrentConnectionList.GetPortBIndex(ThisDeviceIndex),
                         CurrentConnectionList.GetName(ThisDeviceIndex),
                         CurrentConnectionList.GetLocation(ThisDeviceIndex), false);
    if (VeltraStatus != osFullyWorking || UnplugEvent) throw EEndRun{};

    V.Gsn = TRNComms->GetGSN();
    if (V.Gsn.empty()) V.Gsn = "GSN";
    Log("GSN = " + V.Gsn);
    V.PcbId = TRNComms->GetPCBID();
    if (V.PcbId.empty()) V.PcbId = "00000000";
    Log("PCB ID = " + V.PcbId);
    TRNComms->GetAllVersions(V.Project, V.MainPic, V.GraphicsPic, V.GraphicsFram, V.DatabasePic, V.DosePic, V.Dsp,
                             V.KeypadPic);
    Log("Project Version = " + V.Project);
    Log("MainPic Version = " + V.MainPic);
    Log("Keypad Version = " + V.KeypadPic);
    Log("Database Version = " + V.DatabasePic);

    RunStage1();
    for (auto* stage : {&Stage2, &Stage3, &Stage4, &Stage5})
        if (*stage) (*stage)(V);
}

void TVeltraCommsUtilityForm::RunStage1() {
    if (Read_USB_Chip_EEPROM() != FT_OK) {
        MessageBox(tMessageKind::Error, ReadSettingsFailedMessage);
        throw EEndRun{};
    }
    Log("Beginning high current check");
    Show("stage 1 of 5...", StageTextMs);
    if (USBProgramData.Data.BIsHighCurrent != 0) return;

    View.SetProgress(0);
    View.ProcessMessages();
    Clock().SleepMs(BeforeEepromWriteMs);
    Log("High current requires update");
    USBProgramData.Data.AIsHighCurrent = 0;
    USBProgramData.Data.BIsHighCurrent = 1;
    if (UnplugEvent) throw EEndRun{};
    if (Program_USB_Chip_EEPROM() == FT_OK) {
        View.SetProgress(100);
        Log("High current updated");
        Show("Stage 1 complete \xE2\x80\x93 USB chip updated.", StageCompleteMs);
    } else {
        Log("High current failed!");
        MessageBox(tMessageKind::Error, WriteSettingsFailedMessage);
        RequestClose();
    }
}

void TVeltraCommsUtilityForm::EndOfRun() {
    if (!UnplugEvent && VeltraStatus == osFullyWorking) {
        View.SetLabel1("All stages complete. \r\nClosing communications...");
        View.SetProgress(100);
        View.ProcessMessages();
        Clock().SleepMs(ClosingMs);
    }
    CloseDeviceConnection();
    Log("Process update finished");
    View.SetLabel3("");
    View.SetLabel2Visible(false);
    View.ProcessMessages();
    View.SetLabel1(UnplugEvent ? "Veltra disconnected." : "Please disconnect your Veltra.");
    View.SetBusyCursor(false);
    View.ProcessMessages();
    ProcessBusy = false;
}
