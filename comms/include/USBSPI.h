// Channel A of the instrument's FT2232 as an in-circuit serial programmer for its PICs: MPSSE
// commands queued in the D2XX layer's transmit buffer bit-bang PGC, PGD and each PIC's MCLR and
// PGM lines. The byte stream is the contract with the hardware.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "D2XXTypes.h"

enum tPicType : uint8_t { PIC16f877, PIC16f877a, DLP16f877a, PIC18f8722, PIC18f4620, PIC18f2420, PIC18f4321 };

using TOnProgressEvent = std::function<void(void* Sender, int32_t NumWords)>;
using TOnStatusEvent = std::function<void(void* Sender, const std::string& Status)>;

// The message box of the PIC16 write verification; standard error until the window sets it.
extern std::function<void(const std::string& Message)> USBSPIMessageHook;

// Pins of the selected PIC, shared by every programmer object.
extern uint16_t CurrentMclrPinMask;
extern uint16_t CurrentProgPinMask;

class tUSBSPIcomms {
public:
    tUSBSPIcomms();

    void SetPicControlPins(uint16_t MClrPinMask, uint16_t ProgPinMask, uint16_t AllIOMask, uint16_t AllIOStaticState);
    void SetPicType(tPicType Value);
    tPicType PicType() const { return FPicType; }

    [[nodiscard]] bool InitUSBdeviceToSPImode(const std::string& DName, int32_t DeviceIndex);
    void ClosePort();
    void ApplyResetPulse();
    void SetOutputWord(uint16_t data, uint16_t mask);
    void ListDevices(std::vector<std::string>& N, int32_t ld_Desc_Num_Location);

    // Memory operations on the selected PIC.
    void BulkErase(bool CodeProtected, int32_t TopAddress);
    void WriteProgramData(std::span<const uint16_t> Data, int32_t Count);
    void ReadProgramData(std::span<uint16_t> Data, int32_t Count);
    void WriteConfigurationData(std::span<const uint16_t> Data, int32_t Count);
    void ReadConfigurationData(std::span<uint16_t> Data);
    // False after a read that gave up waiting for the chip (its words then stay as they were).
    bool LastReadComplete() const { return FLastReadComplete; }

    const TOnProgressEvent& OnProgressEvent() const { return FOnProgressEvent; }
    void SetOnProgressEvent(TOnProgressEvent E) { FOnProgressEvent = std::move(E); }
    const TOnStatusEvent& OnStatusEvent() const { return FOnStatusEvent; }
    void SetOnStatusEvent(TOnStatusEvent E) { FOnStatusEvent = std::move(E); }

    const std::string& ApplicationDirectory() const { return FApplicationDirectory; }
    void SetApplicationDirectory(const std::string& V) { FApplicationDirectory = V; }
    bool DebugLogToFile() const { return FDebugLogToFile; }
    void SetDebugLogToFile(bool V) { FDebugLogToFile = V; }
    const std::string& DebugLogFileName() const { return FDebugLogFileName; }
    void SetDebugLogFileName(const std::string& V) { FDebugLogFileName = V; }

    bool PortAIsOpen = false;
    int32_t OutIndex = 0;

private:
    std::vector<std::string> FDeviceDescriptions;
    std::vector<std::string> FDeviceSerialNums;
    std::vector<std::string> FDeviceLocations;
    int32_t FDeviceCount = 0;
    TOnProgressEvent FOnProgressEvent;
    TOnStatusEvent FOnStatusEvent;
    tPicType FPicType = PIC16f877a;

public:
    uint16_t MclrPicRun = 0;
    uint16_t MclrPicReset = 0;
    uint16_t TotalIOMask = 0;
    uint16_t TotalIOStaticState = 0;

private:
    std::string FApplicationDirectory;
    bool FDebugLogToFile = false;
    std::string FDebugLogFileName;

    bool FLastReadComplete = true;

    void QueueByte(uint8_t b);
    void FlushOutput();
    void QueueSetPins(uint16_t V);
    void QueueSetLowPins(uint16_t V, uint16_t Mask);
    void QueueReadTwoBytes();
    uint16_t R() const;
    void SendCommandBits(uint16_t value, int bits, bool releaseData, bool flush);
    void SendDataBytes(const uint8_t* bytes, int n, bool flush);
    void SendDataWord(uint16_t w, bool flush);
    void SendPic18Command(uint8_t cmd, uint16_t payload, bool flush);
    void SendCoreInstruction(uint16_t instruction, bool flush = false);
    void ProgrammingHold();
    void WriteConfigurationBytes(const uint16_t* Words);
    void SetTablePointer(uint32_t a);
    void EnterProgramMode();
    void ExitProgramMode();
    void LoadProgramWord(uint16_t w);
    uint16_t ReadProgramWord();
    void LoadConfigurationWord(uint16_t w);
    void IncrementAddress();
    bool IsPic18() const { return FPicType >= PIC18f8722; }
    void Progress(int32_t NumWords);
    void Status(const std::string& Text);
    void WriteProgramDataPic16(std::span<const uint16_t> Data, int32_t n, int32_t Count);
    void WriteProgramDataPic16a(std::span<const uint16_t> Data, int32_t n, int32_t Count);
    void WriteConfigurationPic16(std::span<const uint16_t> Data);
    void WriteConfigurationPic16a(std::span<const uint16_t> Data);
    void BulkErasePic16(bool CodeProtected);
    void ReadProgramDataPic16(std::span<uint16_t> Data, int32_t n);
    void ReadConfigurationPic16(std::span<uint16_t> Data);
    bool OpenPortABySerial(const std::string& DName);
    bool OpenPortAByIndex(int32_t DeviceIndex);
    bool SyncToMPSSE();
    bool WaitForQueued(DWORD Count, uint64_t TimeoutMs);
    void DelayMs(uint32_t ms);
    void DebugLog(const std::string& txt);
};
