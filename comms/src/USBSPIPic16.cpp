// The PIC16F877 family's erase, write and read paths: carried for those parts, which the update
// never selects.
#include <algorithm>
#include <cstdio>

#include "Clock.h"
#include "D2XXUnit.h"
#include "USBSPI.h"

namespace {

// PIC16 six-bit commands.
constexpr uint8_t LoadConfiguration = 0x00, LoadData = 0x02, ReadData = 0x04, IncrementAddressCmd = 0x06;
constexpr uint8_t BeginEraseProgramming = 0x08, BulkEraseProgram = 0x09, EndProgramming = 0x17;
constexpr uint8_t BeginProgrammingOnly = 0x18, ChipErase = 0x1F;
constexpr int CommandBits = 6;
constexpr int WriteAttempts = 5;
constexpr int LatchWords = 8;           // the 877A's write latches
constexpr int ProgressEveryWords = 32;
constexpr int ReadBlockWords = 512;
constexpr uint64_t ReadTimeoutMs = 1000;
constexpr int ConfigWordIndex = 7;      // 0x2007 in the configuration layout

uint16_t Pic16Word(uint8_t b0, uint8_t b1) { return uint16_t(((b1 & 0x7F) << 7) | ((b0 >> 1) & 0x7F)); }
uint16_t Pic16Payload(uint16_t w) { return uint16_t((w * 2) & 0x7FFE); }

void ShowMessage(const std::string& Text) {
    if (USBSPIMessageHook)
        USBSPIMessageHook(Text);
    else
        std::fprintf(stderr, "%s\n", Text.c_str());
}

}  // namespace

void tUSBSPIcomms::BulkErasePic16(bool CodeProtected) {
    if (FPicType == PIC16f877) {
        LoadProgramWord(0x3FFF);
        SendCommandBits(BulkEraseProgram, CommandBits, false, true);
        SendCommandBits(BeginProgrammingOnly, CommandBits, false, true);
        DelayMs(15);
        return;
    }
    if (!CodeProtected) {
        SendCommandBits(BulkEraseProgram, CommandBits, false, true);
        SendCommandBits(BeginProgrammingOnly, CommandBits, false, true);
    } else {
        SendCommandBits(ChipErase, CommandBits, false, true);
    }
    DelayMs(10);
}

void tUSBSPIcomms::WriteProgramDataPic16(std::span<const uint16_t> Data, int32_t n, int32_t Count) {
    BulkErase(false, 0x2000);
    EnterProgramMode();
    for (int32_t k = 1; k <= n; ++k) {
        const uint16_t wanted = Data[size_t(k - 1)];
        uint16_t read = 0;
        bool written = false;
        for (int attempt = 0; attempt < WriteAttempts && !written; ++attempt) {
            LoadProgramWord(wanted);
            SendCommandBits(BeginProgrammingOnly, CommandBits, false, true);
            DelayMs(5);
            read = ReadProgramWord();
            written = read == wanted;
        }
        if (!written) {
            char text[96];
            std::snprintf(text, sizeof text, "Failed @ address:%d;  Wrote: %04X, Read: %04X", int(k - 1), wanted, read);
            ShowMessage(text);
            break;
        }
        IncrementAddress();
        if (k % ProgressEveryWords == 0) Progress(k);
    }
    ExitProgramMode();
    Progress(Count);
}

void tUSBSPIcomms::WriteProgramDataPic16a(std::span<const uint16_t> Data, int32_t n, int32_t Count) {
    BulkErase(true, 0x2000);
    EnterProgramMode();
    int latched = 0;
    auto programLatches = [&] {
        SendCommandBits(BeginProgrammingOnly, CommandBits, false, true);
        DelayMs(1);
        SendCommandBits(EndProgramming, CommandBits, false, false);
    };
    for (int32_t k = 1; k <= n; ++k) {
        SendCommandBits(LoadData, CommandBits, false, false);
        SendDataWord(Pic16Payload(Data[size_t(k - 1)]), false);
        if (++latched < LatchWords) {
            SendCommandBits(IncrementAddressCmd, CommandBits, false, false);
        } else {
            latched = 0;
            programLatches();
            SendCommandBits(IncrementAddressCmd, CommandBits, false, true);
        }
        if (k % ProgressEveryWords == 0) Progress(k);
    }
    if (latched > 0) {
        programLatches();
        FlushOutput();
    }
    ExitProgramMode();
    Progress(Count);
}

