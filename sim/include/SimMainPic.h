// The instrument's main PIC as seen over channel B: one command byte, its argument bytes, then
// the reply bytes and the acknowledge byte 0xAA.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "SimFaults.h"
#include "SimPicMemory.h"

// The eight firmware versions of the all-versions record, four numbers each.
struct tSimVersions {
    using tVersion = std::array<uint8_t, 4>;
    tVersion Project{2, 5, 0, 1};
    tVersion MainPic{2, 5, 0, 1};
    tVersion GraphicsPic{1, 4, 0, 2};
    tVersion GraphicsFram{1, 0, 0, 3};
    tVersion DatabasePic{3, 1, 0, 34};
    tVersion DosePic{1, 0, 0, 7};
    tVersion Dsp{1, 2, 0, 9};
    tVersion KeypadPic{5, 0, 0, 11};
};

struct tSimMainPicState {
    std::string SignOn = "TRNPic ";  // seven characters
    std::array<uint8_t, 6> PcbId{0x01, 0x23, 0x45, 0x67, 0x89, 0xAB};
    std::string Gsn = "V7K";
    std::string TopLevelVersion = "2.5.0.1";  // seven characters: digit . digit . digit . digit
    tSimVersions Versions;
    uint8_t ProgramState = 11;
    bool PCMasterMode = false;
};

class tSimMainPic {
public:
    static constexpr uint8_t AckByte = 0xAA;  // as MainPicAckByte

    // Sends reply bytes to the host with a delay in microseconds.
    using tReplySink = std::function<void(const std::vector<uint8_t>& Bytes, uint64_t DelayUs)>;

    explicit tSimMainPic(tReplySink Sink) : Reply(std::move(Sink)) {}

    void Receive(const uint8_t* Bytes, size_t Count);
    // A reset pulse on MCLR: the PIC restarts out of PC control and forgets a half-sent command.
    void Restart();

    // The PICs the main PIC programs for the host: keypad and dosimeter.
    tSimPicMemory* Keypad = nullptr;
    tSimPicMemory* Dosimeter = nullptr;
    // Called when the keypad or dosimeter PIC is reset by command: their versions are read anew.
    std::function<void()> OnSubPicReset;

    tSimMainPicState State;
    std::vector<tSimReplyFault> Faults;
    bool Answering = true;          // false while switched off or held in reset
    uint64_t ReplyDelayUs = 0;      // time the PIC takes to answer a command
    std::vector<uint8_t> CommandsReceived;

private:
    void Execute(uint8_t Command, const std::vector<uint8_t>& Arguments);
    void ProgramBlock(uint8_t Command, const std::vector<uint8_t>& Block, int Index);
    void Answer(uint8_t Command, std::vector<uint8_t> Bytes);
    std::vector<uint8_t> ConfigurationBlock(const tSimPicMemory& Memory) const;
    void TakeConfiguration(tSimPicMemory& Memory, const std::vector<uint8_t>& Block);

    tReplySink Reply;
    bool HaveCommand = false;
    uint8_t PendingCommand = 0;
    size_t ArgumentsNeeded = 0;
    size_t BlockSize = 0;
    int BlocksLeft = 0;
    int BlockIndex = 0;
    std::vector<uint8_t> PendingArguments;
};
