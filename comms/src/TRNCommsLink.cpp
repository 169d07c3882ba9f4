// The device link: object lifetime, debug output, opening and closing the data channel, and the
// byte primitives on it.
#include <cstring>

#include "BrammUtils.h"
#include "D2XXUnit.h"
#include "LogTime.h"
#include "TRNCommsUnit.h"

const char* const CommsStoppedMessage =
    "Veltra communication appears to have stopped. Please terminate the current activity, unplug and re-plug the "
    "veltra to re-initiate communication.";

namespace {
constexpr ULONG ChannelTimeoutMs = 600;
constexpr uint32_t ARMBaudRate = 460800;
constexpr uint8_t EightDataBits = 8, OneStopBit = 0, NoParity = 0;
// Location ids of the two channels of one chip differ only here.
constexpr uint32_t ChannelBLocationOffset = 2;
}  // namespace

tTRNComms::tTRNComms()
    : USBSPIcomms(std::make_unique<tUSBSPIcomms>()),
      FComPort(std::make_unique<tSerialPort>()),
      HexFile(std::make_unique<tHexFile>()) {
    USBSPIcomms->SetPicType(PIC18f8722);
    USBSPIcomms->SetOnProgressEvent([this](void* Sender, int32_t NumWords) { HandleSPIProgress(Sender, NumWords); });
    USBSPIcomms->SetOnStatusEvent([this](void* Sender, const std::string& Text) { HandleSPIStatus(Sender, Text); });
    FComPort->OnError = [this](const std::string& Errors) { DebugOutput("OnComPortErrorEvent: " + Errors, false); };
    FComPort->OnException = [this](const std::string& Message, int Code, const std::string& SystemMessage) {
        DebugOutput("OnComPortExceptionEvent_Comport Message: " + Message, false);
        DebugOutput("OnComPortExceptionEvent_Windows Error Code: " + std::to_string(Code), false);
        DebugOutput("OnComPortExceptionEvent_Windows Message: " + SystemMessage, false);
    };
}

tTRNComms::~tTRNComms() { DebugOutput("TRNComms.Destroy()", false); }

void tTRNComms::DebugOutput(const std::string& txt, bool alwayslog) {
    if (!(alwayslog || FDebugLogToFile) || FDebugLogFilename.empty()) return;
    AppendLineToFile(FDebugLogFilename, LongTimeText() + ": " + txt, true);
}

void tTRNComms::SetApplicationDirectory(const std::string& V) {
    FApplicationDirectory = V;
    USBSPIcomms->SetApplicationDirectory(V);
}

void tTRNComms::SetDebugLogToFile(bool V) {
    FDebugLogToFile = V;
    USBSPIcomms->SetDebugLogToFile(V);
}

void tTRNComms::SetDebugLogFilename(const std::string& V) {
    FDebugLogFilename = V;
    USBSPIcomms->SetDebugLogFileName(V);
}

bool tTRNComms::GetIsVelCommsOK() {
    if (FIsVelCommsOK) return true;
    if (FIndicateCommsNotOK) throw EUSBCommsTimeoutException(CommsStoppedMessage);
    return false;
}

bool tTRNComms::OpenUSBDataPort() {
    if (FDeviceCommsType == CommsTypeSerialARM) return OpenARMDataPort();
    bool opened = false;
    switch (FUseOpenDeviceMethod) {
        case OpenByName: opened = OpenDataPortByName(); break;
        case OpenByLocation: opened = OpenDataPortByLocation(); break;
        case OpenByIndex: opened = OpenDataPortByIndex(); break;
    }
    if (FDeviceCommsType == CommsTypeFtdiSerialARM) {
        DebugOutput("OpenUSBPort : ARM FTDI setup functions", false);
        SetupFTDISerialProperties(ARMBaudRate, EightDataBits, OneStopBit, NoParity);
    }
    return opened;
}

void tTRNComms::CloseUSBConnection() { CloseUSBPort(); }

