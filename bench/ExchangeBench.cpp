// One command exchange (GetTopLevelVersion) against the simulated instrument on real time: the
// host's cost per exchange, and how much of it the 1 ms polling sleeps of the waits take.
#include <benchmark/benchmark.h>

#include <chrono>

#include "Clock.h"
#include "D2XXUnit.h"
#include "SimulatedBus.h"
#include "TRNCommsUnit.h"

namespace {

// The system clock, keeping account of the time spent in sleeps.
class tSleepCountingClock : public tSystemClock {
public:
    void SleepMs(uint32_t Ms) override {
        const auto start = std::chrono::steady_clock::now();
        tSystemClock::SleepMs(Ms);
        SleptUs += uint64_t(std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start).count());
        ++Sleeps;
    }
    uint64_t SleptUs = 0;
    uint64_t Sleeps = 0;
};

void BM_GetTopLevelVersion(benchmark::State& state) {
    tSleepCountingClock clock;
    tScopedClock useClock(clock);
    tSimulatedBus bus;
    bus.Plug(bus.AddInstrument());
    Load_Backend_USB_Driver(&bus, tUSBDriverKind::Simulated);
    tTRNComms comms;
    comms.FDevicePortBIndex = 1;
    if (!comms.OpenUSBDataPort()) state.SkipWithError("channel B did not open");

    const auto start = std::chrono::steady_clock::now();
    clock.SleptUs = clock.Sleeps = 0;
    for (auto _ : state) benchmark::DoNotOptimize(comms.GetTopLevelVersion());
    const double totalUs =
        double(std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start).count());
    const double n = double(state.iterations());
    state.counters["host_us_per_exchange"] = totalUs / n;
    state.counters["sleep_us_per_exchange"] = double(clock.SleptUs) / n;
    state.counters["sleeps_per_exchange"] = double(clock.Sleeps) / n;
    state.counters["host_us_besides_sleeps"] = (totalUs - double(clock.SleptUs)) / n;
    comms.CloseUSBConnection();
    Unload_USB_Driver_Library();
}
BENCHMARK(BM_GetTopLevelVersion)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
