#include "D2XXUnit.h"

#include <cstdio>
#include <cstring>

#include "Clock.h"
#include "D2XXBackend.h"

void* USBLibraryHandle = nullptr;
tUSBDriverKind USBDriverKind = tUSBDriverKind::None;
bool USBSupportedByOS = false;
tD2XXEntryPoints USBEntryPoints;
FT_HANDLE USBDeviceHandle = nullptr;
uint8_t USBInBuffer[USBInBufferSize];
uint8_t USBOutBuffer[USBOutBufferSize];
DWORD USBDeviceCount = 0;
char USBNameBuffer[USBNameBufferSize];
std::string USBNameString;
DWORD USBLocationValue = 0;
DWORD USBRxQueueBytes = 0;
DWORD USBBaudRate = 0;
UCHAR USBWordLength = 0, USBStopBits = 0, USBParity = 0;
tUSBProgramData USBProgramData;
uint8_t USBUserAreaBuffer[USBUserAreaBufferSize];
DWORD USBUserAreaSize = 0;
bool ShowUSBErrors = true;
std::function<void(const std::string&)> USBErrorMessageHook;

namespace {

// Texts of the FT_STATUS values, appended to the label of the failing call.
const char* const StatusTexts[] = {
    "",
    " - Invalid Handle...",
    " - Device Not Found....",
    " - Device Not Opened...",
    " - General IO Error...",
    " - Insufficient Resources...",
    " - Invalid Parameter ...",
    " - Invalid baud rate ...",
    " Device not opened for erase  ...",
    " Device not opened for write ...",
    " - Failed to write ...",
    " - EEPROM read Failed ...",
    " - EEPROM write failed ...",
    " - EEPROM erase failed ...",
    " - EEPROM not present ...",
    " - EEPROM not programmed ...",
    " - invalid Arguments ...",
    " - not supported ...",
    " - other error  ...",
};

constexpr const char* NoOSSupportMessage =
    "USB driver could not be found. No operating system support for USB in Win95 and NT4.";
constexpr const char* NoLibraryMessage =
    "USB driver library could not be found. Suggest re-install, or check that libftdi1 (or FTDI's libftd2xx.so) "
    "is installed.";

void GuardOpen() {
    if (!USBSupportedByOS) throw EUSBDriverError(NoOSSupportMessage);
    if (!USBDriverLoaded()) throw EUSBDriverError(NoLibraryMessage);
}

// A wrapper's status when the driver lacks the entry point: the call cannot be made.
constexpr FT_STATUS MissingEntryPoint = FT_NOT_SUPPORTED;

FT_STATUS Reported(const char* Label, FT_STATUS Status) {
    Report_USB_Driver_Error(Label, Status);
    return Status;
}

FT_STATUS ListByIndex(DWORD Index, DWORD Flags, const char* Label) {
    if (!USBEntryPoints.FT_ListDevices) return Reported(Label, MissingEntryPoint);
    std::memset(USBNameBuffer, 0, sizeof USBNameBuffer);
    // Drivers may write up to 64 bytes of text; the layer keeps the first 49.
    char text[USBProgramDataTextSize + 1] = {};
    FT_STATUS status = USBEntryPoints.FT_ListDevices(reinterpret_cast<void*>(uintptr_t(Index)), text, Flags);
    if (status == FT_OK) {
        std::memcpy(USBNameBuffer, text, USBNameBufferSize);
        USBNameBuffer[USBNameBufferSize - 1] = '\0';
        USBNameString = USBNameBuffer;
    }
    return Reported(Label, status);
}

void StoreName(const std::u16string& Name) {
    std::memset(USBNameBuffer, 0, sizeof USBNameBuffer);
    for (size_t i = 0; i < Name.size() && i < USBNameBufferSize - 1; ++i) USBNameBuffer[i] = char(Name[i] & 0xFF);
}

}  // namespace

namespace {
tD2XXBackend* InstalledBackend = nullptr;
}

bool USBAccessDenied() { return InstalledBackend && InstalledBackend->AccessDenied(); }

bool USBDriverLoaded() { return USBLibraryHandle != nullptr && USBDriverKind != tUSBDriverKind::None; }

const char* USBDriverName() {
    switch (USBDriverKind) {
        case tUSBDriverKind::VendorLibrary: return "libftd2xx";
        case tUSBDriverKind::LibFtdi: return "libftdi1";
        case tUSBDriverKind::Simulated: return "simulated instrument";
        case tUSBDriverKind::None: break;
    }
    return "none";
}

void Load_USB_Driver_Library() {
    // Every Linux system this builds on has USB support.
    USBSupportedByOS = true;
    if (Load_Vendor_USB_Driver_Library()) return;
    Load_LibFtdi_USB_Driver();
}

void Load_Backend_USB_Driver(tD2XXBackend* Backend, tUSBDriverKind Kind) {
    Unload_USB_Driver_Library();
    USBSupportedByOS = true;
    Install_Backend_Entry_Points(Backend, Kind);
}

