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
    tPinListener OnPinsChanged;

private:
    // Bytes a command needs after its opcode, or -1 when the opcode is not a command.
    int CommandLength(uint8_t Opcode, const uint8_t* Rest, size_t Available, bool& Complete) const;
    void Execute(const std::vector<uint8_t>& Command);
    void SetPins(uint16_t NewValue, uint16_t NewDirection);

    tReplySink Reply;
    std::vector<uint8_t> Pending;  // a command cut between two writes
};
