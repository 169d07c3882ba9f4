// Reading a PIC back without programming it: verification against the loaded image with a text
// report, the version from the ID locations and the type from the device id.
#include <cstdio>
#include <ctime>
#include <vector>

#include "TRNCommsSubPic.h"
#include "TRNCommsText.h"
#include "TRNCommsUnit.h"

namespace {

constexpr size_t ReadBackWords = 65536;
constexpr int ConfigWordsCompared = 15;



// Device ids (DEVID2:DEVID1 without the revision bits) of the parts the programmer knows.
struct tDeviceType {
    uint16_t Id;
    const char* Name;
};
constexpr tDeviceType DeviceTypes[] = {
    {0x1420, "PIC18f8722"},
    {0x0C00, "PIC18f4620"},
    {0x0A40, "PIC18f2420"},
};

}  // namespace

bool tTRNComms::ReadSPIConfiguration(const char* Line, std::array<uint16_t, 16>& Config) {
    if (!IsSPIProcessor() || !USBSPIcomms->InitUSBdeviceToSPImode("", int32_t(FDevicePortAIndex))) return false;
    DebugOutput("InitUSB to SPI mode", false);
    DebugOutput(Line, false);
    USBSPIcomms->ReadConfigurationData(Config);
    USBSPIcomms->ClosePort();
    DebugOutput("CloseUSB (SPI mode)", false);
    return true;
}

std::string tTRNComms::ReadDeviceVersionString() {
    std::string result = "no CPU";
    std::array<uint16_t, 16> config{};
    const std::string line = std::string("ReadingDeviceVersion(") + ProcessorName() + ")-MPSSE";
    if (!ReadSPIConfiguration(line.c_str(), config)) return result;
    result = std::to_string(config[0]) + "." + std::to_string(config[2]) + "." + std::to_string(config[4]) + "." +
             std::to_string(config[6]);
    DebugOutput(std::string("ReadDeviceVersion(") + ProcessorName() + ")-MPSSE = " + result, false);
    return result;
}

std::string tTRNComms::ReadDeviceType() {
    std::array<uint16_t, 16> config{};
    if (!ReadSPIConfiguration("ReadDeviceType()", config)) return "";
    const uint16_t d = config[15];
    const std::string rev = ", rev=" + std::to_string(d & 0x1F);
    for (const auto& type : DeviceTypes) {
        if ((d & 0xFFE0) == type.Id) {
            DebugOutput(std::string("DeviceType = ") + type.Name, false);
            return type.Name + rev;
        }
    }
    return Hex4(d) + rev;
}

bool tTRNComms::VerifyDevice(std::string& ErrorTxt) {
    if (!GetIsVelCommsOK()) return false;
    if (IsSPIProcessor()) return VerifySPIDevice(ErrorTxt);
    if (FWhichCPU == DosimeterPic) return VerifySubPic(DosimeterProtocol, ErrorTxt);
    if (FWhichCPU == KeypadPic) return VerifySubPic(KeypadProtocol, ErrorTxt);
    return false;
}

bool tTRNComms::VerifySPIDevice(std::string& Report) {
    auto report = [&](const std::string& text) { Report += text + "\r\n"; };
    auto both = [&](const std::string& text) {
        DebugOutput(text, false);
        report(text);
    };
    if (!USBSPIcomms->InitUSBdeviceToSPImode("", int32_t(FDevicePortAIndex))) return false;
    DebugOutput("InitUSB to SPI mode", false);
    DebugOutput("Verify firmware: " + HexFile->FileName(), false);
    const std::string name = std::string(ProcessorName()) + " Verification";
    DebugOutput(name, false);
    report(name + ": " + DateTimeText());
    const int32_t top = HexFile->TopAddress();
    DebugOutput(std::to_string(top) + " words", false);
    report("Number Of Words = " + std::to_string(top));

    std::vector<uint16_t> readBack(ReadBackWords, 0);
    USBSPIcomms->ReadProgramData(readBack, top);
    DebugOutput("Comparing Hex Data", false);
    report("Comparing Hex Data...");
    int mismatch = -1;
    bool result = CompareWords(HexFile->HexData.data(), readBack.data(), mismatch, top);
    if (result) {
        report("Program memory verified OK");
        if (HexFile->IsValidConfiguration()) {
            const auto block = ConfigurationBlock();
            std::fill(readBack.begin(), readBack.end(), 0);
            USBSPIcomms->ReadConfigurationData(readBack);
            DebugOutput("Comparing Config Data", false);
            report("Comparing Config Data...");
            result = CompareWords(block.data(), readBack.data(), mismatch, ConfigWordsCompared);
            if (result)
                both("Config memory verified OK");
            else
                LogVerifyFailure(mismatch, block.data(), readBack.data(), &Report);
        }
    } else {
        LogVerifyFailure(mismatch, HexFile->HexData.data(), readBack.data(), &Report);
    }
    USBSPIcomms->ClosePort();
    DebugOutput("CloseUSB (SPI mode)", false);
    return result;
}

