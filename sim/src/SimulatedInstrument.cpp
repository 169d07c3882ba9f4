#include "SimulatedInstrument.h"

namespace {
constexpr uint8_t MpsseMode = 0x02;
}

tSimulatedInstrument::tSimulatedInstrument(const tSimInstrumentOptions& Options)
    : SerialStem(Options.SerialStem),
      Description(Options.Description),
      MainPic([this](const std::vector<uint8_t>& Bytes, uint64_t DelayUs) { Channels[ChannelB].SendToHost(Bytes, DelayUs); }),
      Mpsse([this](const std::vector<uint8_t>& Bytes) { Channels[ChannelA].SendToHost(Bytes, 0); }) {
    tFtdiEepromSettings settings;
    settings.Manufacturer = Options.Manufacturer;
    settings.Description = Options.Description;
    settings.SerialNumber = Options.SerialStem;
    settings.BIsHighCurrent = Options.ChannelBHighCurrent;
    tFtdiEepromImage::Build(settings, Eeprom);
    Mpsse.OnPinsChanged = [this](uint16_t Levels) { PinsChanged(Levels); };
}

void tSimulatedInstrument::HostWrite(int Channel, const uint8_t* Bytes, size_t Count) {
    if (Channel == ChannelA) {
        if (Channels[ChannelA].BitMode == MpsseMode) Mpsse.Receive(Bytes, Count);
        return;
    }
    if (UnplugAfterHostBytes > 0) {
        if (Count >= UnplugAfterHostBytes) {
            MainPic.Receive(Bytes, UnplugAfterHostBytes);
            UnplugAfterHostBytes = 0;
            if (OnUnplugRequest) OnUnplugRequest();
            return;
        }
        UnplugAfterHostBytes -= Count;
    }
    MainPic.Receive(Bytes, Count);
}

void tSimulatedInstrument::SetBitMode(int Channel, uint8_t Mask, uint8_t Mode) {
    Channels[Channel].BitMode = Mode;
    Channels[Channel].BitMask = Mask;
    if (Channel == ChannelA) Mpsse.Reset();
}

void tSimulatedInstrument::PinsChanged(uint16_t Levels) {
    const bool inReset = (Levels & SimMainPicMclrLine) == 0;
    if (MainPicInReset && !inReset) MainPic.Restart();
    MainPicInReset = inReset;
    UpdateMainPicAnswering();
}

void tSimulatedInstrument::UpdateMainPicAnswering() { MainPic.Answering = Powered && !MainPicInReset; }

void tSimulatedInstrument::PowerOff() {
    Powered = false;
    MainPic.Restart();
    UpdateMainPicAnswering();
}

void tSimulatedInstrument::PowerOn() {
    Powered = true;
    UpdateMainPicAnswering();
}
