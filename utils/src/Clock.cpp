#include "Clock.h"

#include <chrono>
#include <thread>

uint64_t tSystemClock::NowMs() { return NowUs() / 1000; }

uint64_t tSystemClock::NowUs() {
    using namespace std::chrono;
    return uint64_t(duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count());
}

void tSystemClock::SleepMs(uint32_t Ms) { std::this_thread::sleep_for(std::chrono::milliseconds(Ms)); }

namespace {
tSystemClock SystemClock;
tClock* CurrentClock = &SystemClock;
}  // namespace

tClock& Clock() { return *CurrentClock; }

void SetClock(tClock* NewClock) { CurrentClock = NewClock ? NewClock : &SystemClock; }
