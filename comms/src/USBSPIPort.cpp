// Opening channel A in MPSSE mode, the pin words and the transmit queue of the programmer.
#include <cstring>

#include "BrammUtils.h"
#include "Clock.h"
#include "D2XXUnit.h"
#include "LogTime.h"
#include "MpsseCommands.h"
#include "USBSPI.h"

uint16_t CurrentMclrPinMask = 0x0008;
uint16_t CurrentProgPinMask = 0x0010;

namespace {

// Bad commands whose echo proves the engine is in step with us.
constexpr uint8_t SyncProbeFirst = 0xAA, SyncProbeSecond = 0xAB;

constexpr uint16_t ClockAndDataOut = PinClock | PinDataOut;  // always outputs
constexpr uint8_t LatencyMs = 16;
constexpr uint32_t MpsseBaudRate = 115200;
constexpr uint64_t SyncTimeoutMs = 2000;

// Clock divisor per PIC type: 2 MHz for the two large PIC18 parts, 3 MHz for the rest
// (TCK = 12 MHz / ((1 + divisor) * 2)).
uint16_t DivisorFor(tPicType Type) { return (Type == PIC18f8722 || Type == PIC18f4620) ? 2 : 1; }

}  // namespace

tUSBSPIcomms::tUSBSPIcomms() {
    SetPicControlPins(0x0008, 0x0010, 0x0018, 0);
    SetPicType(PIC16f877a);
}

void tUSBSPIcomms::SetPicControlPins(uint16_t MClrPinMask, uint16_t ProgPinMask, uint16_t AllIOMask,
                                     uint16_t AllIOStaticState) {
    CurrentProgPinMask = ProgPinMask;
    CurrentMclrPinMask = MClrPinMask;
    TotalIOStaticState = AllIOStaticState;
    TotalIOMask = uint16_t(MClrPinMask | AllIOMask | ProgPinMask | ClockAndDataOut);
    SetPicType(FPicType);
}

void tUSBSPIcomms::SetPicType(tPicType Value) {
    FPicType = Value;
    if (Value == DLP16f877a) {  // an inverting MCLR driver
        MclrPicRun = 0;
        MclrPicReset = CurrentMclrPinMask;
    } else if (Value <= PIC18f4321) {
        MclrPicRun = CurrentMclrPinMask;
        MclrPicReset = 0;
    }
}

void tUSBSPIcomms::DebugLog(const std::string& txt) {
    if (FApplicationDirectory.empty() || !FDebugLogToFile || FDebugLogFileName.empty()) return;
    AppendLineToFile(FDebugLogFileName, LongTimeText() + ": " + txt, true);
}

void tUSBSPIcomms::QueueByte(uint8_t b) {
    // The queue is the transmit buffer; a full one goes out first so nothing is written past it.
    if (OutIndex >= int32_t(USBOutBufferSize)) FlushOutput();
    if (OutIndex >= int32_t(USBOutBufferSize)) return;  // the channel takes nothing: the byte is lost
    USBOutBuffer[OutIndex++] = b;
}

void tUSBSPIcomms::FlushOutput() {
    if (OutIndex <= 0) return;
    const DWORD written = Send_USB_Out_Buffer(DWORD(OutIndex));
    // A short write keeps the unsent tail at the front, so the next flush sends what was left. A
    // channel that takes nothing at all is broken: its queue is dropped rather than sent stale later.
    const int32_t left = OutIndex - int32_t(written);
    if (written == 0 || left <= 0) {
        OutIndex = 0;
        return;
    }
    std::memmove(USBOutBuffer, USBOutBuffer + written, size_t(left));
    OutIndex = left;
}

void tUSBSPIcomms::QueueSetPins(uint16_t V) {
    QueueByte(MpsseSetLowByte);
    QueueByte(uint8_t(V));
    QueueByte(uint8_t(TotalIOMask));
    QueueByte(MpsseSetHighByte);
    QueueByte(uint8_t(V >> 8));
    QueueByte(uint8_t(TotalIOMask >> 8));
}

void tUSBSPIcomms::DelayMs(uint32_t ms) { Clock().SleepMs(ms); }

bool tUSBSPIcomms::OpenPortABySerial(const std::string& DName) {
    ShowUSBErrors = false;
    FDeviceCount = 0;
    PortAIsOpen = false;
    if (GetFTDeviceCount(0, 0) != FT_OK || USBDeviceCount == 0) return false;
    bool found = false;
    for (DWORD i = 0; i < USBDeviceCount && !found; ++i)
        found = GetFTDeviceSerialNo(i) == FT_OK && USBNameString == DName;
    if (!found || Open_USB_Device_By_Serial_Number(DName) != FT_OK) return false;
    PortAIsOpen = Query_USB_Receive_Queue() == FT_OK;
    return true;
}

bool tUSBSPIcomms::OpenPortAByIndex(int32_t DeviceIndex) {
    ShowUSBErrors = false;
    FDeviceCount = 0;
    PortAIsOpen = false;
    if (GetFTDeviceCount(0, 0) != FT_OK || USBDeviceCount == 0) return false;
    if (Open_USB_Device_By_Index(DWORD(DeviceIndex)) != FT_OK) return false;
    PortAIsOpen = Query_USB_Receive_Queue() == FT_OK;
    return true;
}

