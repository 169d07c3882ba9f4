// Erase, write and read of the selected PIC18's program memory, ID and configuration locations.
#include <algorithm>

#include "Clock.h"
#include "D2XXUnit.h"
#include "MpsseCommands.h"
#include "USBSPI.h"

namespace {

// PIC18 four-bit ICSP commands.
constexpr uint8_t TableReadPostIncrement = 0x9;
constexpr uint8_t TableWritePostIncrement = 0xD;
constexpr uint8_t TableWriteStartProgramming = 0xF;

// PIC18 core instructions on EECON1.
constexpr uint16_t BsfEepgd = 0x8EA6, BsfCfgs = 0x8CA6, BsfWren = 0x84A6, BsfFree = 0x88A6, BsfWr = 0x82A6;
constexpr uint16_t BcfCfgs = 0x9CA6, BcfWren = 0x94A6;
constexpr uint16_t MovlwBase = 0x0E00;
constexpr uint16_t MovwfTblptrU = 0x6EF8, MovwfTblptrH = 0x6EF7, MovwfTblptrL = 0x6EF6;

constexpr uint32_t IdAddress = 0x200000;
constexpr uint32_t ConfigAddress = 0x300000;
constexpr uint32_t DeviceIdAddress = 0x3FFFFE;
constexpr int IdBytes = 8, ConfigBytes = 14, DeviceIdBytes = 2;
constexpr int EraseStepBytes = 32;  // each 64-byte row is erased twice
constexpr int WriteBlockWords = 32;  // one 64-byte write buffer
constexpr int ReadBlockBytes = 64;
constexpr uint64_t ReadTimeoutMs = 1000;
// The configuration block: eight ID words, seven configuration words, the device id.
constexpr size_t ConfigBlockWords = 16, ConfigBlockWritten = 15;

// Flash size of each PIC18 part, in bytes.
uint32_t FlashBytes(tPicType Type) {
    switch (Type) {
        case PIC18f8722: return 128 * 1024;
        case PIC18f4620: return 64 * 1024;
        case PIC18f2420: return 16 * 1024;
        case PIC18f4321: return 8 * 1024;
        default: return 0;
    }
}

// Configuration written after an erase: word n holds CONFIGn+1 (low byte L, high byte H). CONFIG4L
// 0x85 keeps low-voltage programming on; CONFIG5 to CONFIG7 leave every block unprotected.
struct tConfigurationDefaults {
    tPicType Type;
    uint16_t Words[7];
};
constexpr tConfigurationDefaults ConfigurationDefaults[] = {
    {PIC18f8722, {0x07FF, 0x1F1F, 0x83F3, 0xFF85, 0xC0FF, 0xE0FF, 0x40FF}},
    {PIC18f4620, {0x07FF, 0x1F1F, 0x83FF, 0xFF85, 0xC00F, 0xE00F, 0x400F}},
    {PIC18f2420, {0x07FF, 0x1F1F, 0x83FF, 0xFF85, 0xC00F, 0xE00F, 0x400F}},
    {PIC18f4321, {0x07FF, 0x1F1F, 0x83FF, 0xFF85, 0xC003, 0xE003, 0x4003}},
};

const uint16_t* DefaultsFor(tPicType Type) {
    for (const auto& row : ConfigurationDefaults)
        if (row.Type == Type) return row.Words;
    return nullptr;
}

}  // namespace

// CONFIG1L..CONFIG7H, one byte at a time from the seven words (low half to the even address);
// configuration access must already be selected.
void tUSBSPIcomms::WriteConfigurationBytes(const uint16_t* Words) {
    SendCoreInstruction(MovlwBase | (ConfigAddress >> 16));
    SendCoreInstruction(MovwfTblptrU);
    SendCoreInstruction(MovlwBase | 0x00);
    SendCoreInstruction(MovwfTblptrH);
    for (int k = 0; k < ConfigBytes; ++k) {
        SendCoreInstruction(uint16_t(MovlwBase | k));
        SendCoreInstruction(MovwfTblptrL);
        SendPic18Command(TableWriteStartProgramming, Words[k / 2], false);
        ProgrammingHold();
        SendDataWord(0, true);
    }
}

