#include "FtdiEepromImage.h"

#include <algorithm>

namespace {

// Byte offsets of the FT2232 EEPROM header.
enum : size_t {
    ChannelAConfig = 0x00,  // bits 0-2 interface type, 0x08 VCP driver, 0x10 high current
    ChannelBConfig = 0x01,
    VendorIdLow = 0x02,
    ProductIdLow = 0x04,
    ReleaseLow = 0x06,
    ConfigAttributes = 0x08,  // 0x80 always, 0x40 self powered, 0x20 remote wakeup
    MaxPower = 0x09,          // in units of 2 mA
    ChipConfig = 0x0A,        // 0x04 pull-down in suspend, 0x08 use serial number, 0x10 use USB version
    USBVersionLow = 0x0C,
    ManufacturerPointer = 0x0E,  // string offset (0x80 set) then descriptor length in bytes
    DescriptionPointer = 0x10,
    SerialPointer = 0x12,
    ChipType = 0x14,
};

constexpr uint8_t TypeMask = 0x07, VcpBit = 0x08, HighCurrentBit = 0x10;
constexpr uint8_t AttributesBase = 0x80, SelfPoweredBit = 0x40, RemoteWakeupBit = 0x20;
constexpr uint8_t PullDownBit = 0x04, SerialNumberBit = 0x08, USBVersionBit = 0x10;
constexpr uint8_t StringDescriptorType = 0x03;
constexpr uint8_t Chip93C46 = 0x46;
// The user-area size rule of FTDI's driver: what 48 words leave after the four strings' characters.
constexpr size_t UserAreaWordBudget = 48;
// The two-character manufacturer id that prefixes generated serial numbers.
constexpr size_t ManufacturerIdLength = 2;

void PutWord(std::vector<uint8_t>& Bytes, size_t Offset, uint16_t Value) {
    Bytes[Offset] = uint8_t(Value);
    Bytes[Offset + 1] = uint8_t(Value >> 8);
}

uint8_t ChannelConfig(uint8_t Type, bool Vcp, bool HighCurrent) {
    return uint8_t((Type & TypeMask) | (Vcp ? VcpBit : 0) | (HighCurrent ? HighCurrentBit : 0));
}

}  // namespace

uint16_t FtdiEepromChecksum(const std::vector<uint8_t>& Bytes) {
    uint16_t checksum = 0xAAAA;
    for (size_t i = 0; i + 1 < Bytes.size() / 2; ++i) {
        checksum ^= uint16_t(Bytes[2 * i] | (Bytes[2 * i + 1] << 8));
        checksum = uint16_t((checksum << 1) | (checksum >> 15));
    }
    return checksum;
}

bool tFtdiEepromImage::ChecksumValid() const {
    if (Bytes.size() < Size93C46) return false;
    return Word(Bytes.size() / 2 - 1) == FtdiEepromChecksum(Bytes);
}

void tFtdiEepromImage::UpdateChecksum() { PutWord(Bytes, Bytes.size() - 2, FtdiEepromChecksum(Bytes)); }

bool tFtdiEepromImage::ReadString(size_t PointerByte, std::string& Text) const {
    Text.clear();
    const size_t length = Bytes[PointerByte + 1];
    if (length == 0) return true;
    const size_t offset = Bytes[PointerByte] & OffsetMask();
    if (length < 2 || offset + length > Bytes.size() - 2) return false;
    if (Bytes[offset] != length || Bytes[offset + 1] != StringDescriptorType) return false;
    for (size_t i = offset + 2; i + 1 < offset + length; i += 2) Text.push_back(char(Bytes[i]));
    return true;
}

bool tFtdiEepromImage::Decode(tFtdiEepromSettings& S) const {
    if (!ChecksumValid()) return false;
    const bool blank = std::all_of(Bytes.begin(), Bytes.end() - 2, [](uint8_t b) { return b == 0xFF; });
    if (blank) return false;
    const uint8_t a = Bytes[ChannelAConfig], b = Bytes[ChannelBConfig];
    S.ChannelAType = a & TypeMask;
    S.AIsVCP = a & VcpBit;
    S.AIsHighCurrent = a & HighCurrentBit;
    S.ChannelBType = b & TypeMask;
    S.BIsVCP = b & VcpBit;
    S.BIsHighCurrent = b & HighCurrentBit;
    S.VendorId = Word(VendorIdLow / 2);
    S.ProductId = Word(ProductIdLow / 2);
    S.ReleaseNumber = Word(ReleaseLow / 2);
    S.SelfPowered = Bytes[ConfigAttributes] & SelfPoweredBit;
    S.RemoteWakeup = Bytes[ConfigAttributes] & RemoteWakeupBit;
    S.MaxPowerMa = uint16_t(Bytes[MaxPower] * 2);
    S.PullDownEnable = Bytes[ChipConfig] & PullDownBit;
    S.SerNumEnable = Bytes[ChipConfig] & SerialNumberBit;
    S.USBVersionEnable = Bytes[ChipConfig] & USBVersionBit;
    S.USBVersion = Word(USBVersionLow / 2);
    return ReadString(ManufacturerPointer, S.Manufacturer) && ReadString(DescriptionPointer, S.Description) &&
           ReadString(SerialPointer, S.SerialNumber);
}

