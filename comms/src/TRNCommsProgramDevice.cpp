// Programming the chosen processor: the main, graphics and database PIC in-circuit over channel A,
// the keypad and dosimeter PIC through the main PIC's commands on channel B.
#include <cstdio>
#include <vector>

#include "TRNCommsText.h"
#include "TRNCommsUnit.h"
#include "TRNCommsSubPic.h"

namespace {
constexpr size_t ReadBackWords = 65536;
constexpr int ConfigWordsWritten = 15;

}  // namespace

bool tTRNComms::ProgramDevice(bool SkipVerify, bool IgnoreFlush) {
    if (!GetIsVelCommsOK()) return false;
    if (IsSPIProcessor()) return ProgramSPIDevice(SkipVerify);
    if (FWhichCPU == DosimeterPic) return ProgramSubPic(DosimeterProtocol, SkipVerify, IgnoreFlush);
    if (FWhichCPU == KeypadPic) return ProgramSubPic(KeypadProtocol, SkipVerify, IgnoreFlush);
    return false;
}

bool tTRNComms::ProgramSPIDevice(bool SkipVerify) {
    bool result = false;
    std::vector<uint16_t> readBack(ReadBackWords, 0);
    try {
        if (!USBSPIcomms->InitUSBdeviceToSPImode("", int32_t(FDevicePortAIndex))) return false;
        DebugOutput("InitUSB to SPI mode", false);
        DebugOutput("Program device: " + HexFile->FileName(), false);
        const int32_t top = HexFile->TopAddress();
        if (!FApplicationDirectory.empty()) {
            DebugOutput(std::string("Programming ") + ProcessorName(), true);
            DebugOutput(std::to_string(top) + " words", true);
        }
        USBSPIcomms->WriteProgramData(HexFile->HexData, top);
        int mismatch = -1;
        if (SkipVerify) {
            result = true;
        } else {
            USBSPIcomms->ReadProgramData(readBack, top);
            DebugOutput("Comparing Hex Data", true);
            result = CompareWords(HexFile->HexData.data(), readBack.data(), mismatch, top);
        }
        if (!result) {
            LogVerifyFailure(mismatch, HexFile->HexData.data(), readBack.data());
        } else if (HexFile->IsValidConfiguration()) {
            const auto block = ConfigurationBlock();
            USBSPIcomms->WriteConfigurationData(block, ConfigWordsWritten);
            if (!SkipVerify) {
                std::fill(readBack.begin(), readBack.end(), 0);
                USBSPIcomms->ReadConfigurationData(readBack);
                DebugOutput("Comparing Config Data", true);
                result = CompareWords(block.data(), readBack.data(), mismatch, ConfigWordsWritten);
                if (!result) LogVerifyFailure(mismatch, block.data(), readBack.data());
            }
        }
        USBSPIcomms->ClosePort();
        DebugOutput("CloseUSB (SPI mode)", false);
        Status("Complete!");
    } catch (...) {
        // The path ends quietly, but channel A is closed so that either channel can open again.
        USBSPIcomms->ClosePort();
    }
    return result;
}

