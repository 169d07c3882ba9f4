// Scripted faults of the simulated instrument, chosen per test.
#pragma once

#include <cstdint>
#include <string>

enum class tSimReplyFaultKind {
    Silent,       // the command is taken but nothing comes back
    Late,         // the whole reply comes DelayMs late
    WrongAck,     // the acknowledge byte is AckByte instead of 0xAA
    ShortReply,   // only the first KeepBytes bytes of the reply come back
};

// A fault on the main PIC's answer to one command code (or every command, with Command -1).
struct tSimReplyFault {
    int Command = -1;
    tSimReplyFaultKind Kind = tSimReplyFaultKind::Silent;
    uint32_t DelayMs = 0;
    uint8_t AckByte = 0x55;
    size_t KeepBytes = 0;
    int Times = -1;        // how many answers it spoils; -1 every one
    int SkipAnswers = 0;   // matching answers that still come right first
};

// A driver call that fails with Status (named as in the D2XX table, e.g. "FT_GetQueueStatus").
struct tSimDriverFault {
    std::string Call;
    uint32_t Status = 4;  // FT_IO_ERROR
    int AfterCalls = 0;   // calls of that name that still succeed first
    int Times = -1;       // -1: every later call fails
};
