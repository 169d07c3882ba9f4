// An in-process D2XX driver: the libftdi1 driver and the simulated instrument implement this
// interface, and FillEntryPoints turns it into the same entry-point table that FTDI's library
// fills. The list, open and EEPROM semantics of D2XX are built here once, on each driver's
// channel list and raw EEPROM image.
#pragma once

#include <string>
#include <vector>

#include "D2XXEntryPoints.h"
#include "FtdiEepromImage.h"

struct tD2XXChannelInfo {
    std::string SerialNumber;  // the chip's serial number plus "A" or "B" on a dual-channel chip
    std::string Description;   // the chip's description plus " A" or " B"
    uint32_t LocationId = 0;   // channels of one chip agree but in the two lowest bits (A 1, B 2)
};

class tD2XXBackend {
public:
    virtual ~tD2XXBackend() = default;

    virtual FT_STATUS ListChannels(std::vector<tD2XXChannelInfo>& Channels) = 0;
    virtual FT_STATUS OpenChannel(size_t Index, FT_HANDLE* Handle) = 0;
    virtual FT_STATUS Close(FT_HANDLE Handle) = 0;
    virtual FT_STATUS Read(FT_HANDLE Handle, uint8_t* Buffer, DWORD Count, DWORD* Returned) = 0;
    virtual FT_STATUS Write(FT_HANDLE Handle, const uint8_t* Buffer, DWORD Count, DWORD* Written) = 0;
    virtual FT_STATUS SetBaudRate(FT_HANDLE Handle, ULONG BaudRate) = 0;
    virtual FT_STATUS SetDataCharacteristics(FT_HANDLE Handle, UCHAR WordLength, UCHAR StopBits, UCHAR Parity) = 0;
    virtual FT_STATUS Purge(FT_HANDLE Handle, ULONG Mask) = 0;
    virtual FT_STATUS SetTimeouts(FT_HANDLE Handle, ULONG ReadMs, ULONG WriteMs) = 0;
    virtual FT_STATUS GetQueueStatus(FT_HANDLE Handle, DWORD* RxBytes) = 0;
    virtual FT_STATUS SetLatencyTimer(FT_HANDLE Handle, UCHAR Ms) = 0;
    virtual FT_STATUS SetBitMode(FT_HANDLE Handle, UCHAR Mask, UCHAR Mode) = 0;
    // The chip's whole EEPROM, raw.
    virtual FT_STATUS ReadEeprom(FT_HANDLE Handle, tFtdiEepromImage& Image) = 0;
    // Writes the bytes that differ from Old; the caller reads the image back to check it.
    virtual FT_STATUS WriteEeprom(FT_HANDLE Handle, const tFtdiEepromImage& Old, const tFtdiEepromImage& New) = 0;
    virtual FT_STATUS ResetPort(FT_HANDLE Handle) = 0;
    virtual FT_STATUS CyclePort(FT_HANDLE Handle) = 0;
    // An FTDI device was seen on the last listing that this user may not open.
    virtual bool AccessDenied() const { return false; }
};

// Fills Table with entry points that reach Backend. One in-process driver is active at a time;
// a later call replaces the earlier one.
void FillEntryPoints(tD2XXEntryPoints& Table, tD2XXBackend* Backend);

// FT_PROGRAM_DATA <-> the settings of a raw image, as FTDI's driver presents an FT2232.
void SettingsToProgramData(const tFtdiEepromSettings& Settings, FT_PROGRAM_DATA& Data);
void ProgramDataToSettings(const FT_PROGRAM_DATA& Data, tFtdiEepromSettings& Settings);
