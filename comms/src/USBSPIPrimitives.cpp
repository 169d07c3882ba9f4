// The ICSP primitives of the programmer: command and payload bits clocked on PGC/PGD, the
// programming hold, the table pointer, and programming-mode entry and exit.
#include <cstdio>

#include "Clock.h"
#include "D2XXUnit.h"
#include "MpsseCommands.h"
#include "USBSPI.h"

std::function<void(const std::string&)> USBSPIMessageHook;

namespace {
// The programming hold: PGC high for the part's write time, then low for its discharge time,
// produced by repeated pin commands inside the queue.
constexpr int HoldHighPinCommands = 300;
constexpr int HoldLowPinCommands = 25;

// PIC18 core instructions.
constexpr uint16_t MovlwBase = 0x0E00;
constexpr uint16_t MovwfTblptrU = 0x6EF8, MovwfTblptrH = 0x6EF7, MovwfTblptrL = 0x6EF6;
constexpr uint8_t Pic18CoreInstruction = 0x0;

// PIC16 six-bit commands.
constexpr uint8_t Pic16LoadConfiguration = 0x00, Pic16LoadData = 0x02, Pic16ReadData = 0x04, Pic16Increment = 0x06;
constexpr int Pic16CommandBits = 6;
constexpr uint64_t ReadTimeoutMs = 1000;
}  // namespace

uint16_t tUSBSPIcomms::R() const { return uint16_t(MclrPicRun | CurrentProgPinMask | TotalIOStaticState); }

void tUSBSPIcomms::QueueSetLowPins(uint16_t V, uint16_t Mask) {
    QueueByte(MpsseSetLowByte);
    QueueByte(uint8_t(V));
    QueueByte(uint8_t(Mask));
}

void tUSBSPIcomms::QueueReadTwoBytes() {
    QueueByte(MpsseBytesInFallingLsb);
    QueueByte(0x01);
    QueueByte(0x00);
}

void tUSBSPIcomms::Progress(int32_t NumWords) {
    if (FOnProgressEvent) FOnProgressEvent(this, NumWords);
}

void tUSBSPIcomms::Status(const std::string& Text) {
    if (FOnStatusEvent) FOnStatusEvent(this, Text);
}

void tUSBSPIcomms::SendCommandBits(uint16_t value, int bits, bool releaseData, bool flush) {
    const uint16_t r = R();
    QueueSetLowPins(r | PinClock, TotalIOMask);
    // MPSSE clocks out all but the last bit; the last one is clocked by hand.
    QueueByte(MpsseBitsOutRisingLsb);
    QueueByte(uint8_t(bits - 2));
    QueueByte(uint8_t(value));
    const uint16_t d = (value >> (bits - 1)) & 1 ? PinDataOut : 0;
    QueueSetLowPins(r | PinClock | d, TotalIOMask);
    QueueSetLowPins(r | d, TotalIOMask);
    QueueSetLowPins(r, TotalIOMask);
    QueueSetLowPins(r, releaseData ? uint16_t(TotalIOMask & ~PinDataOut) : TotalIOMask);
    if (flush) FlushOutput();
}

void tUSBSPIcomms::SendDataBytes(const uint8_t* bytes, int n, bool flush) {
    const uint16_t r = R();
    QueueSetLowPins(r | PinClock, TotalIOMask);
    if (n > 1) {
        QueueByte(MpsseBytesOutRisingLsb);
        QueueByte(uint8_t(n - 2));
        QueueByte(uint8_t((n - 2) >> 8));
        for (int i = 0; i < n - 1; ++i) QueueByte(bytes[i]);
    }
    const uint8_t last = bytes[n - 1];
    QueueByte(MpsseBitsOutRisingLsb);
    QueueByte(6);
    QueueByte(last & 0x7F);
    const uint16_t d = (last & 0x80) ? PinDataOut : 0;
    QueueSetLowPins(r | PinClock | d, TotalIOMask);
    QueueSetLowPins(r | d, TotalIOMask);
    QueueSetLowPins(r, TotalIOMask);
    QueueSetLowPins(r, TotalIOMask);
    if (flush) FlushOutput();
}

