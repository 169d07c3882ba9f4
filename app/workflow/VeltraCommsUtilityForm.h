// The main window's logic: start-up, device discovery, connecting to the instrument, its status
// and progress events, and the update run. It reaches the screen only through tVeltraView.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <string>

#include "ConnectionListClassUnit.h"
#include "DebugControlsUnit.h"
#include "TRNCommsUnit.h"
#include "VeltraView.h"

enum tVeltraStatus { osFullyWorking, osProgrammed, osUnProgrammed, osPowerOff, osNotFound, osConnectionRefused };

// An update run or a database download is in progress.
extern bool ProcessBusy;

// Thrown by a step of the update run to end the run at once; the end-of-run steps follow.
struct EEndRun {};

// What the update run reads from the instrument at its start, for every stage.
struct tUpdateRunValues {
    std::string Gsn, PcbId;
    std::string Project, MainPic, GraphicsPic, GraphicsFram, DatabasePic, DosePic, Dsp, KeypadPic;
};

class TVeltraCommsUtilityForm {
public:
    explicit TVeltraCommsUtilityForm(tVeltraView& View);
    ~TVeltraCommsUtilityForm();

    // Start-up: the poll timer, the log file in LogFolder (named from StartTime), the fields and
    // the first text. ApplicationDir is the program's folder.
    void FormCreate(const std::string& ApplicationDirectory, const std::string& LogFolder, std::time_t StartTime);

    // Device discovery.
    void Timer1Timer();
    static constexpr int DBT_DEVNODESCHANGED = 7;
    void WMDeviceChange(int EventCode);
    void WMDeviceAdded();
    void WMDeviceRemoved();

    // Connection.
    void OpenDeviceConnection(int32_t PortAIndex, int32_t PortBIndex, const std::string& Name, uint32_t Location,
                              bool SkipRecoveryCheck);
    void CloseDeviceConnection();
    void CommsStatusEvent(void* Sender, const std::string& Text);
    void PicProgressEvent(void* Sender, int32_t Value);
    void DatabaseProgressEvent(void* Sender, int32_t Value);

    // Buttons and the update run.
    void AdvGlowButton2Click();
    void AdvGlowButton1Click();
    void RunUpdateProcess();
    void DisableButtons();
    void EnableButtons();
    void WaitWithElapsedTime(int Seconds, const std::string& Prefix);

    // Steps that later work fills in; each is empty until then.
    // The recovery check of a failed update; by default it finds no record.
    std::function<void(bool NoSignOn)> CheckPreviousUpdateFailure;
    std::function<void(tUpdateRunValues&)> Stage2, Stage3, Stage4, Stage5;
    std::function<void()> DownloadFiles;

    // Message boxes of the program: once the window has been asked to close they return Cancel at once.
    tMessageAnswer MessageBox(tMessageKind Kind, const std::string& Text, tMessageButtons Buttons = tMessageButtons::Ok);
    // Asks the main window to close: it does once the running operation has returned.
    void RequestClose();
    bool CloseRequested() const { return FCloseRequested; }
    void Log(const std::string& Text) { FDebugControls->Output(Text); }
    // Label1 := Text, pump, then sleep Ms without pumping.
    void Show(const std::string& Text, uint32_t Ms);

    const std::string& LogFileName() const { return FDebugControls->FDebugLogFilename; }
    bool RunInProgress() const { return FRunInProgress; }

    TConnectionList CurrentConnectionList;
    TConnectionList PreviousConnectionList;
    uint32_t LocationOfCurrentConnection = 0;
    std::unique_ptr<tTRNComms> TRNComms;
    int32_t ThisDeviceIndex = 0;
    std::string FStatusText;
    bool UnplugEvent = false;
    tVeltraStatus VeltraStatus = osNotFound;
    std::string ApplicationDir;
    std::string ChosenDir;
    bool FUploadingVelFiles = false;
    std::unique_ptr<tDebugControls> FDebugControls;

private:
    void CopyCurrentToPreviousList();
    void DismissAll(std::initializer_list<const char*> Titles);
    void DefaultRecoveryCheck(bool NoSignOn);
    void RunMainBlock(tUpdateRunValues& Values);
    void RunStage1();
    void EndOfRun();
    // Closes the window when an operation that asked for it has returned to the message loop.
    void CloseIfRequested();
    void SetProgressFraction(double Value, double Divisor);
    void ReportAccessProblemOnce();
    void ReportMissingDriverOnce();

    tVeltraView& View;
    bool FCloseRequested = false;
    bool FRunInProgress = false;
    bool FAccessProblemReported = false;
    bool FDriverProblemReported = false;
};

// Message texts the operator sees; several Parts of the program share them.
extern const char* const ConnectionProblemMessage;
