// Programming and verifying a full 128 KB PIC18F8722 image through the simulated instrument: the
// host's CPU time, the USB transfers and bytes, and the time the same transfers take on a
// full-speed FT2232D beside the bus's physical floor.
#include <benchmark/benchmark.h>

#include "Clock.h"
#include "D2XXUnit.h"
#include "SimulatedBus.h"
#include "TRNCommsUnit.h"
#include "support/PicImages.h"

namespace {

void BM_ProgramAndVerifyFullMainPic(benchmark::State& state) {
    tTempDir dir;
    tPicImageSpec spec{.Words = PatternWords(65536)};
    const std::string path = dir.Write("MainPic.hex", PicImageText(spec));
    tSimUsbTiming timing;
    for (auto _ : state) {
        tVirtualClock clock;
        tScopedClock useClock(clock);
        tSimulatedBus bus;
        bus.KeepCallNames = false;
        bus.Timing.Enabled = true;
        auto veltra = bus.AddInstrument();
        veltra->Mpsse.KeepPinHistory = false;
        bus.Plug(veltra);
        Load_Backend_USB_Driver(&bus, tUSBDriverKind::Simulated);
        tTRNComms comms;
        comms.FMainPicHexFilePath = path;
        comms.SetWhichCPU(MainPic);
        if (!comms.LoadHexFile() || !comms.ProgramDevice(false, false)) state.SkipWithError("programming failed");
        timing = bus.Timing;
        Unload_USB_Driver_Library();
    }
    state.counters["usb_writes"] = double(timing.Writes);
    state.counters["bytes_out"] = double(timing.BytesOut);
    state.counters["replies"] = double(timing.Replies);
    state.counters["bytes_in"] = double(timing.BytesIn);
    state.counters["modeled_hw_s"] = timing.ModeledUs / 1e6;
    state.counters["usb_floor_s"] = timing.FloorUs / 1e6;
}
BENCHMARK(BM_ProgramAndVerifyFullMainPic)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
