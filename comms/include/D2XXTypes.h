// Our declarations of the D2XX driver's C interface on Linux x86-64, written from FTDI's
// published programmer's guide. Every integer type of that interface is 32 bits wide except WORD
// and UCHAR, so none of them is declared as unsigned long.
#pragma once

#include <cstddef>
#include <cstdint>

using FT_HANDLE = void*;
using FT_STATUS = uint32_t;
using DWORD = uint32_t;
using ULONG = uint32_t;
using WORD = uint16_t;
using UCHAR = uint8_t;

// FT_STATUS values.
enum : FT_STATUS {
    FT_OK = 0,
    FT_INVALID_HANDLE = 1,
    FT_DEVICE_NOT_FOUND = 2,
    FT_DEVICE_NOT_OPENED = 3,
    FT_IO_ERROR = 4,
    FT_INSUFFICIENT_RESOURCES = 5,
    FT_INVALID_PARAMETER = 6,
    FT_INVALID_BAUD_RATE = 7,
    FT_DEVICE_NOT_OPENED_FOR_ERASE = 8,
    FT_DEVICE_NOT_OPENED_FOR_WRITE = 9,
    FT_FAILED_TO_WRITE_DEVICE = 10,
    FT_EEPROM_READ_FAILED = 11,
    FT_EEPROM_WRITE_FAILED = 12,
    FT_EEPROM_ERASE_FAILED = 13,
    FT_EEPROM_NOT_PRESENT = 14,
    FT_EEPROM_NOT_PROGRAMMED = 15,
    FT_INVALID_ARGS = 16,
    FT_NOT_SUPPORTED = 17,
    FT_OTHER_ERROR = 18,
};

// FT_ListDevices and FT_OpenEx flags.
constexpr DWORD FT_LIST_NUMBER_ONLY = 0x80000000;
constexpr DWORD FT_LIST_BY_INDEX = 0x40000000;
constexpr DWORD FT_LIST_ALL = 0x20000000;
constexpr DWORD FT_OPEN_BY_SERIAL_NUMBER = 1;
constexpr DWORD FT_OPEN_BY_DESCRIPTION = 2;
constexpr DWORD FT_OPEN_BY_LOCATION = 4;

// FT_Purge masks.
constexpr ULONG FT_PURGE_RX = 1;
constexpr ULONG FT_PURGE_TX = 2;

// FT_SetBitMode modes.
constexpr UCHAR FT_BITMODE_RESET = 0x00;
constexpr UCHAR FT_BITMODE_MPSSE = 0x02;

// The chip-EEPROM record of FT_EE_Read and FT_EE_Program, up to and including its FT232R group.
struct FT_PROGRAM_DATA {
    DWORD Signature1;  // 0x00000000
    DWORD Signature2;  // 0xFFFFFFFF
    DWORD Version;     // 0 original, 1 FT2232, 2 FT232R, 3 FT2232H, 4 FT4232H, 5 FT232H
    WORD VendorId;
    WORD ProductId;
    char* Manufacturer;
    char* ManufacturerId;
    char* Description;
    char* SerialNumber;
    WORD MaxPower;  // mA
    WORD PnP;
    WORD SelfPowered;
    WORD RemoteWakeup;
    // Rev4 (FT232B) extensions
    UCHAR Rev4, IsoIn, IsoOut, PullDownEnable, SerNumEnable, USBVersionEnable;
    WORD USBVersion;
    // FT2232 extensions
    UCHAR Rev5, IsoInA, IsoInB, IsoOutA, IsoOutB, PullDownEnable5, SerNumEnable5, USBVersionEnable5;
    WORD USBVersion5;
    UCHAR AIsHighCurrent, BIsHighCurrent;
    UCHAR IFAIsFifo, IFAIsFifoTar, IFAIsFastSer, AIsVCP, IFBIsFifo, IFBIsFifoTar, IFBIsFastSer, BIsVCP;
    // FT232R extensions
    UCHAR UseExtOsc, HighDriveIOs, EndpointSize, PullDownEnableR, SerNumEnableR;
    UCHAR InvertTXD, InvertRXD, InvertRTS, InvertCTS, InvertDTR, InvertDSR, InvertDCD, InvertRI;
    UCHAR Cbus0, Cbus1, Cbus2, Cbus3, Cbus4;
    UCHAR RIsD2XX;
};
static_assert(offsetof(FT_PROGRAM_DATA, Manufacturer) == 16);
static_assert(offsetof(FT_PROGRAM_DATA, MaxPower) == 48);
static_assert(offsetof(FT_PROGRAM_DATA, USBVersion) == 62);
static_assert(offsetof(FT_PROGRAM_DATA, USBVersion5) == 72);
static_assert(offsetof(FT_PROGRAM_DATA, AIsHighCurrent) == 74);
static_assert(offsetof(FT_PROGRAM_DATA, BIsVCP) == 83);
static_assert(offsetof(FT_PROGRAM_DATA, RIsD2XX) == 102);
static_assert(sizeof(FT_PROGRAM_DATA) == 104);

// Current vendor libraries write the whole present-day record (FT2232H, FT4232H and FT232H groups
// after RIsD2XX), whatever Version asks for; the record we hand them is allocated at that size.
constexpr size_t FullProgramDataSize = 176;
