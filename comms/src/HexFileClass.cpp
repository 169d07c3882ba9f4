#include "HexFileClass.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#include "BrammUtils.h"

namespace {

// Intel HEX record types that the loader acts on.
constexpr uint16_t RecordData = 0x00;
constexpr uint16_t RecordEndOfFile = 0x01;
constexpr uint16_t RecordExtendedLinearAddress = 0x04;

// PIC18 byte addresses of the ID and configuration locations.
constexpr int64_t Pic18IdFirst = 0x200000, Pic18IdLast = 0x200007;
constexpr int64_t Pic18ConfigFirst = 0x300000, Pic18ConfigLast = 0x30000D;

// CONFIG4L bit LVP; CONFIG5L, CONFIG6L and CONFIG7L hold the code, write and table-read
// protection bits of each block (a set bit leaves the block unprotected).
constexpr int Config4L = 6, Config5L = 8, Config6L = 10, Config7L = 12;
constexpr uint8_t Pic18LvpBit = 0x04;
constexpr uint16_t Pic16LvpBit = 0x80;

// Protection bits that exist per device: later rows override earlier ones.
struct tProtectionMask {
    const char* Digits;
    uint8_t Mask;
};
constexpr tProtectionMask ProtectionMasks[] = {
    {"2420", 0x0F},  // PIC18F2420: four blocks
    {"4620", 0x0F},  // PIC18F4620: four blocks
    {"4321", 0x03},  // PIC18F4321: two blocks
    {"8722", 0xFF},  // PIC18F8722: eight blocks
};

// Program bytes of the main firmware that carry the project version.
constexpr int ProjectVersionWordLow = 0x11E / 2, ProjectVersionWordHigh = 0x120 / 2;

std::string ReadWholeFile(const std::string& Path) {
    std::ifstream in(Path, std::ios::binary | std::ios::ate);
    in.exceptions(std::ios::badbit);
    std::string text(size_t(in.tellg()), '\0');
    in.seekg(0);
    in.read(text.data(), std::streamsize(text.size()));
    text.resize(size_t(in.gcount()));
    return text;
}

// HexDigitValue of every character, so that a whole image decodes without a call per digit.
struct tHexDigitTable {
    uint8_t Value[256];
    tHexDigitTable() {
        for (int c = 0; c < 256; ++c) Value[c] = HexDigitValue(char(c));
    }
};
const tHexDigitTable HexDigits;

// HexPairToByte of the two characters at Pos; a pair cut short by the end of the text gives 0.
uint16_t PairAt(std::string_view Text, size_t Pos) {
    if (Pos + 2 > Text.size()) return 0;
    return uint16_t(HexDigits.Value[uint8_t(Text[Pos])] * 16 + HexDigits.Value[uint8_t(Text[Pos + 1])]);
}

// Calls Visit with each line of Text, without its line ending; Visit returns false to stop.
template <typename F>
void ForEachLine(const std::string& Text, F Visit) {
    size_t start = 0;
    while (start < Text.size()) {
        size_t end = Text.find('\n', start);
        if (end == std::string::npos) end = Text.size();
        std::string_view line(Text.data() + start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (!Visit(line)) return;
        start = end + 1;
    }
}

bool FileExists(const std::string& Path) { return FileSizeByName(Path) >= 0; }

std::string_view Field(std::string_view Record, size_t Pos, size_t Len) {
    if (Pos >= Record.size()) return {};
    return Record.substr(Pos, Len);
}

}  // namespace

void tHexFile::ReadTargetDevice(const std::string& Text) {
    ForEachLine(Text, [&](std::string_view line) {
        if (line.empty() || line.front() != ';') return true;
        std::string name = TrimText(line.substr(1));
        std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return char(std::toupper(c)); });
        FTargetDevice = name;
        return false;
    });
}

void tHexFile::LoadFromFile(const std::string& filepath) {
    FFileName = filepath;
    FIsValidProgram = FIsValidConfiguration = FIsValidID = false;

    FTargetDevice.clear();
    if (!FileExists(filepath)) return;
    const std::string text = ReadWholeFile(filepath);
    ReadTargetDevice(text);
    if (FTargetDevice.empty()) return;

    const bool isPic16 = FTargetDevice.find("PIC16") != std::string::npos;
    const bool isPic18 = FTargetDevice.find("PIC18") != std::string::npos;
    FTopAddress = 0;
    if (isPic16) {
        std::fill(HexData.begin(), HexData.begin() + Pic16FuseIndex + 1, 0x3FFF);
        Pic16Cfg.Fuse = 0x3FFF;
        Pic16Cfg.ID.fill(0);
    } else if (isPic18) {
        HexData.fill(0xFFFF);
        Pic18Cfg = tPic18Cfg{};
    }

    ReadRecords(text, isPic16, isPic18);

    if (isPic18 && FIsValidConfiguration) DecidePic18Protection();
    if (isPic16) DecidePic16Configuration();
    if (isPic16 || isPic18) BuildVersionNumber(isPic16);
}

