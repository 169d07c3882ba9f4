#include "SimMainPic.h"

namespace {

// Main PIC command codes and the argument bytes that follow each one.
enum : uint8_t {
    CmdSignOn = 0x00,
    CmdPcbId = 0x02,
    CmdPing = 0x0B,
    CmdProgramState = 0x14,
    CmdPCMasterMode = 0x15,
    CmdTopLevelVersion = 0x16,
    CmdGsn = 0x19,
    CmdAllVersions = 0x1E,
};

struct tArgumentLength {
    uint8_t Command;
    size_t Length;
};
constexpr tArgumentLength ArgumentLengths[] = {
    {CmdPCMasterMode, 1},
};

}  // namespace

size_t tSimMainPic::ArgumentLength(uint8_t Command) const {
    for (const auto& row : ArgumentLengths)
        if (row.Command == Command) return row.Length;
    return 0;
}

void tSimMainPic::Restart() {
    HaveCommand = false;
    PendingArguments.clear();
    State.PCMasterMode = false;
}

void tSimMainPic::Receive(const uint8_t* Bytes, size_t Count) {
    for (size_t i = 0; i < Count; ++i) {
        if (!Answering) continue;
        if (!HaveCommand) {
            HaveCommand = true;
            PendingCommand = Bytes[i];
            PendingArguments.clear();
            CommandsReceived.push_back(Bytes[i]);
        } else {
            PendingArguments.push_back(Bytes[i]);
        }
        if (PendingArguments.size() >= ArgumentLength(PendingCommand)) {
            HaveCommand = false;
            Execute(PendingCommand, PendingArguments);
        }
    }
}

void tSimMainPic::Execute(uint8_t Command, const std::vector<uint8_t>& Arguments) {
    auto withAck = [](std::vector<uint8_t> bytes) {
        bytes.push_back(AckByte);
        return bytes;
    };
    switch (Command) {
        case CmdSignOn:
            Answer(Command, std::vector<uint8_t>(State.SignOn.begin(), State.SignOn.end()));
            break;
        case CmdPcbId:
            Answer(Command, std::vector<uint8_t>(State.PcbId.begin(), State.PcbId.end()));
            break;
        case CmdPing:
            Answer(Command, {AckByte});
            break;
        case CmdProgramState:
            Answer(Command, withAck({State.ProgramState}));
            break;
        case CmdPCMasterMode:
            State.PCMasterMode = Arguments[0] == 1;
            Answer(Command, {AckByte});
            break;
        case CmdTopLevelVersion:
            Answer(Command, withAck(std::vector<uint8_t>(State.TopLevelVersion.begin(), State.TopLevelVersion.end())));
            break;
        case CmdGsn:
            Answer(Command, withAck(std::vector<uint8_t>(State.Gsn.begin(), State.Gsn.end())));
            break;
        case CmdAllVersions: {
            std::vector<uint8_t> record;
            const auto& v = State.Versions;
            for (const auto* version : {&v.Project, &v.MainPic, &v.GraphicsPic, &v.GraphicsFram, &v.DatabasePic,
                                        &v.DosePic, &v.Dsp, &v.KeypadPic})
                record.insert(record.end(), version->begin(), version->end());
            Answer(Command, withAck(record));
            break;
        }
        default:
            break;  // the firmware ignores codes it does not know
    }
}

void tSimMainPic::Answer(uint8_t Command, std::vector<uint8_t> Bytes) {
    uint64_t delay = ReplyDelayUs;
    for (auto& fault : Faults) {
        if (fault.Times == 0 || (fault.Command >= 0 && fault.Command != Command)) continue;
        if (fault.Times > 0) --fault.Times;
        switch (fault.Kind) {
            case tSimReplyFaultKind::Silent: return;
            case tSimReplyFaultKind::Late: delay += uint64_t(fault.DelayMs) * 1000; break;
            case tSimReplyFaultKind::WrongAck:
                if (!Bytes.empty()) Bytes.back() = fault.AckByte;
                break;
            case tSimReplyFaultKind::ShortReply:
                if (Bytes.size() > fault.KeepBytes) Bytes.resize(fault.KeepBytes);
                break;
        }
        break;
    }
    Reply(Bytes, delay);
}
