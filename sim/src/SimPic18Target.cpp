#include "SimPic18Target.h"

#include <cstring>

namespace {

constexpr uint16_t PinClock = 0x0001, PinData = 0x0002;
constexpr uint32_t RowBytes = 64;

// EECON1 bits.
constexpr uint8_t Eepgd = 0x80, Cfgs = 0x40, Free = 0x10, Wren = 0x04, Wr = 0x02;
constexpr uint8_t Eecon1Address = 0xA6;

// Four-bit commands.
enum : uint8_t {
    CoreInstructionCmd = 0x0,
    ShiftOutTablat = 0x2,
    TableRead = 0x8,
    TableReadPostIncrement = 0x9,
    TableReadPostDecrement = 0xA,
    TableReadPreIncrement = 0xB,
    TableWrite_ = 0xC,
    TableWritePostIncrement = 0xD,
    TableWritePostIncrementStart = 0xE,
    TableWriteStart = 0xF,
};

}  // namespace

tSimPic18Target::tSimPic18Target(tSimPicMemory& TargetMemory, uint16_t MclrLine, uint16_t PgmLine)
    : Memory(TargetMemory), Mclr(MclrLine), Pgm(PgmLine) {
    std::memset(WriteBuffer, 0xFF, sizeof WriteBuffer);
}

void tSimPic18Target::EnterProgramMode() {
    ProgramMode = true;
    InPayload = false;
    BitCount = 0;
    Command = 0;
    Payload = 0;
    Eecon1 = 0;
    Tblptr = 0;
    Pending = tPending::None;
    std::memset(WriteBuffer, 0xFF, sizeof WriteBuffer);
}

void tSimPic18Target::PinsSet(uint16_t Levels) {
    const bool mclr = Levels & Mclr, pgm = Levels & Pgm, clock = Levels & PinClock;
    if (!mclr) {
        Reset = true;
        ProgramMode = false;
    } else if (!LastMclr) {
        Reset = false;
        if (pgm)
            EnterProgramMode();
        else if (OnRun)
            OnRun();
    }
    LastMclr = mclr;

    if (clock && !LastClock) {
        HighCommands = 1;
    } else if (clock) {
        ++HighCommands;
    } else if (LastClock) {
        if (ProgramMode) Latch((Levels & PinData) ? 1 : 0, HighCommands);
        HighCommands = 0;
    }
    LastClock = clock;
}

uint8_t tSimPic18Target::ClockCycle(uint8_t DataBit) {
    if (!ProgramMode) return 0;
    const uint8_t out = OutputBit();
    Latch(DataBit, 0);
    HighCommands = 0;
    return out;
}

uint8_t tSimPic18Target::OutputBit() const {
    if (!InPayload || !IsRead() || BitCount < 8) return 0;
    return (Tablat >> (BitCount - 8)) & 1;
}

void tSimPic18Target::Latch(uint8_t Bit, int Hold) {
    if (!InPayload) {
        Command = uint8_t(Command | (Bit << BitCount));
        if (++BitCount < 4) return;
        // The fourth clock of any command ends a write or erase begun by the one before.
        if (Pending != tPending::None) RunPending(Hold);
        InPayload = true;
        BitCount = 0;
        Payload = 0;
        if (Command == TableRead || Command == TableReadPostIncrement || Command == TableReadPostDecrement)
            Tablat = Memory.Read(Tblptr);
        if (Command == TableReadPreIncrement) Tablat = Memory.Read(++Tblptr);
        return;
    }
    if (!IsRead()) Payload = uint16_t(Payload | (Bit << BitCount));
    if (++BitCount < 16) return;
    Execute();
    InPayload = false;
    BitCount = 0;
    Command = 0;
}

void tSimPic18Target::Execute() {
    switch (Command) {
        case CoreInstructionCmd: CoreInstruction(Payload); break;
        case TableReadPostIncrement: ++Tblptr; break;
        case TableReadPostDecrement: --Tblptr; break;
        case TableWrite_: TableWrite(false); break;
        case TableWritePostIncrement:
            TableWrite(false);
            Tblptr += 2;
            break;
        case TableWritePostIncrementStart:
            TableWrite(true);
            Tblptr += 2;
            break;
        case TableWriteStart: TableWrite(true); break;
        default: break;
    }
    Tblptr &= 0x3FFFFF;
}

void tSimPic18Target::CoreInstruction(uint16_t I) {
    if ((I & 0xFF00) == 0x0E00) {  // MOVLW
        W = uint8_t(I);
    } else if (I == 0x6EF8) {  // MOVWF TBLPTRU
        Tblptr = (Tblptr & 0x00FFFF) | (uint32_t(W & 0x3F) << 16);
    } else if (I == 0x6EF7) {  // MOVWF TBLPTRH
        Tblptr = (Tblptr & 0x3F00FF) | (uint32_t(W) << 8);
    } else if (I == 0x6EF6) {  // MOVWF TBLPTRL
        Tblptr = (Tblptr & 0x3FFF00) | W;
    } else if ((I & 0xE100) == 0x8000 && (I & 0xFF) == Eecon1Address) {  // BSF / BCF EECON1, bit
        const uint8_t bit = uint8_t(1u << ((I >> 9) & 7));
        if (I & 0x1000) {
            Eecon1 &= uint8_t(~bit);
        } else {
            Eecon1 |= bit;
            if (bit == Wr && (Eecon1 & Wren) && (Eecon1 & Free)) {
                Pending = tPending::EraseRow;
                PendingAddress = Tblptr;
            }
        }
    }
}

void tSimPic18Target::TableWrite(bool StartProgramming) {
    const uint8_t low = uint8_t(Payload), high = uint8_t(Payload >> 8);
    if (Eecon1 & Cfgs) {
        // Configuration bytes are written one at a time: the even address takes the low half.
        if (StartProgramming) {
            Pending = tPending::WriteConfig;
            PendingAddress = Tblptr;
            PendingValue = (Tblptr & 1) ? high : low;
        }
        return;
    }
    const uint32_t at = Tblptr & (RowBytes - 1);
    WriteBuffer[at] = low;
    WriteBuffer[(at + 1) & (RowBytes - 1)] = high;
    if (StartProgramming) {
        Pending = tPending::WriteRow;
        PendingAddress = Tblptr & ~(RowBytes - 1);
    }
}

void tSimPic18Target::RunPending(int Hold) {
    const tPending pending = Pending;
    Pending = tPending::None;
    Eecon1 &= uint8_t(~(Wr | Free));
    if (Hold < RequiredHoldCommands) {
        ++HoldsTooShort;  // the write time was not given: nothing takes
        if (pending == tPending::WriteRow) std::memset(WriteBuffer, 0xFF, sizeof WriteBuffer);
        return;
    }
    switch (pending) {
        case tPending::EraseRow:
            Memory.EraseRow(PendingAddress, RowBytes);
            ++RowErases;
            break;
        case tPending::WriteRow:
            for (uint32_t i = 0; i < RowBytes; ++i) Memory.Program(PendingAddress + i, WriteBuffer[i]);
            std::memset(WriteBuffer, 0xFF, sizeof WriteBuffer);
            ++RowWrites;
            break;
        case tPending::WriteConfig:
            if (PendingAddress >= tSimPicMemory::ConfigAddress)
                Memory.SetConfig(PendingAddress - tSimPicMemory::ConfigAddress, PendingValue);
            break;
        case tPending::None: break;
    }
}
