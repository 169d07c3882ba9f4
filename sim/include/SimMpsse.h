// The MPSSE engine of channel A: it executes the command stream the host writes while the channel
// is in MPSSE mode and drives the 16 pins (ADBUS0-7 low byte, ACBUS0-7 high byte).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

struct tSimPinChange {
    uint64_t TimeUs;
    uint16_t Value;
    uint16_t Direction;  // 1 = output
};

// What hangs on the programming lines: told of every pin command, and clocked bit by bit.
class tSimIcspLines {
public:
    virtual ~tSimIcspLines() = default;
    virtual void PinsSet(uint16_t Levels) = 0;
    // One PGC cycle with the host's data bit; returns the PGD level the targets drive.
    virtual uint8_t ClockCycle(uint8_t DataBit) = 0;
};

class tSimMpsse {
public:
    using tReplySink = std::function<void(const std::vector<uint8_t>& Bytes)>;
    // Called with the new pin levels after every change of the pin outputs.
    using tPinListener = std::function<void(uint16_t Levels)>;

    explicit tSimMpsse(tReplySink Sink) : Reply(std::move(Sink)) {}

    // Resets the engine, as a change of bit mode does.
    void Reset();
    void Receive(const uint8_t* Bytes, size_t Count);

    // The level each line shows: an output drives its value; an input floats high (pulled up).
    uint16_t Levels() const { return uint16_t((Value & Direction) | uint16_t(~Direction)); }

    uint16_t Value = 0;
    uint16_t Direction = 0;
    uint16_t Divisor = 0;
    bool Loopback = false;
    std::vector<tSimPinChange> PinHistory;
    bool KeepPinHistory = true;
    tPinListener OnPinsChanged;
    tSimIcspLines* Lines = nullptr;
    // Bad commands the engine swallows without its usual answer (a fault).
    std::vector<uint8_t> UnansweredBadCommands;
    // Work done, for the hardware timing model.
    uint64_t ClockedBits = 0;
    uint64_t CommandsExecuted = 0;

private:
    // Bytes a command needs after its opcode, or -1 when the opcode is not a command.
    int CommandLength(uint8_t Opcode, const uint8_t* Rest, size_t Available, bool& Complete) const;
    void Execute(const std::vector<uint8_t>& Command);
    void SetPins(uint16_t NewValue, uint16_t NewDirection);
    void Shift(const std::vector<uint8_t>& Command);

    tReplySink Reply;
    std::vector<uint8_t> Pending;  // a command cut between two writes
};
