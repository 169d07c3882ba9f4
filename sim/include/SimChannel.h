// One channel of the simulated FTDI chip as the host sees it: a receive queue whose bytes become
// readable at their arrival time on the shared clock, the read and write timeouts, latency timer,
// baud rate and bit mode.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

struct tSimQueuedByte {
    uint8_t Value;
    uint64_t ArrivalUs;
};

class tSimChannel {
public:
    // Bytes the device side sends to the host, readable DelayUs from now.
    void SendToHost(const std::vector<uint8_t>& Bytes, uint64_t DelayUs);
    // Bytes that have arrived by now.
    size_t Arrived() const;
    // Arrival time of the next byte not yet arrived; 0 when none is on its way.
    uint64_t NextArrivalUs() const;
    // Bytes queued for the host, arrived or still on their way.
    size_t Pending() const { return Queue.size(); }
    // Takes up to Count arrived bytes.
    size_t Take(uint8_t* Buffer, size_t Count);
    void PurgeReceive() { Queue.clear(); }

    uint32_t ReadTimeoutMs = 0;
    uint32_t WriteTimeoutMs = 0;
    uint8_t LatencyMs = 16;
    uint32_t BaudRate = 9600;
    uint8_t WordLength = 8, StopBits = 0, Parity = 0;
    uint8_t BitMode = 0, BitMask = 0;
    bool Open = false;

private:
    std::deque<tSimQueuedByte> Queue;
};