void tUSBSPIcomms::SendDataWord(uint16_t w, bool flush) {
    const uint8_t bytes[2] = {uint8_t(w), uint8_t(w >> 8)};
    SendDataBytes(bytes, 2, flush);
}

void tUSBSPIcomms::SendPic18Command(uint8_t cmd, uint16_t payload, bool flush) {
    SendCommandBits(cmd, 4, false, false);
    SendDataWord(payload, flush);
}

void tUSBSPIcomms::SendCoreInstruction(uint16_t instruction, bool flush) {
    SendPic18Command(Pic18CoreInstruction, instruction, flush);
}

void tUSBSPIcomms::ProgrammingHold() {
    const uint16_t r = R();
    QueueSetPins(r | PinClock);
    QueueByte(MpsseBitsOutRisingLsb);
    QueueByte(0x02);
    QueueByte(0x00);
    for (int i = 0; i < HoldHighPinCommands; ++i) QueueSetLowPins(r | PinClock, TotalIOMask);
    for (int i = 0; i < HoldLowPinCommands; ++i) QueueSetLowPins(r, TotalIOMask);
    FlushOutput();
}

void tUSBSPIcomms::SetTablePointer(uint32_t a) {
    SendCoreInstruction(uint16_t(MovlwBase | ((a >> 16) & 0xFF)));
    SendCoreInstruction(MovwfTblptrU);
    SendCoreInstruction(uint16_t(MovlwBase | ((a >> 8) & 0xFF)));
    SendCoreInstruction(MovwfTblptrH);
    SendCoreInstruction(uint16_t(MovlwBase | (a & 0xFF)));
    SendCoreInstruction(MovwfTblptrL);
}

void tUSBSPIcomms::EnterProgramMode() {
    const uint16_t s = TotalIOStaticState, prog = CurrentProgPinMask;
    QueueSetPins(MclrPicReset | s);
    FlushOutput();
    if (IsPic18()) {
        for (int i = 0; i < 3; ++i) QueueSetPins(MclrPicReset | prog | s);
        for (int i = 0; i < 2; ++i) QueueSetPins(MclrPicRun | prog | s);
        FlushOutput();
        return;
    }
    QueueSetPins(MclrPicReset | prog | s);
    FlushOutput();
    QueueSetPins(MclrPicRun | prog | s);
    FlushOutput();
}

void tUSBSPIcomms::ExitProgramMode() {
    const uint16_t s = TotalIOStaticState;
    QueueSetPins(MclrPicRun | s);
    FlushOutput();
    QueueSetPins(MclrPicReset | s);
    FlushOutput();
    QueueSetPins(MclrPicRun | s);
    FlushOutput();
}

void tUSBSPIcomms::LoadProgramWord(uint16_t w) {
    if (IsPic18()) return;
    SendCommandBits(Pic16LoadData, Pic16CommandBits, false, true);
    SendDataWord(uint16_t((w * 2) & 0x7FFE), true);
}

uint16_t tUSBSPIcomms::ReadProgramWord() {
    if (IsPic18()) return 0;
    SendCommandBits(Pic16ReadData, Pic16CommandBits, true, false);
    QueueReadTwoBytes();
    FlushOutput();
    if (!WaitForQueued(2, ReadTimeoutMs)) {
        FLastReadComplete = false;
        return 0;
    }
    Fetch_USB_In_Buffer(2);
    return uint16_t(((USBInBuffer[1] & 0x7F) << 7) | ((USBInBuffer[0] >> 1) & 0x7F));
}

void tUSBSPIcomms::LoadConfigurationWord(uint16_t w) {
    SendCommandBits(Pic16LoadConfiguration, Pic16CommandBits, false, true);
    SendDataWord(uint16_t((w * 2) & 0x7FFE), true);
}

void tUSBSPIcomms::IncrementAddress() {
    if (IsPic18()) return;
    SendCommandBits(Pic16Increment, Pic16CommandBits, false, true);
}
