#include "SimulatedBus.h"

#include <algorithm>
#include <cmath>

#include "Clock.h"

namespace {
// Location ids of the simulated instruments: one USB port each, channel number in the low bits.
constexpr uint32_t FirstLocation = 0x01000110;
constexpr uint32_t LocationStep = 0x10;
constexpr uint8_t ChannelNumber[2] = {1, 2};
constexpr char ChannelLetter[2] = {'A', 'B'};
}  // namespace

std::shared_ptr<tSimulatedInstrument> tSimulatedBus::AddInstrument(const tSimInstrumentOptions& Options) {
    auto instrument = std::make_shared<tSimulatedInstrument>(Options);
    instrument->LocationBase = FirstLocation + uint32_t(Instruments.size()) * LocationStep;
    std::weak_ptr<tSimulatedInstrument> weak = instrument;
    instrument->OnUnplugRequest = [this, weak] {
        if (auto i = weak.lock()) Unplug(i);
    };
    Instruments.push_back(instrument);
    return instrument;
}

void tSimulatedBus::Plug(const std::shared_ptr<tSimulatedInstrument>& Instrument) {
    Instrument->Plugged = true;
    if (OnDeviceChange) OnDeviceChange();
}

void tSimulatedBus::Unplug(const std::shared_ptr<tSimulatedInstrument>& Instrument) {
    Instrument->Plugged = false;
    for (auto& channel : Instrument->Channels) {
        channel.PurgeReceive();
        channel.Open = false;
    }
    if (OnDeviceChange) OnDeviceChange();
}

FT_STATUS tSimulatedBus::Fault(const char* Call) {
    if (KeepCallNames) Calls.emplace_back(Call);
    auto count = std::find_if(CallCounts.begin(), CallCounts.end(), [&](auto& c) { return c.first == Call; });
    if (count == CallCounts.end()) count = CallCounts.insert(CallCounts.end(), {Call, 0});
    const int made = count->second++;
    for (auto& fault : DriverFaults) {
        if (fault.Call != Call || fault.Times == 0 || made < fault.AfterCalls) continue;
        if (fault.Times > 0) --fault.Times;
        return fault.Status;
    }
    return FT_OK;
}

tSimulatedBus::tHandle* tSimulatedBus::Find(FT_HANDLE Handle) {
    for (auto& h : Handles)
        if (h.get() == Handle) return h.get();
    return nullptr;
}

FT_STATUS tSimulatedBus::Check(FT_HANDLE Handle, const char* Call, tHandle*& Out) {
    if (FT_STATUS fault = Fault(Call)) return fault;
    Out = Find(Handle);
    if (!Out) return FT_INVALID_HANDLE;
    if (!Out->Instrument->Plugged) return FT_IO_ERROR;
    return FT_OK;
}

FT_STATUS tSimulatedBus::ListChannels(std::vector<tD2XXChannelInfo>& Channels) {
    if (FT_STATUS fault = Fault("FT_ListDevices")) return fault;
    Channels.clear();
    for (const auto& instrument : Instruments) {
        if (!instrument->Plugged) continue;
        for (int k = 0; k < 2; ++k)
            Channels.push_back({instrument->SerialStem + ChannelLetter[k],
                                instrument->Description + " " + ChannelLetter[k],
                                instrument->LocationBase | ChannelNumber[k]});
    }
    return FT_OK;
}

FT_STATUS tSimulatedBus::OpenChannel(size_t Index, FT_HANDLE* Handle) {
    if (FT_STATUS fault = Fault("FT_Open")) return fault;
    size_t at = 0;
    for (const auto& instrument : Instruments) {
        if (!instrument->Plugged) continue;
        for (int k = 0; k < 2; ++k, ++at) {
            if (at != Index) continue;
            auto& channel = instrument->Channels[k];
            if (channel.Open) return FT_DEVICE_NOT_OPENED;  // D2XX opens a channel once
            // Opening resets the channel as the driver does: queues emptied, UART mode.
            channel = tSimChannel{};
            channel.Open = true;
            instrument->SetBitMode(k, 0, 0);
            Handles.push_back(std::make_unique<tHandle>(tHandle{instrument, k}));
            *Handle = Handles.back().get();
            return FT_OK;
        }
    }
    return FT_DEVICE_NOT_FOUND;
}

FT_STATUS tSimulatedBus::Close(FT_HANDLE Handle) {
    if (FT_STATUS fault = Fault("FT_Close")) return fault;
    auto it = std::find_if(Handles.begin(), Handles.end(), [&](auto& h) { return h.get() == Handle; });
    if (it == Handles.end()) return FT_INVALID_HANDLE;
    (*it)->Instrument->Channels[(*it)->Channel].Open = false;
    Handles.erase(it);
    return FT_OK;
}