void Install_Backend_Entry_Points(tD2XXBackend* Backend, tUSBDriverKind Kind) {
    FillEntryPoints(USBEntryPoints, Backend);
    InstalledBackend = Backend;
    if (!Backend) return;
    static int backendHandle;
    USBLibraryHandle = &backendHandle;
    USBDriverKind = Kind;
}

std::string USBStatusText(FT_STATUS Status) {
    if (Status < std::size(StatusTexts)) return StatusTexts[Status];
    return " - unknown error (" + std::to_string(Status) + ") ...";
}

void Report_USB_Driver_Error(const std::string& Label, FT_STATUS Status) {
    if (!ShowUSBErrors || Status == FT_OK) return;
    const std::string message = Label + USBStatusText(Status);
    if (USBErrorMessageHook)
        USBErrorMessageHook(message);
    else
        std::fprintf(stderr, "%s\n", message.c_str());
}

FT_STATUS GetFTDeviceCount(uint8_t MinCount, uint8_t WaitSecs) {
    if (!USBEntryPoints.FT_ListDevices) return Reported("GetFTDeviceCount", MissingEntryPoint);
    const uint64_t start = Clock().NowMs();
    FT_STATUS status;
    for (;;) {
        DWORD count = 0;
        status = USBEntryPoints.FT_ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY);
        if (status == FT_OK) USBDeviceCount = count;
        Clock().SleepMs(10);
        if (USBDeviceCount >= MinCount || Clock().NowMs() - start > uint64_t(WaitSecs) * 1000) break;
    }
    return Reported("GetFTDeviceCount", status);
}

FT_STATUS GetFTDeviceSerialNo(DWORD Index) {
    return ListByIndex(Index, FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER, "GetFTDeviceSerialNo");
}

FT_STATUS GetFTDeviceDescription(DWORD Index) {
    return ListByIndex(Index, FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION, "GetFTDeviceDescription");
}

FT_STATUS GetFTDeviceLocation(DWORD Index) {
    if (!USBEntryPoints.FT_ListDevices) return Reported("GetFTDeviceLocation", MissingEntryPoint);
    uint64_t location = 0;  // drivers differ in how wide they write it; the low 32 bits are the id
    FT_STATUS status = USBEntryPoints.FT_ListDevices(reinterpret_cast<void*>(uintptr_t(Index)), &location,
                                                     FT_LIST_BY_INDEX | FT_OPEN_BY_LOCATION);
    if (status == FT_OK) USBLocationValue = DWORD(location);
    return Reported("GetFTDeviceLocation", status);
}

FT_STATUS Open_USB_Device_By_Serial_Number(const std::u16string& Serial) {
    GuardOpen();
    StoreName(Serial);
    if (!USBEntryPoints.FT_OpenEx) return Reported("Open_USB_Device_By_Serial_Number", MissingEntryPoint);
    return Reported("Open_USB_Device_By_Serial_Number",
                    USBEntryPoints.FT_OpenEx(USBNameBuffer, FT_OPEN_BY_SERIAL_NUMBER, &USBDeviceHandle));
}

FT_STATUS Open_USB_Device_By_Serial_Number(const std::string& Serial) {
    std::u16string wide;
    for (unsigned char c : Serial) wide.push_back(char16_t(c));
    return Open_USB_Device_By_Serial_Number(wide);
}

FT_STATUS Open_USB_Device_By_Location(DWORD Location) {
    GuardOpen();
    if (!USBEntryPoints.FT_OpenEx) return Reported("Open_USB_Device_By_Location", MissingEntryPoint);
    return Reported("Open_USB_Device_By_Location",
                    USBEntryPoints.FT_OpenEx(reinterpret_cast<void*>(uintptr_t(Location)), FT_OPEN_BY_LOCATION,
                                             &USBDeviceHandle));
}

FT_STATUS Open_USB_Device_By_Index(DWORD Index) {
    GuardOpen();
    if (!USBEntryPoints.FT_Open) return Reported("FT_Open", MissingEntryPoint);
    return Reported("FT_Open", USBEntryPoints.FT_Open(int(Index), &USBDeviceHandle));
}

FT_STATUS Close_Current_USB_Device() {
    FT_STATUS status = MissingEntryPoint;
    try {
        if (USBEntryPoints.FT_Close) status = USBEntryPoints.FT_Close(USBDeviceHandle);
    } catch (...) {
        status = FT_OTHER_ERROR;
    }
    USBDeviceHandle = nullptr;
    return Reported("FT_Close", status);
}

#define D2XX_CALL(Label, Entry, ...) \
    (USBEntryPoints.Entry ? Reported(Label, USBEntryPoints.Entry(USBDeviceHandle, __VA_ARGS__)) \
                          : Reported(Label, MissingEntryPoint))