bool tTRNComms::ResetUSBConnection() {
    (void)Close_Current_USB_Device();
    const bool opened = OpenUSBDataPort();
    (void)Reset_Current_USB_Port();
    (void)Cycle_Current_USB_Port();
    return opened;
}

void tTRNComms::FlushUSBPipes() {
    if (FDeviceCommsType == CommsTypeSerialARM) {
        FComPort->ClearBuffer(true, true);
    } else {
        (void)Flush_USB_Receive_Queue();
        (void)Flush_USB_Transmit_Queue();
    }
    while (BytesAvailable(1)) ReadByte();
}

void tTRNComms::SetupFTDISerialProperties(uint32_t BaudRate1, uint8_t DataBits1, uint8_t StopBits1,
                                          uint8_t ParityBits1) {
    DebugOutput("Setting up FTDI serial comms characteristics", false);
    USBBaudRate = BaudRate1;
    USBWordLength = DataBits1;
    USBStopBits = StopBits1;
    USBParity = ParityBits1;
    (void)Apply_USB_Baud_Rate();
    (void)Apply_USB_Data_Characteristics();
}

bool tTRNComms::OpenDataPortByName() {
    return OpenUSBPortBySerial(FDeviceCommsType == CommsTypeVeltraUSB ? FDeviceName + "B" : FDeviceName);
}

bool tTRNComms::OpenDataPortByLocation() { return OpenUSBPortByLocation(FDeviceLocation + ChannelBLocationOffset); }

bool tTRNComms::OpenDataPortByIndex() { return OpenUSBPortByIndex(FDevicePortBIndex); }

void tTRNComms::SetUpOpenedChannel() {
    if (Query_USB_Receive_Queue() != FT_OK) return;  // opened, but not usable: PortBIsOpen stays false
    (void)Apply_USB_Timeouts(ChannelTimeoutMs, ChannelTimeoutMs);
    (void)Flush_USB_Receive_Queue();
    (void)Flush_USB_Transmit_Queue();
    PortBIsOpen = true;
}

bool tTRNComms::OpenUSBPortBySerial(const std::string& Name) {
    ShowUSBErrors = false;
    PortBIsOpen = false;
    if (GetFTDeviceCount(0, 0) != FT_OK) return false;
    DebugOutput("Opening USB port(" + Name + ")" + std::to_string(USBDeviceCount) + " FTDI devices found", false);
    if (USBDeviceCount == 0) return false;
    if (Open_USB_Device_By_Serial_Number(Name) != FT_OK) return false;
    DebugOutput("USB port(" + Name + ") opened OK", false);
    SetUpOpenedChannel();
    return true;
}

bool tTRNComms::OpenUSBPortByLocation(uint32_t Location) {
    ShowUSBErrors = false;
    PortBIsOpen = false;
    if (GetFTDeviceCount(0, 0) != FT_OK) return false;
    DebugOutput("Opening USB port(" + std::to_string(Location) + ")" + std::to_string(USBDeviceCount) +
                    " FTDI devices found",
                false);
    if (USBDeviceCount == 0) return false;
    if (Open_USB_Device_By_Location(Location) != FT_OK) return false;
    DebugOutput("USB port() opened OK", false);
    SetUpOpenedChannel();
    return true;
}

bool tTRNComms::OpenUSBPortByIndex(uint32_t Index) {
    ShowUSBErrors = false;
    PortBIsOpen = false;
    if (GetFTDeviceCount(0, 0) != FT_OK) return false;
    DebugOutput("OpenUSBPortByIndex: Opening USB port(" + std::to_string(Index) + ")" +
                    std::to_string(USBDeviceCount) + " FTDI devices found",
                false);
    const std::string failed = "OpenUSBPortByIndex: Failed - ";
    if (USBDeviceCount == 0) {
        DebugOutput(failed + "\"NoOfDevs<=0\"", false);
        return false;
    }
    if (Index > USBDeviceCount - 1) {
        DebugOutput(failed + "\"DeviceNum>(NoOfDevs-1)\"", false);
        return false;
    }
    if (Open_USB_Device_By_Index(Index) != FT_OK) {
        DebugOutput(failed + "\"Open()<>Ft_OK\"", false);
        return false;
    }
    DebugOutput("OpenUSBPortByIndex: USB port() opened OK", false);
    SetUpOpenedChannel();
    return true;
}

