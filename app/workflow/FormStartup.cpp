// Start-up of the main window, its buttons, message boxes and waits.
#include <cstdio>

#include "BrammUtils.h"
#include "Clock.h"
#include "LogTime.h"
#include "VeltraCommsUtilityForm.h"

bool ProcessBusy = false;

const char* const ConnectionProblemMessage =
    "There appears to be a problem connecting to the VeltRa. Please check connection and restart application.";

namespace {
constexpr int FirstPollMs = 1000;

}  // namespace

TVeltraCommsUtilityForm::TVeltraCommsUtilityForm(tVeltraView& V) : View(V) {
    CheckPreviousUpdateFailure = [this](bool NoSignOn) { DefaultRecoveryCheck(NoSignOn); };
}

TVeltraCommsUtilityForm::~TVeltraCommsUtilityForm() {
    if (TRNComms) {
        TRNComms->SetOnTRNCommsProgressEvent(nullptr);
        TRNComms->SetOnTRNCommsStatusEvent(nullptr);
    }
}

void TVeltraCommsUtilityForm::FormCreate(const std::string& ApplicationDirectory, const std::string& LogFolder,
                                         std::time_t StartTime) {
    FDebugControls = std::make_unique<tDebugControls>();
    View.StartPollTimer(FirstPollMs);
    ApplicationDir = IncludeTrailingPathDelimiter(ApplicationDirectory);
    FDebugControls->FDebuglogtofile = true;
    FDebugControls->FDebugLogFilename =
        IncludeTrailingPathDelimiter(LogFolder) + "VeltraUtility_3_" + LocalTimeText(StartTime, "%d%m%Y_%H%M%S") + ".log";
    FDebugControls->FDebuglogtowindow = false;
    Log(LocalTimeText(StartTime, "%d%m%Y %H%M%S"));
    Log("Veltra Utility 3 opened");

    CurrentConnectionList.Clear();
    PreviousConnectionList.Clear();
    LocationOfCurrentConnection = 0;
    VeltraStatus = osNotFound;
    TRNComms.reset();
    ProcessBusy = false;
    DisableButtons();
    FStatusText.clear();
    ThisDeviceIndex = 0;
    UnplugEvent = false;
    FUploadingVelFiles = false;

    View.SetLabel1("");
    View.SetLabel3("");
    View.SetLabel2Visible(false);
    View.SetProgress(0);
    View.SetLabel1("Please connect your Veltra to the PC.");
    View.ProcessMessages();
}

void TVeltraCommsUtilityForm::DisableButtons() { View.SetButtonsEnabled(false); }

void TVeltraCommsUtilityForm::EnableButtons() { View.SetButtonsEnabled(true); }

void TVeltraCommsUtilityForm::WaitWithElapsedTime(int Seconds, const std::string& Prefix) {
    const uint64_t start = Clock().NowMs();
    // The elapsed time shown in the long time format, as a clock from zero.
    while (Clock().NowMs() - start <= uint64_t(Seconds) * 1000) {
        const uint64_t elapsed = (Clock().NowMs() - start) / 1000;
        char text[16];
        std::snprintf(text, sizeof text, "%02u:%02u:%02u", unsigned(elapsed / 3600), unsigned(elapsed / 60 % 60),
                      unsigned(elapsed % 60));
        View.SetLabel3(Prefix + text + "sec");
        View.ProcessMessages();
        // On virtual time nothing else moves the clock; on real time this only eases the loop.
        Clock().SleepMs(1);
    }
    View.SetLabel3("");
    View.ProcessMessages();
}

tMessageAnswer TVeltraCommsUtilityForm::MessageBox(tMessageKind Kind, const std::string& Text, tMessageButtons Buttons) {
    if (FCloseRequested) return tMessageAnswer::Cancel;
    return View.MessageBox(Kind, Text, Buttons);
}

void TVeltraCommsUtilityForm::RequestClose() { FCloseRequested = true; }

void TVeltraCommsUtilityForm::CloseIfRequested() {
    if (FCloseRequested) View.CloseWindow();
}

void TVeltraCommsUtilityForm::Show(const std::string& Text, uint32_t Ms) {
    View.SetLabel1(Text);
    View.ProcessMessages();
    Clock().SleepMs(Ms);
}

void TVeltraCommsUtilityForm::AdvGlowButton1Click() {
    if (DownloadFiles) DownloadFiles();
    CloseIfRequested();
}
