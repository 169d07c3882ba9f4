// The USB bus of the simulated instruments, as a D2XX driver: it lists every channel of every
// plugged instrument and opens, reads and writes them with D2XX's queue, timeout and purge rules
// on the shared clock. Several instruments may be plugged at once.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "D2XXBackend.h"
#include "SimFaults.h"
#include "SimulatedInstrument.h"

// What crossed the bus, and what it would have cost on a full-speed FT2232D: 64-byte OUT packets,
// IN packets of 62 data bytes and 2 status bytes, about 19 bulk packets per 1 ms frame, a reply's
// short tail held until the latency timer expires, and the MPSSE clock from its divisor.
struct tSimUsbTiming {
    bool Enabled = false;
    uint64_t Writes = 0, BytesOut = 0;
    uint64_t Replies = 0, BytesIn = 0;
    double ModeledUs = 0;  // the time the same transfers take on the hardware
    double FloorUs = 0;    // bytes over the bus's top rate alone, both ways
};

class tSimulatedBus : public tD2XXBackend {
public:
    // Adds an instrument to the bus, unplugged. Each gets its own location id.
    std::shared_ptr<tSimulatedInstrument> AddInstrument(const tSimInstrumentOptions& Options = {});
    void Plug(const std::shared_ptr<tSimulatedInstrument>& Instrument);
    void Unplug(const std::shared_ptr<tSimulatedInstrument>& Instrument);

    std::vector<tSimDriverFault> DriverFaults;
    // Called after every plug or unplug, as a USB arrival or removal notice.
    std::function<void()> OnDeviceChange;
    // Names of every driver call made, in order.
    std::vector<std::string> Calls;
    bool KeepCallNames = true;
    // Every write with its channel, when asked for.
    bool RecordWrites = false;
    std::vector<std::pair<int, std::vector<uint8_t>>> Writes;
    tSimUsbTiming Timing;

    FT_STATUS ListChannels(std::vector<tD2XXChannelInfo>& Channels) override;
    FT_STATUS OpenChannel(size_t Index, FT_HANDLE* Handle) override;
    FT_STATUS Close(FT_HANDLE Handle) override;
    FT_STATUS Read(FT_HANDLE Handle, uint8_t* Buffer, DWORD Count, DWORD* Returned) override;
    FT_STATUS Write(FT_HANDLE Handle, const uint8_t* Buffer, DWORD Count, DWORD* Written) override;
    FT_STATUS SetBaudRate(FT_HANDLE Handle, ULONG BaudRate) override;
    FT_STATUS SetDataCharacteristics(FT_HANDLE Handle, UCHAR WordLength, UCHAR StopBits, UCHAR Parity) override;
    FT_STATUS Purge(FT_HANDLE Handle, ULONG Mask) override;
    FT_STATUS SetTimeouts(FT_HANDLE Handle, ULONG ReadMs, ULONG WriteMs) override;
    FT_STATUS GetQueueStatus(FT_HANDLE Handle, DWORD* RxBytes) override;
    FT_STATUS SetLatencyTimer(FT_HANDLE Handle, UCHAR Ms) override;
    FT_STATUS SetBitMode(FT_HANDLE Handle, UCHAR Mask, UCHAR Mode) override;
    FT_STATUS ReadEeprom(FT_HANDLE Handle, tFtdiEepromImage& Image) override;
    FT_STATUS WriteEeprom(FT_HANDLE Handle, const tFtdiEepromImage& Old, const tFtdiEepromImage& New) override;
    FT_STATUS ResetPort(FT_HANDLE Handle) override;
    FT_STATUS CyclePort(FT_HANDLE Handle) override;

private:
    struct tHandle {
        std::shared_ptr<tSimulatedInstrument> Instrument;
        int Channel;
    };
    // The call's scripted failure, if one is due; FT_OK otherwise.
    FT_STATUS Fault(const char* Call);
    // The open channel behind a handle, or nullptr when the handle is unknown.
    tHandle* Find(FT_HANDLE Handle);
    // FT_OK when the handle's instrument is still on the bus.
    FT_STATUS Check(FT_HANDLE Handle, const char* Call, tHandle*& Out);
    void ModelTransfer(tSimulatedInstrument& Instrument, int Channel, DWORD Count, size_t RepliesBefore,
                       uint64_t ClockedBefore);

    std::vector<std::shared_ptr<tSimulatedInstrument>> Instruments;
    std::vector<std::unique_ptr<tHandle>> Handles;
    std::vector<std::pair<std::string, int>> CallCounts;
};
