#include "SimPicMemory.h"

#include <algorithm>

// CONFIG1L..CONFIG7H as the programmer writes them after an erase (LVP on, nothing protected).
const tSimPicPart SimPic18F8722{"PIC18F8722", 128 * 1024, 0x1423,
                                {0xFF, 0x07, 0x1F, 0x1F, 0xF3, 0x83, 0x85, 0xFF, 0xFF, 0xC0, 0xFF, 0xE0, 0xFF, 0x40}};
const tSimPicPart SimPic18F4620{"PIC18F4620", 64 * 1024, 0x0C04,
                                {0xFF, 0x07, 0x1F, 0x1F, 0xFF, 0x83, 0x85, 0xFF, 0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40}};
const tSimPicPart SimPic18F2420{"PIC18F2420", 16 * 1024, 0x0A42,
                                {0xFF, 0x07, 0x1F, 0x1F, 0xFF, 0x83, 0x85, 0xFF, 0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40}};
// The keypad part's device id is not read by the program; this value is only a stand-in.
const tSimPicPart SimPic18F4321{"PIC18F4321", 8 * 1024, 0x1A81,
                                {0xFF, 0x07, 0x1F, 0x1F, 0xFF, 0x83, 0x85, 0xFF, 0x03, 0xC0, 0x03, 0xE0, 0x03, 0x40}};

tSimPicMemory::tSimPicMemory(const tSimPicPart& P) : Part(P), Flash(P.FlashBytes, 0xFF) {
    Id.fill(0xFF);
    Config = P.ConfigDefaults;
}

uint8_t tSimPicMemory::Stored(uint32_t Address) const {
    if (Address < Flash.size()) return Flash[Address];
    if (Address >= IdAddress && Address < IdAddress + Id.size()) return Id[Address - IdAddress];
    if (Address >= ConfigAddress && Address < ConfigAddress + Config.size()) return Config[Address - ConfigAddress];
    if (Address == DeviceIdAddress) return uint8_t(Part.DeviceId);
    if (Address == DeviceIdAddress + 1) return uint8_t(Part.DeviceId >> 8);
    return 0;
}

uint8_t tSimPicMemory::Read(uint32_t Address) const {
    uint8_t value = Stored(Address);
    for (const auto& flip : ReadFlips)
        if (flip.Address == Address) value ^= flip.Mask;
    return value;
}

void tSimPicMemory::Program(uint32_t Address, uint8_t Value) {
    if (Address < Flash.size()) Flash[Address] &= Value;
    if (Address >= IdAddress && Address < IdAddress + Id.size()) Id[Address - IdAddress] &= Value;
}

void tSimPicMemory::EraseRow(uint32_t Address, uint32_t RowBytes) {
    const uint32_t row = Address & ~(RowBytes - 1);
    if (row < Flash.size()) std::fill_n(Flash.begin() + row, std::min<size_t>(RowBytes, Flash.size() - row), 0xFF);
    if (Address >= IdAddress && Address < IdAddress + RowBytes) Id.fill(0xFF);
}

void tSimPicMemory::EraseAll() {
    std::fill(Flash.begin(), Flash.end(), 0xFF);
    Id.fill(0xFF);
}

void tSimPicMemory::SetConfig(uint32_t Index, uint8_t Value) {
    if (Index < Config.size()) Config[Index] = Value;
}

void tSimPicMemory::SeedVersion(const std::array<uint8_t, 4>& Version) {
    EraseAll();
    for (size_t i = 0; i < 4; ++i) {
        Id[2 * i] = Version[i];
        Id[2 * i + 1] = 0;
    }
    Config = Part.ConfigDefaults;
}
