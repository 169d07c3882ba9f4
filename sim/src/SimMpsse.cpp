#include "SimMpsse.h"

#include <algorithm>

#include "Clock.h"

namespace {

// Opcodes of the FT2232D's MPSSE (FTDI AN_108) besides the data-shifting commands.
enum : uint8_t {
    SetLowByte = 0x80,
    ReadLowByte = 0x81,
    SetHighByte = 0x82,
    ReadHighByte = 0x83,
    LoopbackOn = 0x84,
    LoopbackOff = 0x85,
    SetDivisor = 0x86,
    SendImmediate = 0x87,
    BadCommandReply = 0xFA,
};

// Bits of a data-shifting opcode (bit 7 clear).
constexpr uint8_t ShiftBitMode = 0x02, ShiftWrite = 0x10, ShiftRead = 0x20;

// Opcodes of the FT2232D with bit 7 set and the argument bytes each takes.
struct tFixedCommand {
    uint8_t Opcode;
    int Arguments;
};
constexpr tFixedCommand FixedCommands[] = {
    {SetLowByte, 2}, {ReadLowByte, 0}, {SetHighByte, 2},  {ReadHighByte, 0},
    {LoopbackOn, 0}, {LoopbackOff, 0}, {SetDivisor, 2},   {SendImmediate, 0},
};

}  // namespace

void tSimMpsse::Reset() {
    Pending.clear();
    Loopback = false;
}

int tSimMpsse::CommandLength(uint8_t Opcode, const uint8_t* Rest, size_t Available, bool& Complete) const {
    Complete = true;
    if (Opcode & 0x80) {
        for (const auto& c : FixedCommands)
            if (c.Opcode == Opcode) {
                Complete = Available >= size_t(c.Arguments);
                return c.Arguments;
            }
        return -1;
    }
    if (Opcode & ShiftBitMode) {
        const int length = 1 + ((Opcode & ShiftWrite) ? 1 : 0);
        Complete = Available >= size_t(length);
        return length;
    }
    if (Available < 2) {
        Complete = false;
        return 2;
    }
    const int count = (Rest[0] | (Rest[1] << 8)) + 1;
    const int length = 2 + ((Opcode & ShiftWrite) ? count : 0);
    Complete = Available >= size_t(length);
    return length;
}

void tSimMpsse::Receive(const uint8_t* Bytes, size_t Count) {
    Pending.insert(Pending.end(), Bytes, Bytes + Count);
    size_t at = 0;
    while (at < Pending.size()) {
        const uint8_t opcode = Pending[at];
        bool complete = false;
        const int length = CommandLength(opcode, Pending.data() + at + 1, Pending.size() - at - 1, complete);
        if (length < 0) {
            const bool swallowed = std::find(UnansweredBadCommands.begin(), UnansweredBadCommands.end(), opcode) !=
                                   UnansweredBadCommands.end();
            if (!swallowed) Reply({BadCommandReply, opcode});
            ++at;
            continue;
        }
        if (!complete) break;
        Execute(std::vector<uint8_t>(Pending.begin() + long(at), Pending.begin() + long(at) + 1 + length));
        at += size_t(1 + length);
    }
    Pending.erase(Pending.begin(), Pending.begin() + long(at));
}

void tSimMpsse::SetPins(uint16_t NewValue, uint16_t NewDirection) {
    Value = NewValue;
    Direction = NewDirection;
    if (KeepPinHistory) PinHistory.push_back({Clock().NowUs(), Value, Direction});
    if (Lines) Lines->PinsSet(Levels());
    if (OnPinsChanged) OnPinsChanged(Levels());
}

void tSimMpsse::Shift(const std::vector<uint8_t>& C) {
    const uint8_t opcode = C[0];
    const bool bits = opcode & ShiftBitMode, write = opcode & ShiftWrite, read = opcode & ShiftRead;
    const bool lsbFirst = opcode & 0x08;
    const size_t count = bits ? size_t(C[1]) + 1 : size_t(C[1] | (C[2] << 8)) + 1;
    const size_t dataAt = bits ? 2 : 3;
    // The host's own data line level when it does not shift data out.
    const uint8_t idleData = (Levels() & 0x0002) ? 1 : 0;
    std::vector<uint8_t> in;
    auto clockByte = [&](uint8_t out, int nbits) {
        uint8_t got = 0;
        for (int i = 0; i < nbits; ++i) {
            const int bit = lsbFirst ? i : nbits - 1 - i;
            const uint8_t dataBit = write ? uint8_t((out >> bit) & 1) : idleData;
            uint8_t pgd = Lines ? Lines->ClockCycle(dataBit) : 0;
            if (Loopback) pgd = dataBit;
            got = uint8_t(got | (pgd << bit));
            ++ClockedBits;
        }
        return got;
    };
    if (bits) {
        in.push_back(clockByte(write ? C[dataAt] : 0, int(count)));
    } else {
        for (size_t k = 0; k < count; ++k) in.push_back(clockByte(write ? C[dataAt + k] : 0, 8));
    }
    if (read) Reply(in);
}

void tSimMpsse::Execute(const std::vector<uint8_t>& C) {
    const uint8_t opcode = C[0];
    ++CommandsExecuted;
    switch (opcode) {
        case SetLowByte: SetPins(uint16_t((Value & 0xFF00) | C[1]), uint16_t((Direction & 0xFF00) | C[2])); return;
        case SetHighByte:
            SetPins(uint16_t((Value & 0x00FF) | (C[1] << 8)), uint16_t((Direction & 0x00FF) | (C[2] << 8)));
            return;
        case ReadLowByte: Reply({uint8_t(Levels())}); return;
        case ReadHighByte: Reply({uint8_t(Levels() >> 8)}); return;
        case LoopbackOn: Loopback = true; return;
        case LoopbackOff: Loopback = false; return;
        case SetDivisor: Divisor = uint16_t(C[1] | (C[2] << 8)); return;
        case SendImmediate: return;
        default: break;
    }
    Shift(C);
}
