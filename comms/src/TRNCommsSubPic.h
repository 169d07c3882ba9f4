// How the main PIC programs the keypad and dosimeter PICs for the host: command codes, block
// sizes, timeouts, the names of the waits and the log texts of each.
#pragma once

#include <cstdint>
#include <string>

#include "TRNCommsUnit.h"

struct tMaskedConfigWord {
    size_t Word;
    uint16_t Mask;
};

struct tSubPicProtocol {
    const char* ProcessorName;  // "Programming ..." line
    const char* LinkName;       // in "ProgramMemory(...)" and the other command lines
    const char* EraseLinePrefix;
    uint8_t EraseCommand, ProgramCommand, ReadCommand, ConfigCommand, ReadConfigCommand, ResetCommand;
    int TimeoutSecs;
    int EraseAcks;
    int ProgramBlocks, ProgramBlockBytes, ProgramProgressStep;
    int ReadBlocks, ReadBlockBytes, ReadProgressStep;
    int ConfigBytesSent;
    int ConfigWordsCompared;
    tMaskedConfigWord MaskedConfigWords[3];
    bool FlushBeforeRead;
    bool LogWordsToCompare;
    const char* EraseAckName;
    const char* EraseEndAckName;
    std::string (*ProgramBlockAckName)(int Block);
    const char* ProgramEndAckName;
    std::string (*ReadBlockName)(int Block);
    const char* ReadEndAckName;
    const char* ConfigAckName;
    const char* ReadConfigName;
    const char* ResetAckName;
    std::string (*ConfigDetailPrefix)(int Word);
};

extern const tSubPicProtocol DosimeterProtocol;
extern const tSubPicProtocol KeypadProtocol;
