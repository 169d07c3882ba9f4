// The one seam to USB: a table of the D2XX functions the program calls. FTDI's own library, the
// libftdi1 driver and the simulated instrument each fill it; nothing above it can tell them apart.
#pragma once

#include <iterator>

#include "D2XXTypes.h"

struct tD2XXEntryPoints {
    FT_STATUS (*FT_Open)(int DeviceNumber, FT_HANDLE* Handle) = nullptr;
    FT_STATUS (*FT_Close)(FT_HANDLE Handle) = nullptr;
    FT_STATUS (*FT_Read)(FT_HANDLE Handle, void* Buffer, DWORD BytesToRead, DWORD* BytesReturned) = nullptr;
    FT_STATUS (*FT_Write)(FT_HANDLE Handle, void* Buffer, DWORD BytesToWrite, DWORD* BytesWritten) = nullptr;
    FT_STATUS (*FT_SetBaudRate)(FT_HANDLE Handle, ULONG BaudRate) = nullptr;
    FT_STATUS (*FT_SetDataCharacteristics)(FT_HANDLE Handle, UCHAR WordLength, UCHAR StopBits, UCHAR Parity) = nullptr;
    FT_STATUS (*FT_Purge)(FT_HANDLE Handle, ULONG Mask) = nullptr;
    FT_STATUS (*FT_SetTimeouts)(FT_HANDLE Handle, ULONG ReadTimeout, ULONG WriteTimeout) = nullptr;
    FT_STATUS (*FT_GetQueueStatus)(FT_HANDLE Handle, DWORD* RxBytes) = nullptr;
    FT_STATUS (*FT_ListDevices)(void* Arg1, void* Arg2, DWORD Flags) = nullptr;
    FT_STATUS (*FT_OpenEx)(void* Arg1, DWORD Flags, FT_HANDLE* Handle) = nullptr;
    FT_STATUS (*FT_SetLatencyTimer)(FT_HANDLE Handle, UCHAR Timer) = nullptr;
    FT_STATUS (*FT_SetBitMode)(FT_HANDLE Handle, UCHAR Mask, UCHAR Mode) = nullptr;
    FT_STATUS (*FT_EE_Read)(FT_HANDLE Handle, FT_PROGRAM_DATA* Data) = nullptr;
    FT_STATUS (*FT_EE_Program)(FT_HANDLE Handle, FT_PROGRAM_DATA* Data) = nullptr;
    FT_STATUS (*FT_EE_UASize)(FT_HANDLE Handle, DWORD* Size) = nullptr;
    FT_STATUS (*FT_EE_UAWrite)(FT_HANDLE Handle, UCHAR* Data, DWORD Length) = nullptr;
    FT_STATUS (*FT_EE_UARead)(FT_HANDLE Handle, UCHAR* Data, DWORD Length, DWORD* BytesRead) = nullptr;
    FT_STATUS (*FT_ResetPort)(FT_HANDLE Handle) = nullptr;
    FT_STATUS (*FT_CyclePort)(FT_HANDLE Handle) = nullptr;
};

// Exported names, in the order of the table, for drivers that resolve them from a library.
inline constexpr const char* D2XXEntryPointNames[] = {
    "FT_Open",       "FT_Close",          "FT_Read",           "FT_Write",      "FT_SetBaudRate",
    "FT_SetDataCharacteristics", "FT_Purge", "FT_SetTimeouts", "FT_GetQueueStatus", "FT_ListDevices",
    "FT_OpenEx",     "FT_SetLatencyTimer", "FT_SetBitMode",    "FT_EE_Read",    "FT_EE_Program",
    "FT_EE_UASize",  "FT_EE_UAWrite",     "FT_EE_UARead",      "FT_ResetPort",  "FT_CyclePort",
};
static_assert(sizeof(tD2XXEntryPoints) == sizeof(void*) * std::size(D2XXEntryPointNames));