void tUSBSPIcomms::BulkErase(bool CodeProtected, int32_t /*TopAddress*/) {
    EnterProgramMode();
    if (!IsPic18()) {
        BulkErasePic16(CodeProtected);
        ExitProgramMode();
        return;
    }
    SendCoreInstruction(BsfEepgd);
    SendCoreInstruction(BcfCfgs);
    SendCoreInstruction(BsfWren, true);

    const uint32_t size = FlashBytes(FPicType);
    for (uint32_t a = 0; a < size; a += EraseStepBytes) {
        SetTablePointer(a);
        SendCoreInstruction(BsfFree);
        SendCoreInstruction(BsfWr);
        ProgrammingHold();
        SendDataWord(0, true);
        Progress(int32_t(a / 2));
    }
    SetTablePointer(IdAddress);
    SendCoreInstruction(BsfFree);
    SendCoreInstruction(BsfWr);
    ProgrammingHold();
    SendDataWord(0, true);

    if (const uint16_t* defaults = DefaultsFor(FPicType)) {
        SendCoreInstruction(BsfEepgd);
        SendCoreInstruction(BsfCfgs);
        SendCoreInstruction(BsfWren);
        WriteConfigurationBytes(defaults);
    }
    SendCoreInstruction(BcfWren, true);
    ExitProgramMode();
}

void tUSBSPIcomms::WriteProgramData(std::span<const uint16_t> Data, int32_t Count) {
    if (Count <= 0) return;
    const int32_t n = std::min<int32_t>(Count, int32_t(Data.size()));
    if (!IsPic18()) {
        if (FPicType == PIC16f877)
            WriteProgramDataPic16(Data, n, Count);
        else
            WriteProgramDataPic16a(Data, n, Count);
        return;
    }
    Status("Erasing...");
    BulkErase(false, Count);
    Status("Programming...");
    EnterProgramMode();
    SendCoreInstruction(BsfEepgd);
    SendCoreInstruction(BsfCfgs);
    SendCoreInstruction(BsfWren, true);
    SendCoreInstruction(BsfEepgd);
    SendCoreInstruction(BcfCfgs);
    // Whole 64-byte blocks up to and including word Count; words past the array are left blank.
    auto word = [&](int32_t i) -> uint16_t { return i < int32_t(Data.size()) ? Data[size_t(i)] : 0xFFFF; };
    for (int32_t b = 0; b <= Count / WriteBlockWords; ++b) {
        SetTablePointer(uint32_t(64 * b));
        for (int j = 0; j < WriteBlockWords - 1; ++j)
            SendPic18Command(TableWritePostIncrement, word(WriteBlockWords * b + j), false);
        SendPic18Command(TableWriteStartProgramming, word(WriteBlockWords * b + WriteBlockWords - 1), false);
        ProgrammingHold();
        SendDataWord(0, true);
        Progress(WriteBlockWords * (b + 1));
    }
    SendCoreInstruction(BcfWren, true);
    ExitProgramMode();
}

void tUSBSPIcomms::ReadProgramData(std::span<uint16_t> Data, int32_t Count) {
    if (Count <= 0) return;
    const int32_t n = std::min<int32_t>(Count, int32_t(Data.size()));
    FLastReadComplete = true;
    EnterProgramMode();
    if (!IsPic18()) {
        ReadProgramDataPic16(Data, n);
        ExitProgramMode();
        return;
    }
    Status("Reading...");
    const int32_t totalBytes = 2 * n;
    int32_t stored = 0;  // bytes stored so far
    for (int32_t start = 0, block = 1; start < totalBytes; start += ReadBlockBytes, ++block) {
        const int32_t bytes = std::min(ReadBlockBytes, totalBytes - start);
        SetTablePointer(uint32_t(start));
        for (int32_t i = 0; i < bytes; ++i) {
            SendCommandBits(TableReadPostIncrement, 4, true, false);
            QueueReadTwoBytes();
        }
        FlushOutput();
        const DWORD expected = DWORD(2 * bytes);
        if (!WaitForQueued(expected, ReadTimeoutMs)) {
            FLastReadComplete = false;
            Status("Stuck reading, " + std::to_string(USBRxQueueBytes) + "/" + std::to_string(expected) +
                   "  Loop num=" + std::to_string(block));
            ExitProgramMode();
            return;
        }
        Fetch_USB_In_Buffer(expected);
        for (int32_t i = 0; i < bytes; ++i, ++stored) {
            const uint8_t memoryByte = USBInBuffer[2 * i + 1];  // the second of each pair
            uint16_t& w = Data[size_t(stored / 2)];
            w = (stored % 2 == 0) ? uint16_t((w & 0xFF00) | memoryByte) : uint16_t((w & 0x00FF) | (memoryByte << 8));
        }
        Progress(stored / 2);
    }
    ExitProgramMode();
}

