// MPSSE opcodes of the FT2232D (FTDI AN_108) and the ICSP pins of the programmer.
#pragma once

#include <cstdint>

enum : uint8_t {
    MpsseBytesOutRisingLsb = 0x18,  // length low, high = count - 1, then the bytes
    MpsseBitsOutRisingLsb = 0x1A,   // length = bits - 1, then the byte
    MpsseBytesInFallingLsb = 0x2C,  // length low, high = count - 1
    MpsseSetLowByte = 0x80,
    MpsseSetHighByte = 0x82,
    MpsseLoopbackOff = 0x85,
    MpsseSetDivisor = 0x86,
    MpsseBadCommand = 0xFA,
};

// Fixed pin roles: PGC is the MPSSE clock, PGD is driven through DO and read back through DI.
constexpr uint16_t PinClock = 0x0001;  // C
constexpr uint16_t PinDataOut = 0x0002;  // D
constexpr uint16_t PinDataIn = 0x0004;