FT_STATUS tSimulatedBus::Read(FT_HANDLE Handle, uint8_t* Buffer, DWORD Count, DWORD* Returned) {
    *Returned = 0;
    tHandle* h = nullptr;
    if (FT_STATUS status = Check(Handle, "FT_Read", h)) return status;
    auto& channel = h->Instrument->Channels[h->Channel];
    const uint64_t deadline = Clock().NowUs() + uint64_t(channel.ReadTimeoutMs) * 1000;
    // Blocks until Count bytes have arrived or the read timeout has passed, as D2XX does. With no
    // timeout set, it waits only for bytes already on their way.
    while (channel.Arrived() < Count && h->Instrument->Plugged) {
        const uint64_t now = Clock().NowUs();
        const uint64_t next = channel.NextArrivalUs();
        if (channel.ReadTimeoutMs == 0 && next == 0) break;
        if (channel.ReadTimeoutMs != 0 && now >= deadline) break;
        uint64_t until = next ? next : deadline;
        if (channel.ReadTimeoutMs != 0) until = std::min(until, deadline);
        Clock().SleepMs(uint32_t(std::max<uint64_t>(1, (until - now + 999) / 1000)));
    }
    if (!h->Instrument->Plugged) return FT_IO_ERROR;
    *Returned = DWORD(channel.Take(Buffer, Count));
    return FT_OK;
}

FT_STATUS tSimulatedBus::Write(FT_HANDLE Handle, const uint8_t* Buffer, DWORD Count, DWORD* Written) {
    *Written = 0;
    tHandle* h = nullptr;
    if (FT_STATUS status = Check(Handle, "FT_Write", h)) return status;
    auto instrument = h->Instrument;  // the write may unplug it
    if (RecordWrites) Writes.emplace_back(h->Channel, std::vector<uint8_t>(Buffer, Buffer + Count));
    auto& channel = instrument->Channels[h->Channel];
    const size_t repliesBefore = channel.Pending();
    const uint64_t clockedBefore = instrument->Mpsse.ClockedBits;
    instrument->HostWrite(h->Channel, Buffer, Count);
    if (Timing.Enabled) ModelTransfer(*instrument, h->Channel, Count, repliesBefore, clockedBefore);
    if (!instrument->Plugged) return FT_IO_ERROR;
    *Written = Count;
    return FT_OK;
}

FT_STATUS tSimulatedBus::SetBaudRate(FT_HANDLE Handle, ULONG BaudRate) {
    tHandle* h = nullptr;
    if (FT_STATUS status = Check(Handle, "FT_SetBaudRate", h)) return status;
    if (BaudRate == 0) return FT_INVALID_BAUD_RATE;
    h->Instrument->Channels[h->Channel].BaudRate = BaudRate;
    return FT_OK;
}

FT_STATUS tSimulatedBus::SetDataCharacteristics(FT_HANDLE Handle, UCHAR WordLength, UCHAR StopBits, UCHAR Parity) {
    tHandle* h = nullptr;
    if (FT_STATUS status = Check(Handle, "FT_SetDataCharacteristics", h)) return status;
    if ((WordLength != 7 && WordLength != 8) || (StopBits != 0 && StopBits != 2) || Parity > 4)
        return FT_INVALID_PARAMETER;
    auto& channel = h->Instrument->Channels[h->Channel];
    channel.WordLength = WordLength;
    channel.StopBits = StopBits;
    channel.Parity = Parity;
    return FT_OK;
}

FT_STATUS tSimulatedBus::Purge(FT_HANDLE Handle, ULONG Mask) {
    tHandle* h = nullptr;
    if (FT_STATUS status = Check(Handle, "FT_Purge", h)) return status;
    if (Mask & FT_PURGE_RX) h->Instrument->Channels[h->Channel].PurgeReceive();
    return FT_OK;  // nothing waits in the simulated transmit queue
}

FT_STATUS tSimulatedBus::SetTimeouts(FT_HANDLE Handle, ULONG ReadMs, ULONG WriteMs) {
    tHandle* h = nullptr;
    if (FT_STATUS status = Check(Handle, "FT_SetTimeouts", h)) return status;
    h->Instrument->Channels[h->Channel].ReadTimeoutMs = ReadMs;
    h->Instrument->Channels[h->Channel].WriteTimeoutMs = WriteMs;
    return FT_OK;
}

