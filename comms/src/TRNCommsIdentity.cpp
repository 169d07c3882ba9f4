// Which instrument is connected and in what state its main PIC is: sign-on, PCB id, GSN,
// firmware versions, program state, PC master mode, ping, and the reset of all PICs.
#include <cstdio>

#include "BrammUtils.h"
#include "Clock.h"
#include "MainPicCommands.h"
#include "TRNCommsUnit.h"

namespace {

constexpr uint8_t AckByte = MainPicAckByte;
constexpr DWORD SignOnLength = 7, PcbIdLength = 6, GsnLength = 3, TopLevelVersionLength = 7, AllVersionsLength = 32;
constexpr uint8_t GsnLowest = '0', GsnHighest = 'z';

// Port A lines of the PIC resets: every output low holds every PIC in reset; the database PIC
// (0x0080) and line 0x0800 are released first, the main PIC (0x0008) last.
constexpr uint16_t ResetLinesMask = 0x08FB;
constexpr uint16_t ResetAllHeld = 0x0000;
constexpr uint16_t ResetOthersReleased = 0x0880;
constexpr uint16_t ResetAllReleased = 0x0888;
constexpr uint32_t ResetStepMs = 5;

// The version is at least 1.0.1.18, the first that knows the all-versions command.
bool KnowsAllVersions(const std::string& Version) {
    int n[4];
    for (int i = 0; i < 4; ++i) {
        const std::string field = ExtractField(Version, i + 1, '.');
        if (field.empty() || field.find_first_not_of("0123456789") != std::string::npos || field.size() > 9)
            return false;  // not four numbers: taken as older
        n[i] = std::stoi(field);
    }
    if (n[0] != 1) return n[0] > 1;
    if (n[1] != 0) return n[1] > 0;
    if (n[2] != 1) return n[2] > 1;
    return n[3] > 17;
}

std::string VersionText(const uint8_t* Group) {
    return std::to_string(Group[0]) + "." + std::to_string(Group[1]) + "." + std::to_string(Group[2]) + "." +
           std::to_string(Group[3]);
}

}  // namespace

bool tTRNComms::GetSignonMessage() {
    WasPortBOpen = PortBIsOpen;
    if (!PortBIsOpen) (void)OpenUSBDataPort();
    if (!PortBIsOpen) return false;

    DebugOutput("GetSignonMessage()", false);
    SendByte(CmdSignOn);
    std::string text;
    bool result = false;
    if (!PollForBytes(SignOnLength, 1)) {
        DebugOutput("USB TimeOut Error! Command = GetSignonMessage, Num of expected bytes = 7, Timeout given = 1 sec",
                    true);
    } else {
        for (DWORD i = 0; i < SignOnLength; ++i) text.push_back(char(ReadByte()));
        const std::string trimmed = TrimText(text);
        const bool pic = trimmed.find("TRNPic") != std::string::npos && FDeviceCommsType == CommsTypeVeltraUSB;
        const bool arm = trimmed.find("VL2ARM") != std::string::npos &&
                         (FDeviceCommsType == CommsTypeSerialARM || FDeviceCommsType == CommsTypeFtdiSerialARM);
        result = pic || arm;
        if (!result)
            DebugOutput("Error! Command = GetSignonMessage, Signon message does not contain TRNPic or VL2ARM. Text "
                        "received = " + text,
                        true);
    }
    EndCommand();
    DebugOutput(result ? "  SignonMessage OK = " + text : "   SignonMessage Error = " + text, false);
    return result;
}

std::string tTRNComms::GetPCBID() {
    std::string result = "No ID";
    if (!BeginCommand()) return result;
    DebugOutput("GetPCBID()", false);
    SendByte(CmdPcbId);
    if (WaitForBytes(PcbIdLength, 1, "ReadPCBID", true)) {
        static const char digits[] = "0123456789ABCDEF";
        std::string id;
        for (DWORD i = 0; i < PcbIdLength; ++i) {
            const uint8_t b = ReadByte();
            id = std::string{digits[b & 0x0F], digits[b >> 4]} + id;
        }
        result = id;
    }
    EndCommand();
    DebugOutput("  PCBID = " + result, false);
    return result;
}

std::string tTRNComms::GetGSN() {
    std::string result;
    if (!GetIsVelCommsOK()) return result;
    WasPortBOpen = PortBIsOpen;
    if (!PortBIsOpen) (void)OpenUSBDataPort();
    std::string text;
    if (PortBIsOpen) {
        DebugOutput("GetGSN()", false);
        SendByte(CmdGsn);
        (void)WaitForBytes(GsnLength, 1, "GetGSN", true);
        for (DWORD i = 0; i < GsnLength; ++i) {
            const uint8_t b = ReadByte();
            if (b >= GsnLowest && b <= GsnHighest) text.push_back(char(b));
        }
        if (WaitForAckByte("GetGSN", true, 1)) result = text;
        EndCommand();
    }
    DebugOutput("  GSN = " + text, false);
    return result;
}

