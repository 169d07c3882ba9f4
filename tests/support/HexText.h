// Builds Intel HEX text for tests: records with correct checksums, and a device line.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

inline std::string HexRecord(uint8_t Type, uint16_t Address, const std::vector<uint8_t>& Data) {
    char buf[16];
    std::string line = ":";
    unsigned sum = unsigned(Data.size()) + (Address >> 8) + (Address & 0xFF) + Type;
    std::snprintf(buf, sizeof buf, "%02X%04X%02X", unsigned(Data.size()), Address, Type);
    line += buf;
    for (uint8_t b : Data) {
        std::snprintf(buf, sizeof buf, "%02X", b);
        line += buf;
        sum += b;
    }
    std::snprintf(buf, sizeof buf, "%02X", (0x100 - (sum & 0xFF)) & 0xFF);
    return line + buf + "\r\n";
}

inline std::string HexData(uint16_t Address, const std::vector<uint8_t>& Data) { return HexRecord(0x00, Address, Data); }
inline std::string HexUpper(uint16_t Upper) { return HexRecord(0x04, 0, {uint8_t(Upper >> 8), uint8_t(Upper)}); }
inline std::string HexEnd() { return ":00000001FF\r\n"; }