bool tUSBSPIcomms::WaitForQueued(DWORD Count, uint64_t TimeoutMs) {
    const uint64_t start = Clock().NowMs();
    for (;;) {
        if (Query_USB_Receive_Queue() != FT_OK) return false;
        if (USBRxQueueBytes >= Count) return true;
        if (Clock().NowMs() - start > TimeoutMs) return false;
        Clock().SleepMs(1);
    }
}

bool tUSBSPIcomms::SyncToMPSSE() {
    DebugLog("Syncing to MPSSE");
    if (Query_USB_Receive_Queue() != FT_OK) return false;
    if (USBRxQueueBytes > 0) Fetch_USB_In_Buffer(USBRxQueueBytes);

    DebugLog("Syncing to MPSSE 1");
    const uint64_t start = Clock().NowMs();
    for (;;) {
        OutIndex = 0;
        QueueByte(SyncProbeFirst);
        FlushOutput();
        if (Query_USB_Receive_Queue() != FT_OK) return false;
        if (Clock().NowMs() - start > SyncTimeoutMs) return false;
        if (USBRxQueueBytes >= 2) break;
        Clock().SleepMs(1);
    }
    DWORD n = Fetch_USB_In_Buffer(USBRxQueueBytes);
    DebugLog("Num Read = " + std::to_string(n));
    DebugLog("Syncing to MPSSE 2");
    DWORD index = 0;
    while (index + 1 < n && !(USBInBuffer[index] == MpsseBadCommand && USBInBuffer[index + 1] == SyncProbeFirst)) ++index;
    DebugLog("Index = " + std::to_string(index));

    DelayMs(2);
    if (Query_USB_Receive_Queue() != FT_OK) return false;
    const DWORD extra = USBRxQueueBytes > 0 ? Fetch_USB_In_Buffer(USBRxQueueBytes) : 0;
    DebugLog("Num Error Bytes Read = " + std::to_string(extra));

    OutIndex = 0;
    QueueByte(SyncProbeSecond);
    FlushOutput();
    if (!WaitForQueued(2, SyncTimeoutMs)) return false;
    n = Fetch_USB_In_Buffer(USBRxQueueBytes);
    DebugLog("Num Read = " + std::to_string(n));
    DebugLog("Syncing to MPSSE 3");
    bool synced = false;
    for (index = 0; index + 1 < n; ++index) {
        if (USBInBuffer[index] == MpsseBadCommand && USBInBuffer[index + 1] == SyncProbeSecond) {
            synced = true;
            break;
        }
    }
    DebugLog("Index = " + std::to_string(index));
    return synced;
}

bool tUSBSPIcomms::InitUSBdeviceToSPImode(const std::string& DName, int32_t DeviceIndex) {
    DebugLog("Entering SPI Mode, Device Name=" + DName + ", Device Index=" + std::to_string(DeviceIndex));
    const bool opened = DName.size() >= 2 ? OpenPortABySerial(DName) : OpenPortAByIndex(DeviceIndex);
    bool synced = false;
    if (opened) {
        DebugLog("Port A opened for SPI");
        (void)Apply_USB_Latency_Timer(LatencyMs);
        (void)Apply_USB_Bit_Mode(0, FT_BITMODE_RESET);
        (void)Apply_USB_Bit_Mode(0, FT_BITMODE_MPSSE);
        USBBaudRate = MpsseBaudRate;
        (void)Apply_USB_Baud_Rate();
        synced = SyncToMPSSE();
    }
    if (!opened || !synced) return false;

    DebugLog("Syncd to MPSSE");
    OutIndex = 0;
    QueueSetPins(TotalIOStaticState);
    const uint16_t divisor = DivisorFor(FPicType);
    QueueByte(MpsseSetDivisor);
    QueueByte(uint8_t(divisor));
    QueueByte(uint8_t(divisor >> 8));
    QueueByte(MpsseLoopbackOff);
    FlushOutput();
    return true;
}

void tUSBSPIcomms::ClosePort() {
    if (PortAIsOpen) (void)Close_Current_USB_Device();
    PortAIsOpen = false;
}

void tUSBSPIcomms::ApplyResetPulse() {
    QueueSetPins(uint16_t(MclrPicReset | TotalIOStaticState));
    FlushOutput();
    DelayMs(10);
    QueueSetPins(uint16_t(MclrPicRun | TotalIOStaticState));
    FlushOutput();
}

void tUSBSPIcomms::SetOutputWord(uint16_t data, uint16_t mask) {
    QueueByte(MpsseSetLowByte);
    QueueByte(uint8_t(data));
    QueueByte(uint8_t(mask));
    QueueByte(MpsseSetHighByte);
    QueueByte(uint8_t(data >> 8));
    QueueByte(uint8_t(mask >> 8));
    FlushOutput();
}

void tUSBSPIcomms::ListDevices(std::vector<std::string>& N, int32_t ld_Desc_Num_Location) {
    if (GetFTDeviceCount(0, 0) != FT_OK || USBDeviceCount == 0) return;
    N.clear();
    for (DWORD i = 0; i < USBDeviceCount; ++i) {
        if (ld_Desc_Num_Location == 0 && GetFTDeviceDescription(i) == FT_OK) N.push_back(USBNameString);
        if (ld_Desc_Num_Location == 1 && GetFTDeviceSerialNo(i) == FT_OK) N.push_back(USBNameString);
        if (ld_Desc_Num_Location == 2 && GetFTDeviceLocation(i) == FT_OK) {
            char text[16];
            std::snprintf(text, sizeof text, "%04X", USBLocationValue);
            N.push_back(text);
        }
    }
}