FT_STATUS tSimulatedBus::GetQueueStatus(FT_HANDLE Handle, DWORD* RxBytes) {
    tHandle* h = nullptr;
    if (FT_STATUS status = Check(Handle, "FT_GetQueueStatus", h)) return status;
    *RxBytes = DWORD(h->Instrument->Channels[h->Channel].Arrived());
    return FT_OK;
}

FT_STATUS tSimulatedBus::SetLatencyTimer(FT_HANDLE Handle, UCHAR Ms) {
    tHandle* h = nullptr;
    if (FT_STATUS status = Check(Handle, "FT_SetLatencyTimer", h)) return status;
    if (Ms == 0) return FT_INVALID_PARAMETER;
    h->Instrument->Channels[h->Channel].LatencyMs = Ms;
    return FT_OK;
}

FT_STATUS tSimulatedBus::SetBitMode(FT_HANDLE Handle, UCHAR Mask, UCHAR Mode) {
    tHandle* h = nullptr;
    if (FT_STATUS status = Check(Handle, "FT_SetBitMode", h)) return status;
    h->Instrument->SetBitMode(h->Channel, Mask, Mode);
    return FT_OK;
}

FT_STATUS tSimulatedBus::ReadEeprom(FT_HANDLE Handle, tFtdiEepromImage& Image) {
    tHandle* h = nullptr;
    if (FT_STATUS status = Check(Handle, "FT_EE_Read", h)) return status;
    Image = h->Instrument->Eeprom;
    return FT_OK;
}

FT_STATUS tSimulatedBus::WriteEeprom(FT_HANDLE Handle, const tFtdiEepromImage&, const tFtdiEepromImage& New) {
    tHandle* h = nullptr;
    if (FT_STATUS status = Check(Handle, "FT_EE_Program", h)) return status;
    if (h->Instrument->EepromWriteFails) return FT_EEPROM_WRITE_FAILED;
    h->Instrument->Eeprom = New;
    return FT_OK;
}

FT_STATUS tSimulatedBus::ResetPort(FT_HANDLE Handle) {
    tHandle* h = nullptr;
    return Check(Handle, "FT_ResetPort", h);
}

FT_STATUS tSimulatedBus::CyclePort(FT_HANDLE Handle) {
    tHandle* h = nullptr;
    return Check(Handle, "FT_CyclePort", h);
}

namespace {
constexpr double OutPacketBytes = 64, InPacketBytes = 62, PacketsPerFrame = 19, FrameUs = 1000;
constexpr double MpsseBaseClockHz = 12e6;
// The MPSSE takes a command byte in about one cycle of its 12 MHz clock.
constexpr double CommandByteUs = 1.0 / 12;
}  // namespace

void tSimulatedBus::ModelTransfer(tSimulatedInstrument& Instrument, int Channel, DWORD Count, size_t RepliesBefore,
                                  uint64_t ClockedBefore) {
    auto& channel = Instrument.Channels[Channel];
    const double replyBytes = double(channel.Pending() - RepliesBefore);
    ++Timing.Writes;
    Timing.BytesOut += Count;
    // The OUT transfer starts on a frame and takes whole frames of at most 19 packets.
    const double outPackets = std::ceil(double(Count) / OutPacketBytes);
    const double outUs = std::max(1.0, std::ceil(outPackets / PacketsPerFrame)) * FrameUs;
    // The engine clocks at 12 MHz / ((1 + divisor) * 2) and runs while the packets arrive.
    const double clockHz = MpsseBaseClockHz / ((1.0 + Instrument.Mpsse.Divisor) * 2);
    const double engineUs = double(Instrument.Mpsse.ClockedBits - ClockedBefore) / clockHz * 1e6 +
                            double(Count) * CommandByteUs;
    double us = std::max(outUs, engineUs);
    if (replyBytes > 0) {
        ++Timing.Replies;
        Timing.BytesIn += uint64_t(replyBytes);
        const double inPackets = std::ceil(replyBytes / InPacketBytes);
        us += std::ceil(inPackets / PacketsPerFrame) * FrameUs;
        // A tail shorter than a packet waits for the latency timer before it is sent.
        if (std::fmod(replyBytes, InPacketBytes) != 0) us += double(channel.LatencyMs) * 1000;
    }
    Timing.ModeledUs += us;
    Timing.FloorUs += double(Count) / (OutPacketBytes * PacketsPerFrame) * FrameUs +
                      replyBytes / (InPacketBytes * PacketsPerFrame) * FrameUs;
}
