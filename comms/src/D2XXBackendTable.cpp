#include <algorithm>
#include <cstring>

#include "D2XXBackend.h"

namespace {

tD2XXBackend* Active = nullptr;

// Longest text the list call writes into the caller's buffer, NUL included (FTDI's limit).
constexpr size_t ListTextLimit = 64;
// The string buffers that callers of FT_EE_Read provide hold at least this much.
constexpr size_t ProgramDataTextLimit = 64;

void CopyText(char* Target, const std::string& Text, size_t Limit) {
    if (!Target) return;
    const size_t n = std::min(Text.size(), Limit - 1);
    std::memcpy(Target, Text.data(), n);
    Target[n] = '\0';
}

std::string TextOf(const char* Text) { return Text ? std::string(Text) : std::string(); }

FT_STATUS ListDevices(void* Arg1, void* Arg2, DWORD Flags) {
    std::vector<tD2XXChannelInfo> channels;
    FT_STATUS status = Active->ListChannels(channels);
    if (status != FT_OK) return status;
    if (Flags & FT_LIST_NUMBER_ONLY) {
        if (!Arg1) return FT_INVALID_PARAMETER;
        *static_cast<DWORD*>(Arg1) = DWORD(channels.size());
        return FT_OK;
    }
    if (!(Flags & FT_LIST_BY_INDEX)) return FT_NOT_SUPPORTED;
    const size_t index = reinterpret_cast<uintptr_t>(Arg1);
    if (index >= channels.size()) return FT_DEVICE_NOT_FOUND;
    if (!Arg2) return FT_INVALID_PARAMETER;
    const auto& channel = channels[index];
    if (Flags & FT_OPEN_BY_LOCATION)
        *static_cast<DWORD*>(Arg2) = channel.LocationId;
    else if (Flags & FT_OPEN_BY_DESCRIPTION)
        CopyText(static_cast<char*>(Arg2), channel.Description, ListTextLimit);
    else
        CopyText(static_cast<char*>(Arg2), channel.SerialNumber, ListTextLimit);
    return FT_OK;
}

FT_STATUS Open(int Number, FT_HANDLE* Handle) {
    if (!Handle || Number < 0) return FT_INVALID_PARAMETER;
    return Active->OpenChannel(size_t(Number), Handle);
}

FT_STATUS OpenEx(void* Arg1, DWORD Flags, FT_HANDLE* Handle) {
    if (!Handle) return FT_INVALID_PARAMETER;
    std::vector<tD2XXChannelInfo> channels;
    FT_STATUS status = Active->ListChannels(channels);
    if (status != FT_OK) return status;
    for (size_t i = 0; i < channels.size(); ++i) {
        const auto& c = channels[i];
        const bool match = (Flags == FT_OPEN_BY_SERIAL_NUMBER && Arg1 && c.SerialNumber == static_cast<const char*>(Arg1)) ||
                           (Flags == FT_OPEN_BY_DESCRIPTION && Arg1 && c.Description == static_cast<const char*>(Arg1)) ||
                           (Flags == FT_OPEN_BY_LOCATION && c.LocationId == DWORD(reinterpret_cast<uintptr_t>(Arg1)));
        if (match) return Active->OpenChannel(i, Handle);
    }
    return FT_DEVICE_NOT_FOUND;
}

FT_STATUS Close(FT_HANDLE H) { return Active->Close(H); }
FT_STATUS Read(FT_HANDLE H, void* B, DWORD N, DWORD* R) {
    if (!B || !R) return FT_INVALID_PARAMETER;
    return Active->Read(H, static_cast<uint8_t*>(B), N, R);
}
FT_STATUS Write(FT_HANDLE H, void* B, DWORD N, DWORD* W) {
    if (!B || !W) return FT_INVALID_PARAMETER;
    return Active->Write(H, static_cast<const uint8_t*>(B), N, W);
}
FT_STATUS SetBaudRate(FT_HANDLE H, ULONG B) { return Active->SetBaudRate(H, B); }
FT_STATUS SetDataCharacteristics(FT_HANDLE H, UCHAR L, UCHAR S, UCHAR P) { return Active->SetDataCharacteristics(H, L, S, P); }
FT_STATUS Purge(FT_HANDLE H, ULONG M) { return Active->Purge(H, M); }
FT_STATUS SetTimeouts(FT_HANDLE H, ULONG R, ULONG W) { return Active->SetTimeouts(H, R, W); }
FT_STATUS GetQueueStatus(FT_HANDLE H, DWORD* N) {
    if (!N) return FT_INVALID_PARAMETER;
    return Active->GetQueueStatus(H, N);
}
FT_STATUS SetLatencyTimer(FT_HANDLE H, UCHAR Ms) { return Active->SetLatencyTimer(H, Ms); }
FT_STATUS SetBitMode(FT_HANDLE H, UCHAR Mask, UCHAR Mode) { return Active->SetBitMode(H, Mask, Mode); }
FT_STATUS ResetPort(FT_HANDLE H) { return Active->ResetPort(H); }
FT_STATUS CyclePort(FT_HANDLE H) { return Active->CyclePort(H); }

FT_STATUS ReadImage(FT_HANDLE H, tFtdiEepromImage& Image, tFtdiEepromSettings& Settings) {
    FT_STATUS status = Active->ReadEeprom(H, Image);
    if (status != FT_OK) return status;
    return Image.Decode(Settings) ? FT_OK : FT_EEPROM_NOT_PROGRAMMED;
}

// Writes New over Old and reads it back: an EEPROM write counts only when every byte is there.
FT_STATUS CommitImage(FT_HANDLE H, const tFtdiEepromImage& Old, const tFtdiEepromImage& New) {
    if (Old.Bytes == New.Bytes) return FT_OK;
    FT_STATUS status = Active->WriteEeprom(H, Old, New);
    if (status != FT_OK) return status;
    tFtdiEepromImage check;
    status = Active->ReadEeprom(H, check);
    if (status != FT_OK) return status;
    return check.Bytes == New.Bytes ? FT_OK : FT_EEPROM_WRITE_FAILED;
}

FT_STATUS EERead(FT_HANDLE H, FT_PROGRAM_DATA* Data) {
    if (!Data) return FT_INVALID_PARAMETER;
    tFtdiEepromImage image;
    tFtdiEepromSettings settings;
    FT_STATUS status = ReadImage(H, image, settings);
    if (status != FT_OK) return status;
    SettingsToProgramData(settings, *Data);
    return FT_OK;
}

FT_STATUS EEProgram(FT_HANDLE H, FT_PROGRAM_DATA* Data) {
    if (!Data) return FT_INVALID_PARAMETER;
    tFtdiEepromImage image;
    FT_STATUS status = Active->ReadEeprom(H, image);
    if (status != FT_OK) return status;
    tFtdiEepromSettings settings;
    if (!image.Decode(settings)) settings = tFtdiEepromSettings{};
    ProgramDataToSettings(*Data, settings);
    // A chip without its serial number could no longer be recognised as an instrument.
    if (settings.SerialNumber.empty()) return FT_INVALID_ARGS;
    tFtdiEepromImage changed = image;
    if (!changed.Encode(settings)) return FT_EEPROM_WRITE_FAILED;
    return CommitImage(H, image, changed);
}

FT_STATUS EEUASize(FT_HANDLE H, DWORD* Size) {
    if (!Size) return FT_INVALID_PARAMETER;
    tFtdiEepromImage image;
    tFtdiEepromSettings settings;
    FT_STATUS status = ReadImage(H, image, settings);
    if (status != FT_OK) return status;
    *Size = DWORD(image.UserAreaSize());
    return FT_OK;
}

FT_STATUS EEUARead(FT_HANDLE H, UCHAR* Data, DWORD Length, DWORD* BytesRead) {
    if (!Data || !BytesRead) return FT_INVALID_PARAMETER;
    tFtdiEepromImage image;
    tFtdiEepromSettings settings;
    FT_STATUS status = ReadImage(H, image, settings);
    if (status != FT_OK) return status;
    const auto area = image.UserArea();
    const size_t n = std::min<size_t>(Length, area.size());
    std::copy_n(area.begin(), n, Data);
    *BytesRead = DWORD(n);
    return FT_OK;
}

FT_STATUS EEUAWrite(FT_HANDLE H, UCHAR* Data, DWORD Length) {
    if (!Data) return FT_INVALID_PARAMETER;
    tFtdiEepromImage image;
    tFtdiEepromSettings settings;
    FT_STATUS status = ReadImage(H, image, settings);
    if (status != FT_OK) return status;
    tFtdiEepromImage changed = image;
    if (!changed.WriteUserArea(std::vector<uint8_t>(Data, Data + Length))) return FT_INVALID_PARAMETER;
    return CommitImage(H, image, changed);
}

}  // namespace

