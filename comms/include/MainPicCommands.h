// The command bytes of the instrument's main PIC on channel B, and its acknowledge byte. The host
// and the simulated instrument both take them from here.
#pragma once

#include <cstdint>

constexpr uint8_t MainPicAckByte = 0xAA;

enum tMainPicCommand : uint8_t {
    CmdSignOn = 0x00,             // 7 characters, no acknowledge
    CmdPcbId = 0x02,              // 6 bytes, no acknowledge
    CmdPing = 0x0B,               // the acknowledge alone
    CmdProgramState = 0x14,       // 1 byte
    CmdPCMasterMode = 0x15,       // 1 argument byte: 1 on, 0 off
    CmdTopLevelVersion = 0x16,    // 7 bytes
    CmdGsn = 0x19,                // 3 bytes
    CmdAllVersions = 0x1E,        // 32 bytes
    CmdDoseReset = 0x28,
    CmdDoseErase = 0x29,          // an acknowledge per row pair, then one more
    CmdDoseProgram = 0x2A,        // 512 blocks of 32 bytes, each acknowledged
    CmdDoseRead = 0x2B,           // 256 blocks of 64 bytes
    CmdDoseProgramConfig = 0x2C,  // 30 argument bytes
    CmdDoseReadConfig = 0x2D,     // 32 bytes
    CmdKeypadReset = 0x6E,
    CmdKeypadErase = 0x6F,
    CmdKeypadProgram = 0x70,      // 128 blocks of 64 bytes, each acknowledged
    CmdKeypadRead = 0x71,         // 128 blocks of 64 bytes
    CmdKeypadProgramConfig = 0x72,  // 32 argument bytes
    CmdKeypadReadConfig = 0x73,   // 32 bytes
};
