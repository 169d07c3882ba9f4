// The procedural layer over the D2XX driver: the loaded driver's entry points, the one open FTDI
// channel, the receive and transmit buffers, the scratch records of the list and EEPROM calls,
// and the error report. Every USB access of the program goes through here.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

#include "D2XXEntryPoints.h"

class tD2XXBackend;

// Raised by the open operations when no driver is loaded.
class EUSBDriverError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

constexpr size_t USBInBufferSize = 1'048'576;
constexpr size_t USBOutBufferSize = 32'768;
constexpr size_t USBNameBufferSize = 50;
constexpr size_t USBProgramDataTextSize = 64;
constexpr size_t USBUserAreaBufferSize = 64;

// The chip-EEPROM record with room for the full present-day record, and its four string buffers.
struct tUSBProgramData {
    FT_PROGRAM_DATA Data;
    uint8_t NewerGroups[FullProgramDataSize - sizeof(FT_PROGRAM_DATA)];
    char Manufacturer[USBProgramDataTextSize];
    char ManufacturerId[USBProgramDataTextSize];
    char Description[USBProgramDataTextSize];
    char SerialNumber[USBProgramDataTextSize];
};

// Which driver fills the entry-point table.
enum class tUSBDriverKind { None, VendorLibrary, LibFtdi, Simulated };

// Module state, one set per process.
extern void* USBLibraryHandle;
extern tUSBDriverKind USBDriverKind;
extern bool USBSupportedByOS;
extern tD2XXEntryPoints USBEntryPoints;
extern FT_HANDLE USBDeviceHandle;
extern uint8_t USBInBuffer[USBInBufferSize];
extern uint8_t USBOutBuffer[USBOutBufferSize];
extern DWORD USBDeviceCount;
extern char USBNameBuffer[USBNameBufferSize];
extern std::string USBNameString;
extern DWORD USBLocationValue;
extern DWORD USBRxQueueBytes;
extern DWORD USBBaudRate;
extern UCHAR USBWordLength, USBStopBits, USBParity;
extern tUSBProgramData USBProgramData;
extern uint8_t USBUserAreaBuffer[USBUserAreaBufferSize];
extern DWORD USBUserAreaSize;
extern bool ShowUSBErrors;

// The message box of Report_USB_Driver_Error. The window sets it; until then a report only goes
// to standard error.
extern std::function<void(const std::string& Message)> USBErrorMessageHook;

// Loads FTDI's own libftd2xx.so when the loader finds it, else the libftdi1 driver.
void Load_USB_Driver_Library();
// Loads only FTDI's own library (by name, through the loader's search path).
bool Load_Vendor_USB_Driver_Library();
// Loads the libftdi1 driver.
bool Load_LibFtdi_USB_Driver();
// Fills the table from an in-process driver, such as the simulated instrument.
void Load_Backend_USB_Driver(tD2XXBackend* Backend, tUSBDriverKind Kind);
void Unload_USB_Driver_Library();
// Fills the table from Backend without unloading what was there (for the drivers' own loaders).
void Install_Backend_Entry_Points(tD2XXBackend* Backend, tUSBDriverKind Kind);
bool USBDriverLoaded();
// The last device listing saw an FTDI device that this user is not allowed to open.
bool USBAccessDenied();
const char* USBDriverName();

void Report_USB_Driver_Error(const std::string& Label, FT_STATUS Status);
std::string USBStatusText(FT_STATUS Status);

FT_STATUS GetFTDeviceCount(uint8_t MinCount, uint8_t WaitSecs);
FT_STATUS GetFTDeviceSerialNo(DWORD Index);
FT_STATUS GetFTDeviceDescription(DWORD Index);
FT_STATUS GetFTDeviceLocation(DWORD Index);
FT_STATUS Open_USB_Device_By_Serial_Number(const std::u16string& Serial);
FT_STATUS Open_USB_Device_By_Serial_Number(const std::string& Serial);
FT_STATUS Open_USB_Device_By_Location(DWORD Location);
FT_STATUS Open_USB_Device_By_Index(DWORD Index);
FT_STATUS Close_Current_USB_Device();
FT_STATUS Flush_USB_Receive_Queue();
FT_STATUS Flush_USB_Transmit_Queue();
FT_STATUS Apply_USB_Baud_Rate();
FT_STATUS Apply_USB_Data_Characteristics();
FT_STATUS Apply_USB_Timeouts(ULONG ReadMs, ULONG WriteMs);
FT_STATUS Query_USB_Receive_Queue();
// Bytes written; a count above the buffer is refused (0 written, reported as invalid parameter).
DWORD Send_USB_Out_Buffer(DWORD Count);
// Bytes read into USBInBuffer; a count above the buffer is cut to the buffer.
DWORD Fetch_USB_In_Buffer(DWORD Count);
FT_STATUS Apply_USB_Latency_Timer(UCHAR Ms);
FT_STATUS Apply_USB_Bit_Mode(UCHAR Mask, UCHAR Mode);
FT_STATUS Reset_Current_USB_Port();
FT_STATUS Cycle_Current_USB_Port();
FT_STATUS Read_USB_Chip_EEPROM();
FT_STATUS Program_USB_Chip_EEPROM();
FT_STATUS Query_USB_User_Area_Size();
FT_STATUS Write_USB_User_Area();
FT_STATUS Read_USB_User_Area();