void tTRNComms::CloseUSBPort() {
    if (FDeviceCommsType == CommsTypeSerialARM) {
        CloseARMDataPort();
        DebugOutput("Closed Virtual Com Port", false);
        return;
    }
    if (PortBIsOpen) (void)Close_Current_USB_Device();
    PortBIsOpen = false;
    DebugOutput("USB port Close()", false);
}

bool tTRNComms::OpenARMDataPort() {
    PortBIsOpen = false;
    DebugOutput("OpenARMDataPort: Opening " + FDeviceComPortName, false);
    FComPort->Port = FDeviceComPortName;
    DebugOutput("OpenARMDataPort: About to open port", false);
    try {
        FComPort->Open();
    } catch (...) {
    }
    if (!FComPort->Connected()) return false;
    DebugOutput("OpenARMDataPort: serial com port opened OK", false);
    PortBIsOpen = true;
    FlushUSBPipes();
    return true;
}

void tTRNComms::CloseARMDataPort() {
    if (PortBIsOpen) FComPort->Close();
    if (FComPort->Connected()) {
        DebugOutput("CloseArmDataPort: serial com port failed to close", false);
        return;
    }
    DebugOutput("CloseArmDataPort: serial com port closed", false);
    PortBIsOpen = false;
}

void tTRNComms::SetupComPortProperties(uint32_t BaudRate1, tFlowControl FlowControl1, uint8_t DataBits1,
                                       uint8_t StopBits1, uint8_t ParityBits1) {
    if (!FComPort) return;
    FComPort->BaudRate = BaudRate1;
    FComPort->FlowControl = FlowControl1;
    FComPort->DataBits = DataBits1;
    FComPort->StopBits = StopBits1;
    FComPort->Parity = ParityBits1;
}

DWORD tTRNComms::SendByte(uint8_t Value) {
    if (FDeviceCommsType == CommsTypeSerialARM) return DWORD(FComPort->Write(&Value, 1));
    USBOutBuffer[0] = Value;
    return Send_USB_Out_Buffer(1);
}

uint8_t tTRNComms::ReadByte() {
    if (FDeviceCommsType == CommsTypeSerialARM) {
        uint8_t value = 0;
        FComPort->Read(&value, 1);
        return value;
    }
    return Fetch_USB_In_Buffer(1) == 1 ? USBInBuffer[0] : 0;
}

DWORD tTRNComms::SendBytes(const uint8_t* Buffer, DWORD Count) {
    if (FDeviceCommsType == CommsTypeSerialARM) return DWORD(FComPort->Write(Buffer, Count));
    if (Count > USBOutBufferSize) return 0;  // a block larger than the transmit buffer is refused whole
    std::memcpy(USBOutBuffer, Buffer, Count);
    return Send_USB_Out_Buffer(Count);
}

DWORD tTRNComms::ReadBytes(uint8_t* Buffer, DWORD Count) {
    if (FDeviceCommsType == CommsTypeSerialARM) return DWORD(FComPort->Read(Buffer, Count));
    const DWORD k = Fetch_USB_In_Buffer(Count);
    std::memcpy(Buffer, USBInBuffer, k);
    return k;
}

bool tTRNComms::BytesAvailable(DWORD N) {
    if (FDeviceCommsType == CommsTypeSerialARM) return FComPort->InputCount() >= N;
    return Query_USB_Receive_Queue() == FT_OK && USBRxQueueBytes >= N;
}

bool tTRNComms::BytesAvailableOrFail(DWORD N) {
    if (FDeviceCommsType == CommsTypeSerialARM) return FComPort->InputCount() >= N;
    if (Query_USB_Receive_Queue() != FT_OK) throw EUSBCommsTimeoutException(CommsStoppedMessage);
    return USBRxQueueBytes >= N;
}
