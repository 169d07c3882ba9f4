// One PIC firmware image in Intel HEX text, loaded into a fixed memory image: 64K program words
// plus the PIC18 ID and configuration bytes or the PIC16 configuration and ID words.
#pragma once

#include <array>
#include <cstdint>
#include <string>

struct tPic16Cfg {
    uint16_t Fuse = 0;                // configuration word at word address 0x2007
    std::array<uint16_t, 4> ID{};     // ID words at 0x2000..0x2003
};

struct tPic18Cfg {
    std::array<uint8_t, 8> ID{};      // byte addresses 0x200000..0x200007
    std::array<uint8_t, 2> DeviceID{};  // never filled by the loader, only cleared
    std::array<uint8_t, 14> Config{};   // 0x300000..0x30000D: CONFIG1L, CONFIG1H ... CONFIG7H
};

class tHexFile {
public:
    static constexpr int HexDataWords = 65536;
    // Word index of the PIC16 configuration word and of its first ID word.
    static constexpr int Pic16FuseIndex = 0x2007;
    static constexpr int Pic16IdIndex = 0x2000;

    // Loads the file; the outcome is read from the properties. Read errors of the file surface
    // as std::ios_base::failure.
    void LoadFromFile(const std::string& filepath);

    const std::string& TargetDevice() const { return FTargetDevice; }
    void SetTargetDevice(const std::string& v) { FTargetDevice = v; }
    int32_t TopAddress() const { return FTopAddress; }
    void SetTopAddress(int32_t v) { FTopAddress = v; }
    bool IsValidProgram() const { return FIsValidProgram; }
    void SetIsValidProgram(bool v) { FIsValidProgram = v; }
    bool IsValidConfiguration() const { return FIsValidConfiguration; }
    void SetIsValidConfiguration(bool v) { FIsValidConfiguration = v; }
    bool IsValidID() const { return FIsValidID; }
    void SetIsValidID(bool v) { FIsValidID = v; }
    bool IsLVPenabled() const { return FIsLVPenabled; }
    void SetIsLVPenabled(bool v) { FIsLVPenabled = v; }
    bool IsCodeWriteEnabled() const { return FIsCodeWriteEnabled; }
    void SetIsCodeWriteEnabled(bool v) { FIsCodeWriteEnabled = v; }
    const std::string& VersionNumber() const { return FVersionNumber; }
    const std::string& ProjectVersionNumber() const { return FProjectVersionNumber; }
    const std::string& FileName() const { return FFileName; }

private:
    std::string FTargetDevice;
    int32_t FTopAddress = 0;
    bool FIsValidProgram = false;
    bool FIsValidConfiguration = false;
    bool FIsValidID = false;
    std::string FVersionNumber;
    bool FIsLVPenabled = false;
    bool FIsCodeWriteEnabled = false;
    std::string FFileName;
    std::string FProjectVersionNumber;

public:
    std::array<uint16_t, HexDataWords> HexData{};
    tPic16Cfg Pic16Cfg;
    tPic18Cfg Pic18Cfg;
    int32_t NumWordsRead = 0;

private:
    void ReadTargetDevice(const std::string& Text);
    void ReadRecords(const std::string& Text, bool IsPic16, bool IsPic18);
    void StoreDataRecord(std::string_view Data, int Count, int64_t W, bool IsPic18);
    void DecidePic18Protection();
    void DecidePic16Configuration();
    void BuildVersionNumber(bool IsPic16);
};