bool tTRNComms::ProgramSubPic(const tSubPicProtocol& P, bool SkipVerify, bool IgnoreFlush) {
    bool result = false;
    Status("Erasing...");
    DebugOutput(std::string("Programming ") + P.ProcessorName, true);
    BlankDevice();
    Status("Programming...");

    WasPortBOpen = PortBIsOpen;
    if (!PortBIsOpen) (void)OpenUSBDataPort();
    if (!PortBIsOpen) return false;
    const bool wasOpen = WasPortBOpen;
    const uint8_t* image = reinterpret_cast<const uint8_t*>(HexFile->HexData.data());
    const int32_t top = HexFile->TopAddress();

    DebugOutput(std::string("ProgramMemory(") + P.LinkName + ")", false);
    SendByte(P.ProgramCommand);
    DebugOutput("Programming " + std::to_string(P.ProgramBlocks) + " rows", true);
    for (int k = 1; k <= P.ProgramBlocks; ++k) {
        SendBytes(image + size_t(P.ProgramBlockBytes) * size_t(k - 1), DWORD(P.ProgramBlockBytes));
        if (!WaitForAckByte(P.ProgramBlockAckName(k), false, P.TimeoutSecs)) break;
        Progress(P.ProgramProgressStep * k);
    }

    std::vector<uint16_t> readBack(ReadBackWords, 0);
    if (FIsVelCommsOK && WaitForAckByte(P.ProgramEndAckName, false, P.TimeoutSecs)) {
        if (SkipVerify) {
            result = true;
        } else {
            Status("Reading...");
            DebugOutput("Reading " + std::to_string(P.ReadBlocks) + " rows", true);
            DebugOutput(std::string("ReadProgramMemory(") + P.LinkName + ")", false);
            if (P.FlushBeforeRead && !IgnoreFlush) FlushUSBPipes();
            SendByte(P.ReadCommand);
            for (int k = 1; k <= P.ReadBlocks; ++k) {
                if (!WaitForBytes(DWORD(P.ReadBlockBytes), P.TimeoutSecs, P.ReadBlockName(k), false)) break;
                ReadBytes(reinterpret_cast<uint8_t*>(readBack.data()) + size_t(P.ReadBlockBytes) * size_t(k - 1),
                          DWORD(P.ReadBlockBytes));
                Progress(P.ReadProgressStep * k);
            }
            if (FIsVelCommsOK && WaitForAckByte(P.ReadEndAckName, false, P.TimeoutSecs)) {
                if (P.LogWordsToCompare)
                    DebugOutput("Verifying, number of words to compare = " + std::to_string(top), false);
                int mismatch = -1;
                result = CompareWords(HexFile->HexData.data(), readBack.data(), mismatch, top);
                if (result)
                    DebugOutput("Program memory verified OK", true);
                else
                    LogVerifyFailure(mismatch, HexFile->HexData.data(), readBack.data());
            }
        }
    }

    if (FIsVelCommsOK) {
        if (result) {
            result = false;
            if (HexFile->IsValidConfiguration()) {
                const auto block = ConfigurationBlock();
                DebugOutput(std::string("ProgramConfigMemory(") + P.LinkName + ")", false);
                SendByte(P.ConfigCommand);
                SendBytes(reinterpret_cast<const uint8_t*>(block.data()), DWORD(P.ConfigBytesSent));
                if (WaitForAckByte(P.ConfigAckName, false, P.TimeoutSecs)) {
                    if (SkipVerify) {
                        result = true;
                    } else {
                        DebugOutput(std::string("ReadConfigMemory(") + P.LinkName + ")", false);
                        SendByte(P.ReadConfigCommand);
                        std::array<uint16_t, 16> read{};
                        (void)WaitForBytes(32, P.TimeoutSecs, P.ReadConfigName, false);
                        ReadBytes(reinterpret_cast<uint8_t*>(read.data()), 32);
                        (void)WaitForAckByte(P.ReadConfigName, false, P.TimeoutSecs);
                        int mismatch = -1;
                        result = CompareWords(block.data(), read.data(), mismatch, P.ConfigWordsCompared);
                        for (const auto& masked : P.MaskedConfigWords)
                            if (masked.Mask) result = result && (block[masked.Word] & masked.Mask) == (read[masked.Word] & masked.Mask);
                        if (result) {
                            DebugOutput("Config memory verified OK", true);
                        } else {
                            DebugOutput("Config memory verified FAILED", true);
                            DebugOutput("Verify Error! @ word number: " + std::to_string(mismatch), true);
                            for (int j = 1; j <= 15; ++j)
                                DebugOutput(P.ConfigDetailPrefix(j) + ":  Expecting: " + Hex4(block[size_t(j - 1)]) +
                                                ", Read: " + Hex4(read[size_t(j - 1)]),
                                            true);
                        }
                    }
                }
            }
        }
        if (FIsVelCommsOK) {
            DebugOutput(std::string("ResetDevice(") + P.LinkName + ")", false);
            SendByte(P.ResetCommand);
            (void)WaitForAckByte(P.ResetAckName, false, P.TimeoutSecs);
        }
    }
    if (!wasOpen) CloseUSBPort();
    return result;
}

void tTRNComms::BlankDevice() {
    if (!GetIsVelCommsOK()) return;
    if (FWhichCPU == DosimeterPic) return BlankSubPic(DosimeterProtocol);
    if (FWhichCPU == KeypadPic) return BlankSubPic(KeypadProtocol);
    if (!IsSPIProcessor()) return;
    if (!USBSPIcomms->InitUSBdeviceToSPImode("", int32_t(FDevicePortAIndex))) return;
    DebugOutput("InitUSB to SPI mode", false);
    DebugOutput(std::string("EraseMemory(") + ProcessorName() + ")", true);
    Status("Erasing...");
    FSizeOfCurrentHexFile = FWhichCPU == DatabasePic ? 0x8000 : 0x10000;
    USBSPIcomms->BulkErase(false, FSizeOfCurrentHexFile);
    USBSPIcomms->ClosePort();
    DebugOutput("CloseUSB (SPI mode)", false);
    Status("Complete!");
}

void tTRNComms::BlankSubPic(const tSubPicProtocol& P) {
    WasPortBOpen = PortBIsOpen;
    if (!PortBIsOpen) (void)OpenUSBDataPort();
    if (!PortBIsOpen) return;
    const bool wasOpen = WasPortBOpen;
    DebugOutput(std::string("EraseMemory(") + P.LinkName + ")", false);
    DebugOutput(std::string(P.EraseLinePrefix) + std::to_string(P.EraseAcks) + " rows", true);
    SendByte(P.EraseCommand);
    for (int k = 1; k <= P.EraseAcks; ++k) {
        (void)WaitForAckByte(P.EraseAckName, true, P.TimeoutSecs);
        Progress((k / 2) * 32);
    }
    if (FIsVelCommsOK) (void)WaitForAckByte(P.EraseEndAckName, true, P.TimeoutSecs);
    if (!wasOpen) CloseUSBPort();
}