std::string tTRNComms::GetTopLevelVersion() {
    std::string result;
    if (!BeginCommand()) return result;
    DebugOutput("GetTopLevelVersion()", false);
    SendByte(CmdTopLevelVersion);
    std::string text;
    if (WaitForBytes(TopLevelVersionLength, 3, "GetTopLevelVersion", true)) {
        for (DWORD i = 0; i < TopLevelVersionLength; ++i) {
            const uint8_t b = ReadByte();
            const bool dotPlace = i == 1 || i == 3 || i == 5;
            if (dotPlace && b == '.')
                text.push_back('.');
            else
                text += std::to_string(uint8_t(b - 48));
        }
        if (WaitForAckByte("GetTopLevelVersion", true, 1)) result = text;
    }
    EndCommand();
    DebugOutput("  TopLevelVersion = " + text, false);
    return result;
}

void tTRNComms::GetAllVersions(std::string& Project, std::string& MainPic, std::string& GraphicsPic,
                               std::string& GraphicsFram, std::string& DatabasePic, std::string& DosePic,
                               std::string& Dsp, std::string& KeypadPic) {
    std::string* results[] = {&Project, &MainPic, &GraphicsPic, &GraphicsFram, &DatabasePic, &DosePic, &Dsp, &KeypadPic};
    for (auto* r : results) r->clear();
    if (!GetIsVelCommsOK()) return;
    WasPortBOpen = PortBIsOpen;
    if (!PortBIsOpen) (void)OpenUSBDataPort();
    std::string topLevel;
    if (PortBIsOpen) {
        const bool outerOpened = !WasPortBOpen;
        topLevel = GetTopLevelVersion();  // leaves the channel open: it finds it open
        if (KnowsAllVersions(topLevel)) {
            DebugOutput("GetAllVersions()", false);
            SendByte(CmdAllVersions);
            (void)WaitForBytes(AllVersionsLength, 3, "GetAllVersions", true);
            uint8_t record[AllVersionsLength] = {};
            ReadBytes(record, AllVersionsLength);
            if (WaitForAckByte("GetAllVersions", true, 1)) {
                for (int i = 0; i < 8; ++i) *results[i] = VersionText(record + 4 * i);
                FDatabaseVersion = (uint32_t(record[16]) << 24) | (uint32_t(record[17]) << 16) |
                                   (uint32_t(record[18]) << 8) | record[19];
            }
        }
        WasPortBOpen = !outerOpened;
        EndCommand();
    }
    DebugOutput("  GetAllVersions = " + topLevel, false);
}

int tTRNComms::GetMainPicProgramState() {
    if (!BeginCommand()) return 0;
    DebugOutput("GetProgramState()", false);
    SendByte(CmdProgramState);
    int result = 0;
    if (WaitForBytes(1, 2, "GetProgramState", true)) {
        const int state = ReadByte();
        DebugOutput("  ProgramState=" + std::to_string(state), false);
        if (WaitForAckByte("GetProgramState", true, 1)) result = state;
    }
    EndCommand();
    return result;
}

void tTRNComms::SetMainPicPCMasterMode(int YesNo) {
    if (!BeginCommand()) return;
    const std::string word = YesNo == 1 ? "true" : "false";
    DebugOutput("SetPCMasterMode(" + word + ")", false);
    SendByte(CmdPCMasterMode);
    SendByte(YesNo == 1 ? 1 : 0);
    (void)WaitForAckByte("SetPCMasterMode_" + word, true, 2);
    EndCommand();
}

bool tTRNComms::PingMilliSeconds(uint8_t TimeOutSecs) {
    const uint64_t ticksPerMs = HighResolutionFrequency / 1000;
    WasPortBOpen = PortBIsOpen;
    if (!PortBIsOpen) (void)OpenUSBDataPort();
    if (!PortBIsOpen) return false;

    const uint64_t start = Clock().NowUs();
    SendByte(CmdPing);
    bool result = false;
    if (!PollForBytes(1, TimeOutSecs)) {
        DebugOutput("USB TimeOut Error! Command = PingMilliSeconds B, Num of expected bytes = 1, Timeout given = 1 sec",
                    true);
    } else {
        const uint8_t b = ReadByte();
        const uint64_t end = Clock().NowUs();
        char time[32];
        std::snprintf(time, sizeof time, "%.1f", double(end - start) / double(ticksPerMs));
        if (b == AckByte) {
            result = true;
            DebugOutput(std::string("Ping Time = ") + time + "ms", true);
        } else {
            DebugOutput("Error in reading AckByte! Command = PingMilliSeconds, Byte = " + std::to_string(b) +
                            ", Timeout secs = " + std::to_string(TimeOutSecs) + ", Ping Time = " + time + "ms",
                        true);
        }
    }
    EndCommand();
    return result;
}

void tTRNComms::ResetAllPics() {
    if (!USBSPIcomms->InitUSBdeviceToSPImode("", int32_t(FDevicePortAIndex))) return;
    DebugOutput("InitUSB to SPI mode", false);
    DebugOutput("  ResetAllPics()", false);
    USBSPIcomms->SetOutputWord(ResetAllHeld, ResetLinesMask);
    Clock().SleepMs(ResetStepMs);
    USBSPIcomms->SetOutputWord(ResetOthersReleased, ResetLinesMask);
    Clock().SleepMs(ResetStepMs);
    USBSPIcomms->SetOutputWord(ResetAllReleased, ResetLinesMask);
    USBSPIcomms->ClosePort();
    DebugOutput("  CloseUSB (SPI mode)", false);
}
