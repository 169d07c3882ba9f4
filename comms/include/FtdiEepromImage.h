// The raw EEPROM image of a dual-channel FT2232 chip (a 93C46: 64 words), in the chip's own
// layout, and its user area: the free bytes right after the serial-number string, where FTDI's
// driver keeps them. EEPROM writes always go through this image (read, change, checksum, write,
// read back), so no byte the program does not mean to change is ever lost.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct tFtdiEepromSettings {
    uint16_t VendorId = 0x0403;
    uint16_t ProductId = 0x6010;
    uint16_t ReleaseNumber = 0x0500;
    bool SelfPowered = false;
    bool RemoteWakeup = false;
    uint16_t MaxPowerMa = 100;
    bool PullDownEnable = false;
    bool SerNumEnable = true;
    bool USBVersionEnable = false;
    uint16_t USBVersion = 0x0200;
    // Channel interface types: 0 UART, 1 245 FIFO, 2 CPU FIFO, 4 fast opto-isolated serial.
    uint8_t ChannelAType = 0, ChannelBType = 0;
    bool AIsVCP = false, BIsVCP = false;
    bool AIsHighCurrent = false, BIsHighCurrent = false;
    std::string Manufacturer, Description, SerialNumber;

    bool operator==(const tFtdiEepromSettings&) const = default;
};

class tFtdiEepromImage {
public:
    static constexpr size_t Size93C46 = 128;
    // Where the string descriptors begin on an FT2232 image that has none yet.
    static constexpr size_t FirstStringOffset = 0x16;

    tFtdiEepromImage() = default;
    explicit tFtdiEepromImage(std::vector<uint8_t> Raw) : Bytes(std::move(Raw)) {}

    // A fresh image holding Settings and an all-zero user area. False when the strings do not fit.
    static bool Build(const tFtdiEepromSettings& Settings, tFtdiEepromImage& Image, size_t Size = Size93C46);

    bool ChecksumValid() const;
    void UpdateChecksum();

    // False for a blank image or one whose checksum or string descriptors are broken.
    bool Decode(tFtdiEepromSettings& Settings) const;
    // Writes Settings into the image and renews the checksum. Strings that changed are laid out
    // again and the user area follows them with its content kept. False when they do not fit.
    bool Encode(const tFtdiEepromSettings& Settings);

    size_t UserAreaOffset() const;
    size_t UserAreaSize() const;
    std::vector<uint8_t> UserArea() const;
    // Replaces the first Data.size() bytes of the user area. False when they do not fit.
    bool WriteUserArea(const std::vector<uint8_t>& Data);

    std::vector<uint8_t> Bytes;

private:
    uint16_t Word(size_t Index) const { return uint16_t(Bytes[2 * Index] | (Bytes[2 * Index + 1] << 8)); }
    size_t OffsetMask() const { return Bytes.size() - 1; }
    bool ReadString(size_t PointerByte, std::string& Text) const;
    size_t StringsEnd() const;
    bool LayOutStrings(const tFtdiEepromSettings& Settings, const std::vector<uint8_t>& UserAreaContent);
};

// The EEPROM checksum over every word but the last, as the chip checks it at power-up.
uint16_t FtdiEepromChecksum(const std::vector<uint8_t>& Bytes);
