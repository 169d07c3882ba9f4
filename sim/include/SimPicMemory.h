// The memories of one simulated PIC18: program flash, ID locations, configuration bytes and the
// device id, addressed as the table pointer addresses them.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct tSimPicPart {
    const char* Name;
    uint32_t FlashBytes;
    uint16_t DeviceId;  // DEVID2:DEVID1, revision in the low five bits
    std::array<uint8_t, 14> ConfigDefaults;
};

// The parts of the instrument (device ids from Microchip's programming specifications; the
// revision numbers are ours).
extern const tSimPicPart SimPic18F8722, SimPic18F4620, SimPic18F2420, SimPic18F4321;

struct tSimReadFlip {
    uint32_t Address;  // table address of the byte
    uint8_t Mask;      // bits that read back inverted
};

class tSimPicMemory {
public:
    static constexpr uint32_t IdAddress = 0x200000;
    static constexpr uint32_t ConfigAddress = 0x300000;
    static constexpr uint32_t DeviceIdAddress = 0x3FFFFE;

    explicit tSimPicMemory(const tSimPicPart& Part);

    // A byte as a table read returns it (read faults applied); 0 where nothing is implemented.
    uint8_t Read(uint32_t Address) const;
    uint8_t Stored(uint32_t Address) const;
    // Programs a byte the way flash does: bits only go from 1 to 0 until the next erase.
    void Program(uint32_t Address, uint8_t Value);
    void EraseRow(uint32_t Address, uint32_t RowBytes);
    void EraseAll();
    void SetConfig(uint32_t Index, uint8_t Value);

    // The version held in the ID locations (bytes 0, 2, 4 and 6), as the firmware reports it.
    std::array<uint8_t, 4> IdVersion() const { return {Id[0], Id[2], Id[4], Id[6]}; }
    // Installs firmware of a version: blank flash, the version in the ID locations, default configuration.
    void SeedVersion(const std::array<uint8_t, 4>& Version);

    const tSimPicPart& Part;
    std::vector<uint8_t> Flash;
    std::array<uint8_t, 8> Id{};
    std::array<uint8_t, 14> Config{};
    std::vector<tSimReadFlip> ReadFlips;
};