void FillEntryPoints(tD2XXEntryPoints& T, tD2XXBackend* Backend) {
    Active = Backend;
    T = tD2XXEntryPoints{};
    if (!Backend) return;
    T.FT_Open = Open;
    T.FT_Close = Close;
    T.FT_Read = Read;
    T.FT_Write = Write;
    T.FT_SetBaudRate = SetBaudRate;
    T.FT_SetDataCharacteristics = SetDataCharacteristics;
    T.FT_Purge = Purge;
    T.FT_SetTimeouts = SetTimeouts;
    T.FT_GetQueueStatus = GetQueueStatus;
    T.FT_ListDevices = ListDevices;
    T.FT_OpenEx = OpenEx;
    T.FT_SetLatencyTimer = SetLatencyTimer;
    T.FT_SetBitMode = SetBitMode;
    T.FT_EE_Read = EERead;
    T.FT_EE_Program = EEProgram;
    T.FT_EE_UASize = EEUASize;
    T.FT_EE_UAWrite = EEUAWrite;
    T.FT_EE_UARead = EEUARead;
    T.FT_ResetPort = ResetPort;
    T.FT_CyclePort = CyclePort;
}

void SettingsToProgramData(const tFtdiEepromSettings& S, FT_PROGRAM_DATA& D) {
    // The caller's four string pointers stay; everything else is filled.
    char* manufacturer = D.Manufacturer;
    char* manufacturerId = D.ManufacturerId;
    char* description = D.Description;
    char* serial = D.SerialNumber;
    const DWORD signature1 = D.Signature1, signature2 = D.Signature2;
    std::memset(&D, 0, sizeof D);
    D.Signature1 = signature1;
    D.Signature2 = signature2;
    D.Version = 1;  // FT2232
    D.Manufacturer = manufacturer;
    D.ManufacturerId = manufacturerId;
    D.Description = description;
    D.SerialNumber = serial;
    CopyText(manufacturer, S.Manufacturer, ProgramDataTextLimit);
    CopyText(manufacturerId, S.SerialNumber.substr(0, 2), ProgramDataTextLimit);
    CopyText(description, S.Description, ProgramDataTextLimit);
    CopyText(serial, S.SerialNumber, ProgramDataTextLimit);
    D.VendorId = S.VendorId;
    D.ProductId = S.ProductId;
    D.MaxPower = S.MaxPowerMa;
    D.PnP = 1;
    D.SelfPowered = S.SelfPowered;
    D.RemoteWakeup = S.RemoteWakeup;
    D.Rev5 = 1;
    D.PullDownEnable5 = S.PullDownEnable;
    D.SerNumEnable5 = S.SerNumEnable;
    D.USBVersionEnable5 = S.USBVersionEnable;
    D.USBVersion5 = S.USBVersion;
    D.AIsHighCurrent = S.AIsHighCurrent;
    D.BIsHighCurrent = S.BIsHighCurrent;
    D.IFAIsFifo = S.ChannelAType == 1;
    D.IFAIsFifoTar = S.ChannelAType == 2;
    D.IFAIsFastSer = S.ChannelAType == 4;
    D.AIsVCP = S.AIsVCP;
    D.IFBIsFifo = S.ChannelBType == 1;
    D.IFBIsFifoTar = S.ChannelBType == 2;
    D.IFBIsFastSer = S.ChannelBType == 4;
    D.BIsVCP = S.BIsVCP;
}

