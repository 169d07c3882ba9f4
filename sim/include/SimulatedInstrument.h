// A simulated Veltra: its dual-channel FT2232 (EEPROM with user area, channel A in MPSSE mode as
// the PIC programmer, channel B to the main PIC) and the main PIC behind channel B. It keeps its
// state across unplugging, as a real instrument does.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "FtdiEepromImage.h"
#include "SimChannel.h"
#include "SimMainPic.h"
#include "SimMpsse.h"

// Lines of port A that hold PICs in reset when low.
constexpr uint16_t SimMainPicMclrLine = 0x0008;

struct tSimInstrumentOptions {
    std::string SerialStem = "VELTRA-P";
    std::string Manufacturer = "Corvalen";
    std::string Description = "Veltra";
    bool ChannelBHighCurrent = false;
};

class tSimulatedInstrument {
public:
    explicit tSimulatedInstrument(const tSimInstrumentOptions& Options = {});

    enum tChannelIndex { ChannelA = 0, ChannelB = 1 };

    // Bytes the host writes to a channel.
    void HostWrite(int Channel, const uint8_t* Bytes, size_t Count);
    void SetBitMode(int Channel, uint8_t Mask, uint8_t Mode);

    // Switching off: the chip stays on the bus (it is powered from USB) but the main PIC is silent.
    void PowerOff();
    void PowerOn();
    bool PoweredOn() const { return Powered; }

    std::string SerialStem;
    std::string Description;
    uint32_t LocationBase = 0;  // two lowest bits clear
    bool Plugged = false;
    tFtdiEepromImage Eeprom;
    bool EepromWriteFails = false;
    tSimChannel Channels[2];
    tSimMainPic MainPic;
    tSimMpsse Mpsse;
    // Unplugs the instrument once the host has written this many more bytes to channel B (0: never).
    size_t UnplugAfterHostBytes = 0;
    std::function<void()> OnUnplugRequest;

private:
    void PinsChanged(uint16_t Levels);
    void UpdateMainPicAnswering();
    bool Powered = true;
    bool MainPicInReset = false;
};
