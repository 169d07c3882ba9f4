#include "SimChannel.h"

#include <algorithm>

#include "Clock.h"

void tSimChannel::SendToHost(const std::vector<uint8_t>& Bytes, uint64_t DelayUs) {
    const uint64_t at = Clock().NowUs() + DelayUs;
    // Bytes never overtake each other on the wire.
    const uint64_t after = Queue.empty() ? 0 : Queue.back().ArrivalUs;
    for (uint8_t b : Bytes) Queue.push_back({b, at > after ? at : after});
}

size_t tSimChannel::Arrived() const {
    const uint64_t now = Clock().NowUs();
    size_t n = 0;
    for (const auto& b : Queue) {
        if (b.ArrivalUs > now) break;
        ++n;
    }
    return n;
}

uint64_t tSimChannel::NextArrivalUs() const {
    const uint64_t now = Clock().NowUs();
    for (const auto& b : Queue)
        if (b.ArrivalUs > now) return b.ArrivalUs;
    return 0;
}

size_t tSimChannel::Take(uint8_t* Buffer, size_t Count) {
    const size_t n = std::min(Count, Arrived());
    for (size_t i = 0; i < n; ++i) {
        Buffer[i] = Queue.front().Value;
        Queue.pop_front();
    }
    return n;
}