void ProgramDataToSettings(const FT_PROGRAM_DATA& D, tFtdiEepromSettings& S) {
    auto type = [](UCHAR fifo, UCHAR fifoTar, UCHAR fastSer) -> uint8_t {
        return fifo ? 1 : fifoTar ? 2 : fastSer ? 4 : 0;
    };
    S.VendorId = D.VendorId;
    S.ProductId = D.ProductId;
    S.MaxPowerMa = D.MaxPower;
    S.SelfPowered = D.SelfPowered;
    S.RemoteWakeup = D.RemoteWakeup;
    S.PullDownEnable = D.PullDownEnable5;
    S.SerNumEnable = D.SerNumEnable5;
    S.USBVersionEnable = D.USBVersionEnable5;
    S.USBVersion = D.USBVersion5;
    S.AIsHighCurrent = D.AIsHighCurrent;
    S.BIsHighCurrent = D.BIsHighCurrent;
    S.ChannelAType = type(D.IFAIsFifo, D.IFAIsFifoTar, D.IFAIsFastSer);
    S.ChannelBType = type(D.IFBIsFifo, D.IFBIsFifoTar, D.IFBIsFastSer);
    S.AIsVCP = D.AIsVCP;
    S.BIsVCP = D.BIsVCP;
    S.Manufacturer = TextOf(D.Manufacturer);
    S.Description = TextOf(D.Description);
    S.SerialNumber = TextOf(D.SerialNumber);
}
