#include "TRNCommsSubPic.h"

#include <cstdio>

#include "MainPicCommands.h"

namespace {
std::string DoseBlockAck(int k) { return "DosePicProgram: Page number  = " + std::to_string(k); }
std::string DoseReadBlock(int k) { return "DosePicRead. Page Number = " + std::to_string(k); }
std::string KeypadBlockAck(int) { return "KeypadPicProgram"; }
std::string KeypadReadBlock(int) { return "KeypadPicRead"; }
std::string DoseConfigDetail(int j) { return std::to_string(j); }
std::string KeypadConfigDetail(int j) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%06X", 0x200000 + j - 1);
    return text;
}
}  // namespace

// The dosimeter PIC18F2420: 16 KB written in 512 blocks of 32 bytes, read in 256 of 64; its
// configuration words 12 to 14 compared only where the part implements bits.
const tSubPicProtocol DosimeterProtocol{
    "DosimeterPic", "DosimeterPIC", "Dosemeter Erasing ",
    CmdDoseErase, CmdDoseProgram, CmdDoseRead, CmdDoseProgramConfig, CmdDoseReadConfig, CmdDoseReset,
    20, 512,
    512, 32, 16,
    256, 64, 32,
    30, 12, {{12, 0xC003}, {13, 0xE003}, {14, 0x4003}},
    false, false,
    "DosePicErase", "DosePicErase_End",
    DoseBlockAck, "DosePicProgram_End",
    DoseReadBlock, "DoesPicRead",
    "DosePicProgramConfig", "DosePicReadConfig", "DosePicReset",
    DoseConfigDetail,
};

// The keypad PIC18F4321: 8 KB in 128 blocks of 64 bytes both ways; configuration compared whole.
const tSubPicProtocol KeypadProtocol{
    "KeypadPic", "KeypadPIC", "KeypadPic Erasing ",
    CmdKeypadErase, CmdKeypadProgram, CmdKeypadRead, CmdKeypadProgramConfig, CmdKeypadReadConfig, CmdKeypadReset,
    1, 256,
    128, 64, 64,
    128, 64, 64,
    32, 15, {{0, 0}, {0, 0}, {0, 0}},
    true, true,
    "KeypadPicErase", "KeypadPicErase_End",
    KeypadBlockAck, "KeyPadPicProgram",
    KeypadReadBlock, "KeyPadPicRead",
    "KeypadPicProgramConfig", "KeypadPicReadConfig", "KeypadPicReset",
    KeypadConfigDetail,
};
