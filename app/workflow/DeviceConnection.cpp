// Opening the served instrument and judging whether it can be worked on; its status and progress
// events.
#include <algorithm>
#include <cmath>

#include "Clock.h"
#include "VeltraCommsUtilityForm.h"

namespace {
constexpr uint32_t SettleMs = 25;
constexpr int FullyWorkingState = 11;
constexpr const char* TurnOffMessage = "Please unplug and turn off the Veltra then reconnect to start the utility.";
constexpr const char* UnavailableMessage =
    "Connection to the Veltra is unavailable. This may have caused by switching the Veltra on/off during connection "
    "with PC. Please unplug and reconnect.";

// Progress divisors of erase and programming jobs.
constexpr double EraseWordsDatabasePic = 32768, EraseWordsDosimeter = 8192, EraseStepsDsp = 511;
constexpr double EraseWordsKeypad = 4096, EraseWordsDefault = 65536, SubPicProgramWords = 8192;
constexpr double FramBlocks = 1024, InitialisingSteps = 210000;
}  // namespace

void TVeltraCommsUtilityForm::DefaultRecoveryCheck(bool NoSignOn) {
    // Without an update-status record there is nothing to finish; a silent instrument is a fault.
    if (NoSignOn) {
        MessageBox(tMessageKind::Error, ConnectionProblemMessage);
        RequestClose();
    }
}

void TVeltraCommsUtilityForm::OpenDeviceConnection(int32_t PortAIndex, int32_t PortBIndex, const std::string& Name,
                                                   uint32_t Location, bool SkipRecoveryCheck) {
    VeltraStatus = osNotFound;
    if (!TRNComms) TRNComms = std::make_unique<tTRNComms>();
    tTRNComms& c = *TRNComms;
    c.SetOnTRNCommsProgressEvent([this](void* Sender, int Value) { PicProgressEvent(Sender, Value); });
    c.SetOnTRNCommsStatusEvent([this](void* Sender, const std::string& Text) { CommsStatusEvent(Sender, Text); });
    c.FUseOpenDeviceMethod = OpenByIndex;
    c.FDeviceLocation = Location;
    c.FDeviceName = Name;
    c.FDevicePortAIndex = uint32_t(PortAIndex);
    c.FDevicePortBIndex = uint32_t(PortBIndex);
    c.SetDebugLogToFile(true);
    c.SetDebugLogFilename(LogFileName());
    c.SetDebugLogToWindow(false);
    c.FIndicateCommsNotOK = false;

    if (!c.OpenUSBDataPort()) return;
    c.FlushUSBPipes();
    if (!c.PingMilliSeconds(1)) {
        c.FlushUSBPipes();
        c.CloseUSBConnection();
        (void)c.OpenUSBDataPort();
        Clock().SleepMs(SettleMs);
        c.FlushUSBPipes();
        (void)c.PingMilliSeconds(1);
    }
    Clock().SleepMs(SettleMs);
    c.FlushUSBPipes();
    Clock().SleepMs(SettleMs);
    c.FlushUSBPipes();

    VeltraStatus = osPowerOff;
    if (!c.GetSignonMessage()) {
        c.CloseUSBConnection();
        if (!SkipRecoveryCheck) CheckPreviousUpdateFailure(true);
        return;
    }
    c.SetMainPicPCMasterMode(1);
    const int state = c.GetMainPicProgramState();
    Log("MainPic program status = " + std::to_string(state));
    VeltraStatus = osConnectionRefused;
    if (state >= 1 && state <= FullyWorkingState) {
        if (!SkipRecoveryCheck) CheckPreviousUpdateFailure(false);
        if (state == FullyWorkingState)
            VeltraStatus = osFullyWorking;
        else
            MessageBox(tMessageKind::Error, TurnOffMessage);
    } else {
        MessageBox(tMessageKind::Error, UnavailableMessage);
    }
}

void TVeltraCommsUtilityForm::CloseDeviceConnection() {
    if (!UnplugEvent && TRNComms && VeltraStatus == osFullyWorking) TRNComms->SetMainPicPCMasterMode(0);
    if (TRNComms) {
        TRNComms->SetOnTRNCommsProgressEvent(nullptr);
        TRNComms->SetOnTRNCommsStatusEvent(nullptr);
        TRNComms->CloseUSBConnection();
        TRNComms.reset();
        Log("Usb communications closed");
    }
    VeltraStatus = osNotFound;
}

void TVeltraCommsUtilityForm::CommsStatusEvent(void*, const std::string& Text) {
    FStatusText = Text;
    View.SetLabel3(Text);
    View.ProcessMessages();
}

void TVeltraCommsUtilityForm::SetProgressFraction(double Value, double Divisor) {
    // A job of unknown size shows no progress rather than failing on the division.
    if (Divisor <= 0) {
        View.SetProgress(0);
        return;
    }
    const double percent = std::nearbyint(Value / Divisor * 100);  // halves to the even neighbour
    View.SetProgress(int(std::clamp(percent, 0.0, 100.0)));
}

void TVeltraCommsUtilityForm::PicProgressEvent(void*, int32_t Value) {
    const bool erasing = FStatusText.find("Eras") != std::string::npos;
    const tWhichCPU cpu = TRNComms ? TRNComms->WhichCPU() : NoPic;
    double divisor;
    if (erasing) {
        divisor = cpu == DatabasePic    ? EraseWordsDatabasePic
                  : cpu == DosimeterPic ? EraseWordsDosimeter
                  : cpu == Dsp          ? EraseStepsDsp
                  : cpu == KeypadPic    ? EraseWordsKeypad
                                        : EraseWordsDefault;
    } else if (cpu == DosimeterPic || cpu == KeypadPic) {
        divisor = SubPicProgramWords;
    } else {
        divisor = TRNComms ? TRNComms->SizeOfCurrentHexFile() : 0;
    }
    SetProgressFraction(Value, divisor);
    View.ProcessMessages();
}

void TVeltraCommsUtilityForm::DatabaseProgressEvent(void*, int32_t Value) {
    if (FStatusText.find("FRAM") != std::string::npos)
        SetProgressFraction(Value, FramBlocks);
    else if (FStatusText.find("initialising") != std::string::npos)
        SetProgressFraction(Value, InitialisingSteps);
    else
        View.SetProgress(std::clamp(Value, 0, 100));
    View.ProcessMessages();
}