size_t tFtdiEepromImage::StringsEnd() const {
    size_t end = FirstStringOffset;
    for (size_t pointer : {ManufacturerPointer, DescriptionPointer, SerialPointer}) {
        if (Bytes[pointer + 1] == 0) continue;
        end = std::max(end, (Bytes[pointer] & OffsetMask()) + Bytes[pointer + 1]);
    }
    return std::min(end, Bytes.size() - 2);
}

size_t tFtdiEepromImage::UserAreaOffset() const {
    const size_t length = Bytes[SerialPointer + 1];
    if (length == 0) return StringsEnd();
    return std::min((Bytes[SerialPointer] & OffsetMask()) + length, Bytes.size() - 2);
}

size_t tFtdiEepromImage::UserAreaSize() const {
    tFtdiEepromSettings s;
    if (!Decode(s)) return 0;
    const size_t characters = s.Manufacturer.size() + std::min(ManufacturerIdLength, s.SerialNumber.size()) +
                              s.Description.size() + s.SerialNumber.size();
    const size_t byRule = characters >= UserAreaWordBudget ? 0 : (UserAreaWordBudget - characters) * 2;
    const size_t room = Bytes.size() - 2 - UserAreaOffset();  // never into the checksum word
    return std::min(byRule, room);
}

std::vector<uint8_t> tFtdiEepromImage::UserArea() const {
    const size_t offset = UserAreaOffset();
    return std::vector<uint8_t>(Bytes.begin() + long(offset), Bytes.begin() + long(offset + UserAreaSize()));
}

bool tFtdiEepromImage::WriteUserArea(const std::vector<uint8_t>& Data) {
    if (Data.size() > UserAreaSize()) return false;
    std::copy(Data.begin(), Data.end(), Bytes.begin() + long(UserAreaOffset()));
    UpdateChecksum();
    return true;
}

bool tFtdiEepromImage::LayOutStrings(const tFtdiEepromSettings& S, const std::vector<uint8_t>& UserAreaContent) {
    size_t at = FirstStringOffset;
    for (size_t pointer : {ManufacturerPointer, DescriptionPointer, SerialPointer}) {
        if (Bytes[pointer + 1] != 0) at = std::min(at, Bytes[pointer] & OffsetMask());
    }
    std::vector<uint8_t> bytes = Bytes;
    std::fill(bytes.begin() + long(at), bytes.end() - 2, 0);
    const std::pair<size_t, const std::string*> strings[] = {
        {ManufacturerPointer, &S.Manufacturer}, {DescriptionPointer, &S.Description}, {SerialPointer, &S.SerialNumber}};
    for (const auto& [pointer, text] : strings) {
        const size_t length = 2 + 2 * text->size();
        if (length > 0xFF || at + length > bytes.size() - 2) return false;
        bytes[pointer] = uint8_t(at | AttributesBase);
        bytes[pointer + 1] = uint8_t(length);
        bytes[at] = uint8_t(length);
        bytes[at + 1] = StringDescriptorType;
        for (size_t i = 0; i < text->size(); ++i) {
            bytes[at + 2 + 2 * i] = uint8_t((*text)[i]);
            bytes[at + 3 + 2 * i] = 0;
        }
        at += length;
    }
    Bytes = bytes;
    UpdateChecksum();
    const size_t keep = std::min(UserAreaContent.size(), UserAreaSize());
    std::copy(UserAreaContent.begin(), UserAreaContent.begin() + long(keep), Bytes.begin() + long(UserAreaOffset()));
    UpdateChecksum();
    return true;
}

bool tFtdiEepromImage::Encode(const tFtdiEepromSettings& S) {
    if (Bytes.size() < Size93C46) return false;
    tFtdiEepromSettings old;
    const bool decoded = Decode(old);
    const std::vector<uint8_t> userArea = decoded ? UserArea() : std::vector<uint8_t>{};

    Bytes[ChannelAConfig] = ChannelConfig(S.ChannelAType, S.AIsVCP, S.AIsHighCurrent);
    Bytes[ChannelBConfig] = ChannelConfig(S.ChannelBType, S.BIsVCP, S.BIsHighCurrent);
    PutWord(Bytes, VendorIdLow, S.VendorId);
    PutWord(Bytes, ProductIdLow, S.ProductId);
    PutWord(Bytes, ReleaseLow, S.ReleaseNumber);
    Bytes[ConfigAttributes] =
        uint8_t(AttributesBase | (S.SelfPowered ? SelfPoweredBit : 0) | (S.RemoteWakeup ? RemoteWakeupBit : 0));
    Bytes[MaxPower] = uint8_t(std::min<int>(S.MaxPowerMa / 2, 0xFF));
    Bytes[ChipConfig] = uint8_t((S.PullDownEnable ? PullDownBit : 0) | (S.SerNumEnable ? SerialNumberBit : 0) |
                                (S.USBVersionEnable ? USBVersionBit : 0));
    PutWord(Bytes, USBVersionLow, S.USBVersion);
    Bytes[ChipType] = Chip93C46;

    const bool sameStrings = decoded && old.Manufacturer == S.Manufacturer && old.Description == S.Description &&
                             old.SerialNumber == S.SerialNumber;
    if (sameStrings) {
        UpdateChecksum();
        return true;
    }
    return LayOutStrings(S, userArea);
}

bool tFtdiEepromImage::Build(const tFtdiEepromSettings& Settings, tFtdiEepromImage& Image, size_t Size) {
    Image.Bytes.assign(Size, 0);
    return Image.Encode(Settings);
}
