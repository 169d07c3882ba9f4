// Choosing the processor to program, loading its image, and the pieces the programming and
// verification paths share.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "BrammUtils.h"
#include "TRNCommsText.h"
#include "TRNCommsUnit.h"

namespace {

// The instrument's processors: their port A lines, PIC type and image path.
struct tProcessorRow {
    tWhichCPU Cpu;
    uint16_t MclrMask, PgmMask, OtherOutputs;
    tPicType Type;
    const char* LogName;
    std::string tTRNComms::*ImagePath;
};
const tProcessorRow Processors[] = {
    {MainPic, 0x0008, 0x0010, 0x08F8, PIC18f8722, "MainPic", &tTRNComms::FMainPicHexFilePath},
    {GraphicsPic, 0x0800, 0x0020, 0x08F8, PIC18f8722, "GraphicsPic", &tTRNComms::FGraphicsPicHexFilePath},
    {DatabasePic, 0x0080, 0x0040, 0x08F8, PIC18f4620, "DatabasePic", &tTRNComms::FDatabasePicHexFilePath},
    {DosimeterPic, 0x0800, 0x0080, 0x08F8, PIC18f2420, "DosimeterPic", &tTRNComms::FDosimeterPicHexFilePath},
    {Dsp, 0x0808, 0x0000, 0x0808, PIC18f2420, "DSP", &tTRNComms::FDspHexFilePath},
    {KeypadPic, 0x0800, 0x0080, 0x08F8, PIC18f4321, "KeypadPic", &tTRNComms::FKeypadPicHexFilePath},
};

const tProcessorRow* RowOf(tWhichCPU Cpu) {
    for (const auto& row : Processors)
        if (row.Cpu == Cpu) return &row;
    return nullptr;
}

constexpr int DspImageBytes = 131072;

bool IsFile(const std::string& Path) {
    std::error_code ec;
    return !Path.empty() && std::filesystem::is_regular_file(Path, ec);
}


}  // namespace

void tTRNComms::HandleSPIProgress(void*, int32_t NumWords) { Progress(NumWords); }

void tTRNComms::HandleSPIStatus(void*, const std::string& Text) { Status(Text); }

void tTRNComms::Progress(int NumWords) {
    if (FOnTRNCommsProgressEvent) FOnTRNCommsProgressEvent(this, NumWords);
}

void tTRNComms::Status(const std::string& Text) {
    if (FOnTRNCommsStatusEvent) FOnTRNCommsStatusEvent(this, Text);
}

const char* tTRNComms::ProcessorName() const {
    const tProcessorRow* row = RowOf(FWhichCPU);
    return row ? row->LogName : "NoPic";
}

void tTRNComms::SetWhichCPU(tWhichCPU Value) {
    FWhichCPU = Value;
    const tProcessorRow* row = RowOf(Value);
    if (!row) return;
    USBSPIcomms->SetPicControlPins(row->MclrMask, row->PgmMask, row->OtherOutputs, 0);
    USBSPIcomms->SetPicType(row->Type);
    DebugOutput(std::string("SetWhichCPU=") + row->LogName, false);
}

bool tTRNComms::LoadHexFile() {
    FIsLVPenabled = false;
    FIsCodeWriteEnabled = false;
    const tProcessorRow* row = RowOf(FWhichCPU);
    const std::string path = row ? this->*(row->ImagePath) : std::string();
    DebugOutput("LoadHexFile=" + path, false);
    if (!IsFile(path)) {
        FHexFileVersion = "no file";
        return false;
    }
    if (FWhichCPU == Dsp) {
        std::vector<uint8_t> image(DspImageBytes);
        std::string version;
        int size = 0;
        ConvertDSPHexToBin(path, image, version, size, DspImageBytes - 1);
        FSizeOfCurrentHexFile = size;
        FHexFileVersion = version;
        return true;
    }
    HexFile->LoadFromFile(path);
    FSizeOfCurrentHexFile = HexFile->TopAddress();
    FHexFileVersion = HexFile->VersionNumber();
    FIsLVPenabled = HexFile->IsLVPenabled();
    FIsCodeWriteEnabled = HexFile->IsCodeWriteEnabled();
    FHexFileDevice = HexFile->TargetDevice();
    for (auto& c : FHexFileDevice) c = char(std::toupper(static_cast<unsigned char>(c)));
    return true;
}

void tTRNComms::ConvertDSPHexToBin(const std::string& Path, std::vector<uint8_t>& Data, std::string& Version,
                                   int& Size, int LastIndex) {
    Version.clear();
    Size = 0;
    if (!IsFile(Path)) return;
    std::ifstream in(Path);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.find("; Version") != std::string::npos) {
            Version = TrimText(line.size() > 11 ? std::string_view(line).substr(11) : std::string_view());
            continue;
        }
        if (!line.empty() && line[0] == ';') continue;
        if (line.size() < 2) continue;
        const size_t bytes = (line.size() + 1) / 3;
        for (size_t i = 0; i < bytes; ++i) {
            if (Size > LastIndex || size_t(Size) >= Data.size())
                throw std::runtime_error("The DSP firmware exceeds the array size (" + std::to_string(LastIndex) +
                                         "bytes)");
            Data[size_t(Size++)] = uint8_t(HexPairToByte(std::string_view(line).substr(3 * i, 2)));
        }
    }
}

bool tTRNComms::CompareWords(const uint16_t* Expected, const uint16_t* Actual, int& FirstMismatch, int Count) {
    FirstMismatch = -1;
    for (int i = 1; i <= Count; ++i) {
        if (Expected[i - 1] != Actual[i - 1]) {
            FirstMismatch = i;
            return false;
        }
    }
    return true;
}

std::array<uint16_t, 16> tTRNComms::ConfigurationBlock() const {
    std::array<uint16_t, 16> block{};
    const auto& cfg = HexFile->Pic18Cfg;
    for (size_t i = 0; i < 8; ++i) block[i] = cfg.ID[i];
    for (size_t k = 0; k < 7; ++k) block[8 + k] = uint16_t(cfg.Config[2 * k] | (cfg.Config[2 * k + 1] << 8));
    return block;
}

void tTRNComms::LogVerifyFailure(int Mismatch, const uint16_t* Expected, const uint16_t* Actual, std::string* Report) {
    auto line = [&](const std::string& text) {
        DebugOutput(text, true);
        if (Report) *Report += text + "\r\n";
    };
    line("Program memory verified FAILED @ " + std::to_string(Mismatch) + " byte");
    line("Verify Error! @ word number: " + std::to_string(Mismatch));
    if (Mismatch > 0)
        line("Expecting: " + Hex4(Expected[Mismatch - 1]) + ", Read: " + Hex4(Actual[Mismatch - 1]));
}

uint16_t tTRNComms::GetWordFromHexFile(uint16_t addr) const {
    return addr == 0 ? 0 : HexFile->HexData[size_t(addr - 1)];  // addr counts from 1
}

uint8_t tTRNComms::GetByteFromHexFile(uint16_t addr) const {
    const uint16_t word = HexFile->HexData[addr / 2];
    return (addr % 2) ? uint8_t(word >> 8) : uint8_t(word);
}