void tUSBSPIcomms::ReadConfigurationData(std::span<uint16_t> Data) {
    FLastReadComplete = true;
    if (!IsPic18()) {
        ReadConfigurationPic16(Data);
        return;
    }
    if (Data.size() < ConfigBlockWords) return;
    EnterProgramMode();
    const struct {
        uint32_t Address;
        int Bytes;
    } regions[] = {{IdAddress, IdBytes}, {ConfigAddress, ConfigBytes}, {DeviceIdAddress, DeviceIdBytes}};
    int reads = 0;
    for (const auto& region : regions) {
        SetTablePointer(region.Address);
        for (int i = 0; i < region.Bytes; ++i, ++reads) {
            SendCommandBits(TableReadPostIncrement, 4, true, false);
            QueueReadTwoBytes();
        }
    }
    FlushOutput();
    const DWORD expected = DWORD(2 * reads);
    if (!WaitForQueued(expected, ReadTimeoutMs)) {
        FLastReadComplete = false;
        Status("Stuck reading configuration, " + std::to_string(USBRxQueueBytes) + "/" + std::to_string(expected));
        ExitProgramMode();
        return;
    }
    Fetch_USB_In_Buffer(expected);
    auto byteAt = [](int i) { return USBInBuffer[2 * i + 1]; };
    for (int i = 0; i < IdBytes; ++i) Data[size_t(i)] = byteAt(i);
    for (int k = 0; k < ConfigBytes / 2; ++k)
        Data[size_t(8 + k)] = uint16_t(byteAt(IdBytes + 2 * k) | (byteAt(IdBytes + 2 * k + 1) << 8));
    Data[15] = uint16_t(byteAt(IdBytes + ConfigBytes) | (byteAt(IdBytes + ConfigBytes + 1) << 8));
    ExitProgramMode();
}

void tUSBSPIcomms::WriteConfigurationData(std::span<const uint16_t> Data, int32_t Count) {
    if (Count < 8 || Count > int32_t(Data.size())) return;
    if (!IsPic18()) {
        if (FPicType == PIC16f877)
            WriteConfigurationPic16(Data);
        else
            WriteConfigurationPic16a(Data);
        return;
    }
    // The configuration words follow the ID words: the block must hold them all.
    if (Data.size() < ConfigBlockWritten) return;
    EnterProgramMode();
    SendCoreInstruction(BsfEepgd);
    SendCoreInstruction(BsfCfgs);
    SendCoreInstruction(BsfWren);
    SendCoreInstruction(BsfEepgd);
    SendCoreInstruction(BcfCfgs);
    SetTablePointer(IdAddress);
    auto pair = [&](int k) { return uint16_t((Data[size_t(k + 1)] << 8) | (Data[size_t(k)] & 0xFF)); };
    SendPic18Command(TableWritePostIncrement, pair(0), false);
    SendPic18Command(TableWritePostIncrement, pair(2), false);
    SendPic18Command(TableWritePostIncrement, pair(4), false);
    SendPic18Command(TableWriteStartProgramming, pair(6), false);
    ProgrammingHold();
    SendDataWord(0, true);

    SendCoreInstruction(BsfEepgd);
    SendCoreInstruction(BsfCfgs);
    WriteConfigurationBytes(Data.data() + 8);
    SendCoreInstruction(BcfWren, true);
    ExitProgramMode();
}