void tHexFile::ReadRecords(const std::string& Text, bool /*IsPic16*/, bool IsPic18) {
    int32_t wordCounter = 0;
    int64_t upperAddress = 0;
    ForEachLine(Text, [&](std::string_view line) {
        if (line.empty() || line.front() != ':') return true;
        std::string_view record = line.substr(1);
        const uint16_t type = HexPairToByte(Field(record, 6, 2));
        if (type == RecordEndOfFile) return false;
        if (type == RecordExtendedLinearAddress) {
            upperAddress = HexPairToByte(Field(record, 8, 2)) * 256 + HexPairToByte(Field(record, 10, 2));
            return true;
        }
        if (type != RecordData) return true;

        const std::string_view countText = Field(record, 0, 2);
        const int count = HexPairToByte(countText);
        if (countText == "00" || count == 0) return true;
        wordCounter += count / 2;
        const int64_t byteAddress = HexPairToByte(Field(record, 2, 2)) * 256 + HexPairToByte(Field(record, 4, 2));
        const int64_t w = upperAddress * 32768 + byteAddress / 2;
        StoreDataRecord(Field(record, 8, std::string_view::npos), count, w, IsPic18);
        return true;
    });
    NumWordsRead = wordCounter;
}

void tHexFile::StoreDataRecord(std::string_view Data, int Count, int64_t W, bool IsPic18) {
    auto dataByte = [&](int k) { return PairAt(Data, size_t(2 * k)); };

    if (W < HexDataWords) {
        FIsValidProgram = true;
        for (int i = 0; i < Count / 2; ++i) {
            const int64_t index = W + i;
            if (index >= HexDataWords) break;  // the image ends here: the rest of the record has no room
            HexData[size_t(index)] = uint16_t(dataByte(2 * i) + 256 * dataByte(2 * i + 1));
            if (index > FTopAddress && (index < 0x2000 || IsPic18)) FTopAddress = int32_t(index);
        }
        return;
    }

    const int64_t b = 2 * W;
    if (b >= Pic18IdFirst && b <= Pic18IdLast) {
        const int n = std::min<int>(Count, int(Pic18Cfg.ID.size()));
        for (int k = 0; k < n; ++k) Pic18Cfg.ID[size_t(k)] = uint8_t(dataByte(k));
        FIsValidID = true;
    }
    if (b >= Pic18ConfigFirst && b <= Pic18ConfigLast) {
        const int n = std::min<int>(Count, int(Pic18Cfg.Config.size()));
        for (int k = 0; k < n; ++k) Pic18Cfg.Config[size_t(k)] = uint8_t(dataByte(k));
        FIsValidConfiguration = true;
    }
}

void tHexFile::DecidePic18Protection() {
    const auto& cfg = Pic18Cfg.Config;
    FIsLVPenabled = (cfg[Config4L] & Pic18LvpBit) != 0;

    bool known = false;
    uint8_t mask = 0;
    for (const auto& row : ProtectionMasks) {
        if (FTargetDevice.find(row.Digits) != std::string::npos) {
            mask = row.Mask;
            known = true;
        }
    }
    if (known) {
        auto open = [&](int index) { return (cfg[size_t(index)] & mask) == mask; };
        FIsCodeWriteEnabled = open(Config5L) && open(Config6L) && open(Config7L);
    }

    if (FTargetDevice.find("8722") != std::string::npos && FFileName.find("MainPic") != std::string::npos) {
        const uint16_t low = HexData[ProjectVersionWordLow], high = HexData[ProjectVersionWordHigh];
        FProjectVersionNumber = std::to_string(low & 0xFF) + "." + std::to_string(low >> 8) + "." +
                                std::to_string(high & 0xFF) + "." + std::to_string(high >> 8);
    }
}

void tHexFile::DecidePic16Configuration() {
    if (HexData[Pic16FuseIndex] != 0x3FFF) {
        Pic16Cfg.Fuse = HexData[Pic16FuseIndex];
        FIsLVPenabled = (Pic16Cfg.Fuse & Pic16LvpBit) != 0;
        FIsValidConfiguration = true;
    }
    if (HexData[Pic16IdIndex] != 0x3FFF) {
        for (int i = 0; i < 4; ++i) Pic16Cfg.ID[size_t(i)] = HexData[size_t(Pic16IdIndex + i)];
        FIsValidID = true;
    }
}

void tHexFile::BuildVersionNumber(bool IsPic16) {
    auto join = [](auto a, auto b, auto c, auto d) {
        return std::to_string(a) + "." + std::to_string(b) + "." + std::to_string(c) + "." + std::to_string(d);
    };
    if (IsPic16)
        FVersionNumber = join(Pic16Cfg.ID[0], Pic16Cfg.ID[1], Pic16Cfg.ID[2], Pic16Cfg.ID[3]);
    else
        FVersionNumber = join(Pic18Cfg.ID[0], Pic18Cfg.ID[2], Pic18Cfg.ID[4], Pic18Cfg.ID[6]);
}
