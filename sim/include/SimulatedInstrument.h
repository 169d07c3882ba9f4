// A simulated Veltra: its dual-channel FT2232 (EEPROM with user area, channel A in MPSSE mode as
// the PIC programmer, channel B to the main PIC), the main, graphics and database PIC18s on the
// programming lines, and the keypad and dosimeter PICs behind the main PIC. It keeps its state
// across unplugging, as a real instrument does, and the versions it reports follow from what its
// PICs hold.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "FtdiEepromImage.h"
#include "SimChannel.h"
#include "SimMainPic.h"
#include "SimMpsse.h"
#include "SimPic18Target.h"
#include "SimPicMemory.h"

// Port A lines of each in-circuit programmed PIC: MCLR (low holds it in reset) and PGM.
constexpr uint16_t SimMainPicMclrLine = 0x0008, SimMainPicPgmLine = 0x0010;
constexpr uint16_t SimGraphicsPicMclrLine = 0x0800, SimGraphicsPicPgmLine = 0x0020;
constexpr uint16_t SimDatabasePicMclrLine = 0x0080, SimDatabasePicPgmLine = 0x0040;
// Program bytes of the main firmware that hold the instrument's project version.
constexpr uint32_t SimProjectVersionAddress = 0x11E;

struct tSimInstrumentOptions {
    std::string SerialStem = "VELTRA-P";
    std::string Manufacturer = "Corvalen";
    std::string Description = "Veltra";
    bool ChannelBHighCurrent = false;
};

class tSimulatedInstrument : private tSimIcspLines {
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

    // Installs firmware of the given version into a PIC (and the project version for the main
    // PIC), then lets the main PIC read the versions again as it does when it starts.
    void SeedMainPic(const std::array<uint8_t, 4>& Version, const std::array<uint8_t, 4>& Project);
    void RefreshVersions();

    std::string SerialStem;
    std::string Description;
    uint32_t LocationBase = 0;  // two lowest bits clear
    bool Plugged = false;
    tFtdiEepromImage Eeprom;
    bool EepromWriteFails = false;
    tSimChannel Channels[2];

    tSimPicMemory MainPicMemory{SimPic18F8722};
    tSimPicMemory GraphicsPicMemory{SimPic18F8722};
    tSimPicMemory DatabasePicMemory{SimPic18F4620};
    tSimPicMemory KeypadPicMemory{SimPic18F4321};
    tSimPicMemory DosimeterPicMemory{SimPic18F2420};
    tSimPic18Target MainPicTarget{MainPicMemory, SimMainPicMclrLine, SimMainPicPgmLine};
    tSimPic18Target GraphicsPicTarget{GraphicsPicMemory, SimGraphicsPicMclrLine, SimGraphicsPicPgmLine};
    tSimPic18Target DatabasePicTarget{DatabasePicMemory, SimDatabasePicMclrLine, SimDatabasePicPgmLine};

    tSimMainPic MainPic;
    tSimMpsse Mpsse;
    // Unplugs the instrument once the host has written this many more bytes to channel B (0: never).
    size_t UnplugAfterHostBytes = 0;
    std::function<void()> OnUnplugRequest;

private:
    void PinsSet(uint16_t Levels) override;
    uint8_t ClockCycle(uint8_t DataBit) override;
    void UpdateMainPicAnswering();
    tSimPic18Target* Targets[3] = {&MainPicTarget, &GraphicsPicTarget, &DatabasePicTarget};
    bool Powered = true;
    bool MainFirmwarePresent = true;  // a blank main PIC runs nothing and answers nothing
};
