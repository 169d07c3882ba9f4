// Finding instruments among the FTDI channels, and turning the difference between two polls into
// "instrument added" and "instrument removed".
#include "BrammUtils.h"
#include "D2XXUnit.h"
#include "VeltraCommsUtilityForm.h"

namespace {
constexpr int LaterPollMs = 100;
// The chip serial numbers of the two instruments; the channel letter follows as ninth character.
constexpr const char* ProductTexts[] = {"MIRA-ONE", "VELTRA-P"};
constexpr size_t ProductTextLength = 8;
constexpr uint32_t ChannelBits = 3;
constexpr const char* NoDriverMessage =
    "No USB driver for the Veltra could be loaded. Install libftdi1 (Debian package libftdi1-2) or FTDI's D2XX "
    "driver (libftd2xx.so), then restart the utility.";
constexpr const char* AccessDeniedMessage =
    "A Veltra seems to be plugged in, but this user is not allowed to open it. Install the utility's udev rule "
    "(copy packaging/99-veltra.rules to /etc/udev/rules.d/ and run 'udevadm control --reload-rules' as root), "
    "then unplug and replug the Veltra.";

bool IsProduct(const std::string& Prefix) {
    for (const char* text : ProductTexts)
        if (Prefix == text) return true;
    return false;
}
}  // namespace

void TVeltraCommsUtilityForm::Timer1Timer() {
    View.StopPollTimer();
    if (!USBDriverLoaded()) {
        ReportMissingDriverOnce();
        return;
    }
    try {
        CurrentConnectionList.Clear();
        ShowUSBErrors = false;
        if (GetFTDeviceCount(0, 0) != FT_OK) {
            MessageBox(tMessageKind::Error, ConnectionProblemMessage);
            return;
        }
        for (DWORD n = 0; n < USBDeviceCount; ++n) {
            if (GetFTDeviceSerialNo(n) != FT_OK) continue;
            const std::string name = AnsiBufferToString(reinterpret_cast<const uint8_t*>(USBNameBuffer), USBNameBufferSize);
            const std::string prefix = TrimText(name.substr(0, ProductTextLength));
            const std::string full = TrimText(name);
            if (!IsProduct(prefix)) continue;
            if (GetFTDeviceLocation(n) != FT_OK) continue;
            const uint32_t location = USBLocationValue & ~ChannelBits;
            int entry = CurrentConnectionList.Find(location);
            if (entry == 0) {
                entry = CurrentConnectionList.Count() + 1;
                CurrentConnectionList.SetLocation(entry, location);
                CurrentConnectionList.SetName(entry, prefix);
            }
            if (full.size() > ProductTextLength && full[ProductTextLength] == 'A')
                CurrentConnectionList.SetPortAIndex(entry, int32_t(n));
            if (full.size() > ProductTextLength && full[ProductTextLength] == 'B')
                CurrentConnectionList.SetPortBIndex(entry, int32_t(n));
        }
        if (CurrentConnectionList.ValidCount() > PreviousConnectionList.ValidCount())
            View.PostDeviceAdded();
        else
            View.PostDeviceRemoved();
    } catch (...) {
    }
    ReportAccessProblemOnce();
}

void TVeltraCommsUtilityForm::WMDeviceChange(int EventCode) {
    View.StopPollTimer();
    if (EventCode == DBT_DEVNODESCHANGED) View.StartPollTimer(LaterPollMs);
}

void TVeltraCommsUtilityForm::CopyCurrentToPreviousList() {
    PreviousConnectionList.Clear();
    const int count = CurrentConnectionList.Count();
    for (int i = 1; i <= count; ++i) {
        PreviousConnectionList.SetLocation(i, CurrentConnectionList.GetLocation(i));
        PreviousConnectionList.SetName(i, CurrentConnectionList.GetName(i));
        PreviousConnectionList.SetPortAIndex(i, CurrentConnectionList.GetPortAIndex(i));
        PreviousConnectionList.SetPortBIndex(i, CurrentConnectionList.GetPortBIndex(i));
    }
}

void TVeltraCommsUtilityForm::DismissAll(std::initializer_list<const char*> Titles) {
    for (const char* title : Titles) View.DismissMessageBoxes(title);
}

void TVeltraCommsUtilityForm::WMDeviceAdded() {
    ThisDeviceIndex = 0;
    if (CurrentConnectionList.ValidCount() > PreviousConnectionList.ValidCount()) {
        const int valid = CurrentConnectionList.ValidCount();
        for (int i = 1; i <= valid; ++i) {
            LocationOfCurrentConnection = CurrentConnectionList.GetLocation(i);
            if (PreviousConnectionList.Find(LocationOfCurrentConnection) == 0) ThisDeviceIndex = i;
        }
    }
    CopyCurrentToPreviousList();
    if (ThisDeviceIndex == 0) return;

    UnplugEvent = false;
    DismissAll({"Confirm", "Error", "Information"});
    Log("Veltra connected");
    View.SetLabel1("Veltra Connected. Please press the Start button below.");
    View.SetProgress(0);
    View.SetLabel3("");
    View.ProcessMessages();
    ProcessBusy = false;
    EnableButtons();
}

void TVeltraCommsUtilityForm::WMDeviceRemoved() {
    if (CurrentConnectionList.ValidCount() >= PreviousConnectionList.ValidCount()) return;
    CopyCurrentToPreviousList();
    if (LocationOfCurrentConnection == 0 || CurrentConnectionList.Find(LocationOfCurrentConnection) > 0) return;

    UnplugEvent = true;
    DismissAll({"Confirm", "Information"});
    Log("Veltra disconnected");
    View.SetLabel1("Veltra Disconnected.");
    View.SetProgress(0);
    View.SetLabel3("");
    View.ProcessMessages();
    DisableButtons();
}

void TVeltraCommsUtilityForm::ReportMissingDriverOnce() {
    if (FDriverProblemReported) return;
    FDriverProblemReported = true;
    Log("No USB driver could be loaded");
    MessageBox(tMessageKind::Error, NoDriverMessage);
}

void TVeltraCommsUtilityForm::ReportAccessProblemOnce() {
    if (FAccessProblemReported || !USBAccessDenied()) return;
    FAccessProblemReported = true;
    Log("USB device found but access was denied");
    MessageBox(tMessageKind::Error, AccessDeniedMessage);
}
