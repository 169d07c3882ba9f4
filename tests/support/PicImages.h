// Small firmware images for the instrument's PICs, written as the embedded images are: Intel HEX
// records, the end record, then the device line.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "support/HexText.h"
#include "support/TempDir.h"

struct tPicImageSpec {
    std::string Device = "PIC18F8722";
    std::vector<uint16_t> Words;                  // program words from address 0
    std::array<uint8_t, 4> Version{2, 5, 0, 2};   // in the ID locations
    bool WithConfiguration = true;
    std::array<uint8_t, 14> Config{0xFF, 0x07, 0x1F, 0x1F, 0xF3, 0x83, 0x85, 0xFF, 0xFF, 0xC0, 0xFF, 0xE0, 0xFF, 0x40};
};

// Words that differ from one address to the next, so a shifted or dropped word shows.
inline std::vector<uint16_t> PatternWords(size_t Count, uint16_t Seed = 0x1234) {
    std::vector<uint16_t> words(Count);
    for (size_t i = 0; i < Count; ++i) words[i] = uint16_t(Seed + i * 0x0101 + (i >> 8));
    return words;
}

inline std::string PicImageText(const tPicImageSpec& S) {
    std::string text;
    uint32_t upper = 0xFFFFFFFF;
    for (size_t at = 0; at < S.Words.size(); at += 8) {
        const uint32_t byteAddress = uint32_t(at * 2);
        if ((byteAddress >> 16) != upper) {
            upper = byteAddress >> 16;
            text += HexUpper(uint16_t(upper));
        }
        std::vector<uint8_t> data;
        for (size_t i = at; i < std::min(at + 8, S.Words.size()); ++i) {
            data.push_back(uint8_t(S.Words[i]));
            data.push_back(uint8_t(S.Words[i] >> 8));
        }
        text += HexData(uint16_t(byteAddress), data);
    }
    text += HexUpper(0x0020) +
            HexData(0, {S.Version[0], 0, S.Version[1], 0, S.Version[2], 0, S.Version[3], 0});
    if (S.WithConfiguration) text += HexUpper(0x0030) + HexData(0, std::vector<uint8_t>(S.Config.begin(), S.Config.end()));
    return text + HexEnd() + ";" + S.Device + "\r\n";
}

// The PIC18F4620's configuration as the programmer's defaults leave it.
constexpr std::array<uint8_t, 14> Pic18F4620Config{0xFF, 0x07, 0x1F, 0x1F, 0xFF, 0x83, 0x85,
                                                   0xFF, 0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40};
constexpr std::array<uint8_t, 14> Pic18F4321Config{0xFF, 0x07, 0x1F, 0x1F, 0xFF, 0x83, 0x85,
                                                   0xFF, 0x03, 0xC0, 0x03, 0xE0, 0x03, 0x40};