void tUSBSPIcomms::ReadProgramDataPic16(std::span<uint16_t> Data, int32_t n) {
    int32_t stored = 0;
    while (stored < n) {
        const int32_t words = std::min(ReadBlockWords, n - stored);
        for (int32_t i = 0; i < words; ++i) {
            SendCommandBits(ReadData, CommandBits, true, false);
            QueueReadTwoBytes();
            SendCommandBits(IncrementAddressCmd, CommandBits, false, false);
        }
        FlushOutput();
        if (!WaitForQueued(DWORD(2 * words), ReadTimeoutMs)) {
            FLastReadComplete = false;
            Status("Stuck reading, " + std::to_string(USBRxQueueBytes) + "/" + std::to_string(2 * words));
            return;
        }
        Fetch_USB_In_Buffer(DWORD(2 * words));
        for (int32_t i = 0; i < words; ++i, ++stored)
            Data[size_t(stored)] = Pic16Word(USBInBuffer[2 * i], USBInBuffer[2 * i + 1]);
        Progress(stored);
    }
}

void tUSBSPIcomms::ReadConfigurationPic16(std::span<uint16_t> Data) {
    constexpr int Words = 8;
    if (Data.size() < size_t(Words)) return;
    EnterProgramMode();
    LoadConfigurationWord(0);
    for (int i = 0; i < Words; ++i) {
        SendCommandBits(ReadData, CommandBits, true, false);
        QueueReadTwoBytes();
        SendCommandBits(IncrementAddressCmd, CommandBits, false, false);
    }
    FlushOutput();
    if (WaitForQueued(2 * Words, ReadTimeoutMs)) {
        Fetch_USB_In_Buffer(2 * Words);
        for (int i = 0; i < Words; ++i) Data[size_t(i)] = Pic16Word(USBInBuffer[2 * i], USBInBuffer[2 * i + 1]);
    } else {
        FLastReadComplete = false;
        Status("Stuck reading configuration, " + std::to_string(USBRxQueueBytes) + "/" + std::to_string(2 * Words));
    }
    ExitProgramMode();
}

void tUSBSPIcomms::WriteConfigurationPic16(std::span<const uint16_t> Data) {
    EnterProgramMode();
    SendCommandBits(LoadConfiguration, CommandBits, false, true);
    SendDataWord(0, true);
    auto writeVerified = [&](uint16_t wanted, bool flushLoad) {
        for (int attempt = 0; attempt < WriteAttempts; ++attempt) {
            SendCommandBits(LoadData, CommandBits, false, flushLoad);
            SendDataWord(Pic16Payload(wanted), flushLoad);
            SendCommandBits(BeginEraseProgramming, CommandBits, false, true);
            DelayMs(10);
            if (ReadProgramWord() == wanted) return;
        }
    };
    for (int k = 0; k < 4; ++k) {
        writeVerified(Data[size_t(k)], true);
        SendCommandBits(IncrementAddressCmd, CommandBits, false, true);
    }
    for (int k = 0; k < 3; ++k) SendCommandBits(IncrementAddressCmd, CommandBits, false, true);
    writeVerified(Data[ConfigWordIndex], false);
    ExitProgramMode();
}

void tUSBSPIcomms::WriteConfigurationPic16a(std::span<const uint16_t> Data) {
    EnterProgramMode();
    SendCommandBits(LoadConfiguration, CommandBits, false, false);
    SendDataWord(0, false);
    for (int k = 0; k < 4; ++k) {
        SendCommandBits(LoadData, CommandBits, false, false);
        SendDataWord(Pic16Payload(Data[size_t(k)]), false);
        if (k < 3) SendCommandBits(IncrementAddressCmd, CommandBits, false, false);
    }
    SendCommandBits(BeginEraseProgramming, CommandBits, false, true);
    DelayMs(8);
    for (int k = 0; k < 4; ++k) SendCommandBits(IncrementAddressCmd, CommandBits, false, true);
    SendCommandBits(LoadData, CommandBits, false, false);
    SendDataWord(Pic16Payload(Data[ConfigWordIndex]), false);
    SendCommandBits(BeginEraseProgramming, CommandBits, false, true);
    DelayMs(8);
    ExitProgramMode();
}
