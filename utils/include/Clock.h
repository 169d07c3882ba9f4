// The one clock service of the program. Every sleep, timeout and time measurement goes through it,
// so that tests and the simulated instrument can run on virtual time while the product keeps its
// real timings.
#pragma once

#include <cstdint>

class tClock {
public:
    virtual ~tClock() = default;
    // Milliseconds since an arbitrary fixed start, monotonic.
    virtual uint64_t NowMs() = 0;
    // Microseconds since the same start; the high-resolution counter.
    virtual uint64_t NowUs() = 0;
    virtual void SleepMs(uint32_t Ms) = 0;
};

// The wall of real time: steady clock and real sleeps.
class tSystemClock : public tClock {
public:
    uint64_t NowMs() override;
    uint64_t NowUs() override;
    void SleepMs(uint32_t Ms) override;
};

// Time that only moves when somebody sleeps or advances it. Sleeping returns at once.
class tVirtualClock : public tClock {
public:
    uint64_t NowMs() override { return NowMicros / 1000; }
    uint64_t NowUs() override { return NowMicros; }
    void SleepMs(uint32_t Ms) override { NowMicros += uint64_t(Ms) * 1000; }
    void AdvanceUs(uint64_t Us) { NowMicros += Us; }

private:
    uint64_t NowMicros = 1'000'000;
};

// The clock in use; the system clock unless one was installed.
tClock& Clock();
// Installs a clock (nullptr restores the system clock). The caller keeps it alive while installed.
void SetClock(tClock* NewClock);

// Counter ticks per second of NowUs, in the manner of a performance-counter frequency.
constexpr uint64_t HighResolutionFrequency = 1'000'000;

// Installs a clock for the life of a scope.
class tScopedClock {
public:
    explicit tScopedClock(tClock& C) { SetClock(&C); }
    ~tScopedClock() { SetClock(nullptr); }
    tScopedClock(const tScopedClock&) = delete;
    tScopedClock& operator=(const tScopedClock&) = delete;
};