bool tTRNComms::VerifySubPic(const tSubPicProtocol& P, std::string& Report) {
    auto report = [&](const std::string& text) { Report += text + "\r\n"; };
    const bool keypad = &P == &KeypadProtocol;
    DebugOutput(keypad ? "Keypad Verification" : "DosimeterPic Verification", false);
    report(std::string(keypad ? "KeypadPic Verification: " : "DosimetePic Verification: ") + DateTimeText());
    WasPortBOpen = PortBIsOpen;
    if (!PortBIsOpen) (void)OpenUSBDataPort();
    const bool wasOpen = WasPortBOpen;
    if (!PortBIsOpen) return false;

    DebugOutput("Reading " + std::to_string(P.ReadBlocks) + " rows", false);
    Status("Reading...");
    report("  Reading " + std::to_string(P.ReadBlocks) + " rows");
    DebugOutput(std::string("ReadProgramMemory(") + P.LinkName + ")", false);
    SendByte(P.ReadCommand);
    std::vector<uint16_t> readBack(ReadBackWords, 0);
    for (int k = 1; k <= P.ReadBlocks; ++k) {
        const bool arrived = keypad ? WaitForBytes(DWORD(P.ReadBlockBytes), 1, "", true)
                                    : WaitForBytes(DWORD(P.ReadBlockBytes), 2, "DosePicRead", false);
        if (!arrived) {
            report("Timeout during reading");
            break;
        }
        ReadBytes(reinterpret_cast<uint8_t*>(readBack.data()) + size_t(P.ReadBlockBytes) * size_t(k - 1),
                  DWORD(P.ReadBlockBytes));
        Progress(keypad ? (k / 2) * 16 : 32 * k);
    }
    bool result = false;
    if (FIsVelCommsOK) {
        const bool acked = keypad ? WaitForAckByte("KeyPadPicRead", true, 1) : WaitForAckByte("DosePicRead", false, 1);
        if (!acked) report("Ackbyte error after reading");
    }
    int mismatch = -1;
    const int32_t top = HexFile->TopAddress();
    result = CompareWords(HexFile->HexData.data(), readBack.data(), mismatch, top);
    if (!result) {
        LogVerifyFailure(mismatch, HexFile->HexData.data(), readBack.data(), &Report);
    } else {
        report("Program memory verified OK");
        if (!HexFile->IsValidConfiguration()) {
            report("Hex file config not valid");
        } else {
            const auto block = ConfigurationBlock();
            std::array<uint16_t, 16> read{};
            SendByte(P.ReadConfigCommand);
            const bool arrived = keypad ? WaitForBytes(32, 1, "", true) : WaitForBytes(32, 1, "DosePicReadConfig", false);
            if (!arrived) {
                report("Timeout during reading config");
                result = false;
            } else {
                ReadBytes(reinterpret_cast<uint8_t*>(read.data()), 32);
                if (!WaitForAckByte(P.ReadConfigName, keypad, 1)) report("Ackbyte error after reading config");
                result = CompareWords(block.data(), read.data(), mismatch, P.ConfigWordsCompared);
                for (const auto& masked : P.MaskedConfigWords)
                    if (masked.Mask) result = result && (block[masked.Word] & masked.Mask) == (read[masked.Word] & masked.Mask);
                if (result) {
                    report("Config memory verified OK");
                } else {
                    report("Config memory verified FAILED");
                    report("Verify Error! @ word number: " + std::to_string(mismatch));
                    for (int j = 1; j <= 15; ++j)
                        report(P.ConfigDetailPrefix(j) + ":  Expecting: " + Hex4(block[size_t(j - 1)]) +
                               ", Read: " + Hex4(read[size_t(j - 1)]));
                }
            }
        }
    }
    if (!wasOpen) CloseUSBPort();
    return result;
}
