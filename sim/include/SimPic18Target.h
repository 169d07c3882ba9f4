// A PIC18 on the in-circuit programming lines: low-voltage entry (PGM high while MCLR is low, then
// MCLR released), 4-bit commands with 16-bit payloads latched on the falling edge of PGC, the core
// instructions the programmer uses, table reads and writes through a 64-byte write buffer, row
// erase, and the programming hold that lets a write or erase take.
#pragma once

#include <cstdint>
#include <functional>

#include "SimPicMemory.h"

class tSimPic18Target {
public:
    tSimPic18Target(tSimPicMemory& TargetMemory, uint16_t MclrLine, uint16_t PgmLine);

    // Every pin command: levels of the 16 lines (PGC bit 0, PGD from the host bit 1).
    void PinsSet(uint16_t Levels);
    // One PGC cycle clocked by the MPSSE engine with the host's data bit; returns the bit this
    // target drives on PGD during the cycle (0 when it drives nothing).
    uint8_t ClockCycle(uint8_t DataBit);

    bool InProgramMode() const { return ProgramMode; }
    bool InReset() const { return Reset; }

    // Called when MCLR is released without PGM: the firmware starts.
    std::function<void()> OnRun;

    // Pin commands the fourth PGC clock of a NOP must stay high for a write or erase to take:
    // about 4 us each on full-speed hardware, against a write time of 1 ms.
    int RequiredHoldCommands = 250;
    int HoldsTooShort = 0;
    int RowErases = 0;
    int RowWrites = 0;

    tSimPicMemory& Memory;
    const uint16_t Mclr, Pgm;

private:
    enum class tPending { None, EraseRow, WriteRow, WriteConfig };

    uint8_t OutputBit() const;
    void Latch(uint8_t Bit, int Hold);
    void Execute();
    void CoreInstruction(uint16_t Instruction);
    void TableWrite(bool StartProgramming);
    void RunPending(int Hold);
    void EnterProgramMode();
    bool IsRead() const { return Command == 0x8 || Command == 0x9 || Command == 0xA || Command == 0xB || Command == 0x2; }

    bool ProgramMode = false;
    bool Reset = false;
    bool LastMclr = true, LastClock = false;
    int HighCommands = 0;

    bool InPayload = false;
    int BitCount = 0;
    uint8_t Command = 0;
    uint16_t Payload = 0;
    uint8_t Tablat = 0;
    uint8_t W = 0;
    uint8_t Eecon1 = 0;
    uint32_t Tblptr = 0;
    uint8_t WriteBuffer[64];
    tPending Pending = tPending::None;
    uint32_t PendingAddress = 0;
    uint8_t PendingValue = 0;
};
