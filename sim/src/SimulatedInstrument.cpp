#include "SimulatedInstrument.h"

#include <algorithm>

namespace {
constexpr uint8_t MpsseMode = 0x02;

// The firmware a simulated instrument leaves the factory with.
constexpr std::array<uint8_t, 4> FactoryMainPic{2, 5, 0, 1}, FactoryProject{2, 5, 0, 1};
constexpr std::array<uint8_t, 4> FactoryGraphicsPic{1, 4, 0, 2}, FactoryDatabasePic{3, 1, 0, 34};
constexpr std::array<uint8_t, 4> FactoryKeypadPic{5, 0, 0, 11}, FactoryDosimeterPic{1, 0, 0, 7};

std::string TopLevelText(const std::array<uint8_t, 4>& V) {
    std::string text;
    for (size_t i = 0; i < 4; ++i) {
        if (i) text.push_back('.');
        text.push_back(char(V[i] + 48));  // each number one character from '0' on, as the firmware sends it
    }
    return text;
}
}  // namespace

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

    MainPic.Keypad = &KeypadPicMemory;
    MainPic.Dosimeter = &DosimeterPicMemory;
    MainPic.OnSubPicReset = [this] { RefreshVersions(); };
    Mpsse.Lines = this;
    MainPicTarget.OnRun = [this] {
        MainPic.Restart();
        RefreshVersions();
    };

    GraphicsPicMemory.SeedVersion(FactoryGraphicsPic);
    DatabasePicMemory.SeedVersion(FactoryDatabasePic);
    KeypadPicMemory.SeedVersion(FactoryKeypadPic);
    DosimeterPicMemory.SeedVersion(FactoryDosimeterPic);
    SeedMainPic(FactoryMainPic, FactoryProject);
}

void tSimulatedInstrument::SeedMainPic(const std::array<uint8_t, 4>& Version, const std::array<uint8_t, 4>& Project) {
    MainPicMemory.SeedVersion(Version);
    for (uint32_t i = 0; i < 4; ++i) MainPicMemory.Flash[SimProjectVersionAddress + i] = Project[i];
    RefreshVersions();
}

void tSimulatedInstrument::RefreshVersions() {
    auto& v = MainPic.State.Versions;
    for (uint32_t i = 0; i < 4; ++i) v.Project[i] = MainPicMemory.Flash[SimProjectVersionAddress + i];
    v.MainPic = MainPicMemory.IdVersion();
    v.GraphicsPic = GraphicsPicMemory.IdVersion();
    v.DatabasePic = DatabasePicMemory.IdVersion();
    v.KeypadPic = KeypadPicMemory.IdVersion();
    v.DosePic = DosimeterPicMemory.IdVersion();
    MainPic.State.TopLevelVersion = TopLevelText(v.Project);
    MainFirmwarePresent = std::any_of(MainPicMemory.Flash.begin(), MainPicMemory.Flash.end(), [](uint8_t b) { return b != 0xFF; });
    UpdateMainPicAnswering();
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

void tSimulatedInstrument::PinsSet(uint16_t Levels) {
    for (auto* target : Targets) target->PinsSet(Levels);
    UpdateMainPicAnswering();
}

uint8_t tSimulatedInstrument::ClockCycle(uint8_t DataBit) {
    uint8_t driven = 0;
    for (auto* target : Targets) driven |= target->ClockCycle(DataBit);
    return driven;
}

void tSimulatedInstrument::UpdateMainPicAnswering() {
    const bool running = !MainPicTarget.InReset() && !MainPicTarget.InProgramMode();
    if (MainPic.Answering && !running) MainPic.Restart();
    MainPic.Answering = Powered && running && MainFirmwarePresent;
}

void tSimulatedInstrument::PowerOff() {
    Powered = false;
    MainPic.Restart();
    UpdateMainPicAnswering();
}

void tSimulatedInstrument::PowerOn() {
    Powered = true;
    UpdateMainPicAnswering();
}