FT_STATUS Flush_USB_Receive_Queue() { return D2XX_CALL("FT_Purge RX", FT_Purge, FT_PURGE_RX); }
FT_STATUS Flush_USB_Transmit_Queue() { return D2XX_CALL("FT_Purge TX", FT_Purge, FT_PURGE_TX); }
FT_STATUS Apply_USB_Baud_Rate() { return D2XX_CALL("FT_SetBaudRate", FT_SetBaudRate, USBBaudRate); }
FT_STATUS Apply_USB_Data_Characteristics() {
    return D2XX_CALL("FT_SetDataCharacteristics", FT_SetDataCharacteristics, USBWordLength, USBStopBits, USBParity);
}
FT_STATUS Apply_USB_Timeouts(ULONG ReadMs, ULONG WriteMs) {
    return D2XX_CALL("FT_SetTimeouts", FT_SetTimeouts, ReadMs, WriteMs);
}
FT_STATUS Query_USB_Receive_Queue() {
    DWORD queued = 0;
    FT_STATUS status = D2XX_CALL("FT_GetQueueStatus", FT_GetQueueStatus, &queued);
    if (status == FT_OK) USBRxQueueBytes = queued;
    return status;
}
FT_STATUS Apply_USB_Latency_Timer(UCHAR Ms) { return D2XX_CALL("FT_SetLatencyTimer", FT_SetLatencyTimer, Ms); }

FT_STATUS Apply_USB_Bit_Mode(UCHAR Mask, UCHAR Mode) {
    if (!USBEntryPoints.FT_SetBitMode) return MissingEntryPoint;
    return USBEntryPoints.FT_SetBitMode(USBDeviceHandle, Mask, Mode);
}

DWORD Send_USB_Out_Buffer(DWORD Count) {
    if (Count > USBOutBufferSize) {
        Report_USB_Driver_Error("FT_Write", FT_INVALID_PARAMETER);
        return 0;
    }
    DWORD written = 0;
    if (D2XX_CALL("FT_Write", FT_Write, USBOutBuffer, Count, &written) != FT_OK) return 0;
    return written;
}

DWORD Fetch_USB_In_Buffer(DWORD Count) {
    if (Count > USBInBufferSize) Count = USBInBufferSize;
    DWORD read = 0;
    if (D2XX_CALL("FT_Read", FT_Read, USBInBuffer, Count, &read) != FT_OK) return 0;
    return read > Count ? Count : read;
}

FT_STATUS Reset_Current_USB_Port() {
    if (!USBEntryPoints.FT_ResetPort) return Reported("FT_ResetPort ", MissingEntryPoint);
    return Reported("FT_ResetPort ", USBEntryPoints.FT_ResetPort(USBDeviceHandle));
}

FT_STATUS Cycle_Current_USB_Port() {
    if (!USBEntryPoints.FT_CyclePort) return Reported("FT_CyclePort ", MissingEntryPoint);
    return Reported("FT_CyclePort ", USBEntryPoints.FT_CyclePort(USBDeviceHandle));
}

FT_STATUS Read_USB_Chip_EEPROM() {
    std::memset(&USBProgramData, 0, sizeof USBProgramData);
    FT_PROGRAM_DATA& d = USBProgramData.Data;
    d.Signature1 = 0x00000000;
    d.Signature2 = 0xFFFFFFFF;
    d.Version = 1;
    d.Manufacturer = USBProgramData.Manufacturer;
    d.ManufacturerId = USBProgramData.ManufacturerId;
    d.Description = USBProgramData.Description;
    d.SerialNumber = USBProgramData.SerialNumber;
    return D2XX_CALL("FT_C_EE_Read ", FT_EE_Read, &d);
}

FT_STATUS Program_USB_Chip_EEPROM() { return D2XX_CALL("FT_EE_Program ", FT_EE_Program, &USBProgramData.Data); }

FT_STATUS Query_USB_User_Area_Size() {
    DWORD size = 0;
    FT_STATUS status = D2XX_CALL("FT_EE_UASize ", FT_EE_UASize, &size);
    if (status == FT_OK) USBUserAreaSize = size;
    return status;
}

FT_STATUS Write_USB_User_Area() {
    // The buffer holds 64 bytes: a larger reported area is written only as far as the buffer goes.
    const DWORD count = USBUserAreaSize > USBUserAreaBufferSize ? DWORD(USBUserAreaBufferSize) : USBUserAreaSize;
    return D2XX_CALL("FT_EE_UAWrite ", FT_EE_UAWrite, USBUserAreaBuffer, count);
}

FT_STATUS Read_USB_User_Area() {
    DWORD read = 0;
    FT_STATUS status = D2XX_CALL("FT_EE_UARead ", FT_EE_UARead, USBUserAreaBuffer, DWORD(USBUserAreaBufferSize), &read);
    if (status == FT_OK) USBUserAreaSize = read;
    return status;
}
