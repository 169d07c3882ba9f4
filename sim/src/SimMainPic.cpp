#include "SimMainPic.h"

#include "MainPicCommands.h"

namespace {

// What the host sends after each code: fixed argument bytes, or blocks each answered by an
// acknowledge.
struct tCommandShape {
    uint8_t Command;
    size_t Arguments;
    size_t BlockSize;
    int Blocks;
};
constexpr tCommandShape CommandShapes[] = {
    {CmdPCMasterMode, 1, 0, 0},
    {CmdDoseProgramConfig, 30, 0, 0},
    {CmdKeypadProgramConfig, 32, 0, 0},
    {CmdDoseProgram, 0, 32, 512},   // 16 KB of the PIC18F2420
    {CmdKeypadProgram, 0, 64, 128},  // 8 KB of the PIC18F4321
};

// Erase acknowledges (one per erased row pair) and read-back blocks of the two sub-PICs.
constexpr int DoseEraseAcks = 512, KeypadEraseAcks = 256;
constexpr int DoseReadBlocks = 256, KeypadReadBlocks = 128, ReadBlockBytes = 64;

const tCommandShape* ShapeOf(uint8_t Command) {
    for (const auto& shape : CommandShapes)
        if (shape.Command == Command) return &shape;
    return nullptr;
}

}  // namespace

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
            const tCommandShape* shape = ShapeOf(Bytes[i]);
            ArgumentsNeeded = shape ? shape->Arguments : 0;
            BlockSize = shape ? shape->BlockSize : 0;
            BlocksLeft = shape ? shape->Blocks : 0;
            BlockIndex = 0;
        } else {
            PendingArguments.push_back(Bytes[i]);
        }
        if (BlocksLeft > 0) {
            if (PendingArguments.size() < BlockSize) continue;
            ProgramBlock(PendingCommand, PendingArguments, BlockIndex++);
            PendingArguments.clear();
            if (--BlocksLeft == 0) {
                HaveCommand = false;
                Answer(PendingCommand, {AckByte});  // the end of the transfer
            }
            continue;
        }
        if (PendingArguments.size() >= ArgumentsNeeded) {
            HaveCommand = false;
            Execute(PendingCommand, PendingArguments);
        }
    }
}

void tSimMainPic::ProgramBlock(uint8_t Command, const std::vector<uint8_t>& Block, int Index) {
    tSimPicMemory* memory = Command == CmdKeypadProgram ? Keypad : Dosimeter;
    if (memory)
        for (size_t i = 0; i < Block.size(); ++i) memory->Program(uint32_t(Index * Block.size() + i), Block[i]);
    Answer(Command, {AckByte});
}

std::vector<uint8_t> tSimMainPic::ConfigurationBlock(const tSimPicMemory& Memory) const {
    std::vector<uint8_t> block(32, 0);
    for (int i = 0; i < 8; ++i) block[size_t(2 * i)] = Memory.Read(tSimPicMemory::IdAddress + uint32_t(i));
    for (int i = 0; i < 14; ++i) block[size_t(16 + i)] = Memory.Read(tSimPicMemory::ConfigAddress + uint32_t(i));
    block[30] = uint8_t(Memory.Part.DeviceId);
    block[31] = uint8_t(Memory.Part.DeviceId >> 8);
    return block;
}

void tSimMainPic::TakeConfiguration(tSimPicMemory& Memory, const std::vector<uint8_t>& Block) {
    for (size_t i = 0; i < 8; ++i) Memory.Id[i] = Block[2 * i];
    for (size_t i = 0; i < 14 && 16 + i < Block.size(); ++i) Memory.Config[i] = Block[16 + i];
}

void tSimMainPic::Execute(uint8_t Command, const std::vector<uint8_t>& Arguments) {
    auto withAck = [](std::vector<uint8_t> bytes) {
        bytes.push_back(AckByte);
        return bytes;
    };
    auto readBack = [&](tSimPicMemory* memory, int blocks) {
        for (int b = 0; b < blocks; ++b) {
            std::vector<uint8_t> block(ReadBlockBytes, 0xFF);
            for (int i = 0; i < ReadBlockBytes && memory; ++i) block[size_t(i)] = memory->Read(uint32_t(b * ReadBlockBytes + i));
            Answer(Command, block);
        }
        Answer(Command, {AckByte});
    };
    auto erase = [&](tSimPicMemory* memory, int acks) {
        if (memory) memory->EraseAll();
        for (int k = 0; k < acks; ++k) Answer(Command, {AckByte});
        Answer(Command, {AckByte});  // the end of the erase
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
        case CmdKeypadErase: erase(Keypad, KeypadEraseAcks); break;
        case CmdDoseErase: erase(Dosimeter, DoseEraseAcks); break;
        case CmdKeypadRead: readBack(Keypad, KeypadReadBlocks); break;
        case CmdDoseRead: readBack(Dosimeter, DoseReadBlocks); break;
        case CmdKeypadProgramConfig:
        case CmdDoseProgramConfig:
            if (auto* memory = Command == CmdKeypadProgramConfig ? Keypad : Dosimeter) TakeConfiguration(*memory, Arguments);
            Answer(Command, {AckByte});
            break;
        case CmdKeypadReadConfig:
        case CmdDoseReadConfig:
            if (auto* memory = Command == CmdKeypadReadConfig ? Keypad : Dosimeter)
                Answer(Command, withAck(ConfigurationBlock(*memory)));
            break;
        case CmdKeypadReset:
        case CmdDoseReset:
            if (OnSubPicReset) OnSubPicReset();
            Answer(Command, {AckByte});
            break;
        default:
            break;  // the firmware ignores codes it does not know
    }
}

void tSimMainPic::Answer(uint8_t Command, std::vector<uint8_t> Bytes) {
    uint64_t delay = ReplyDelayUs;
    for (auto& fault : Faults) {
        if (fault.Times == 0 || (fault.Command >= 0 && fault.Command != Command)) continue;
        if (fault.SkipAnswers > 0) {
            --fault.SkipAnswers;
            continue;
        }
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
