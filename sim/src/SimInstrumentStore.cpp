#include "SimInstrumentStore.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace fs = std::filesystem;

namespace {

bool WriteBytes(const fs::path& Path, const std::vector<uint8_t>& Bytes) {
    std::ofstream out(Path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(Bytes.data()), std::streamsize(Bytes.size()));
    return bool(out);
}

bool ReadBytes(const fs::path& Path, std::vector<uint8_t>& Bytes, size_t Expected) {
    std::ifstream in(Path, std::ios::binary);
    std::vector<uint8_t> data((std::istreambuf_iterator<char>(in)), {});
    if (data.size() != Expected) return false;
    Bytes = std::move(data);
    return true;
}

// A memory as one file: flash, then the eight ID bytes, then the fourteen configuration bytes.
std::vector<uint8_t> MemoryImage(const tSimPicMemory& M) {
    std::vector<uint8_t> bytes(M.Flash);
    bytes.insert(bytes.end(), M.Id.begin(), M.Id.end());
    bytes.insert(bytes.end(), M.Config.begin(), M.Config.end());
    return bytes;
}

bool TakeMemoryImage(tSimPicMemory& M, const std::vector<uint8_t>& Bytes) {
    if (Bytes.size() != M.Flash.size() + M.Id.size() + M.Config.size()) return false;
    std::copy_n(Bytes.begin(), M.Flash.size(), M.Flash.begin());
    std::copy_n(Bytes.begin() + long(M.Flash.size()), M.Id.size(), M.Id.begin());
    std::copy_n(Bytes.begin() + long(M.Flash.size() + M.Id.size()), M.Config.size(), M.Config.begin());
    return true;
}

struct tStoredMemory {
    const char* FileName;
    tSimPicMemory tSimulatedInstrument::*Memory;
};
constexpr tStoredMemory StoredMemories[] = {
    {"mainpic.bin", &tSimulatedInstrument::MainPicMemory},
    {"graphicspic.bin", &tSimulatedInstrument::GraphicsPicMemory},
    {"databasepic.bin", &tSimulatedInstrument::DatabasePicMemory},
    {"keypadpic.bin", &tSimulatedInstrument::KeypadPicMemory},
    {"dosimeterpic.bin", &tSimulatedInstrument::DosimeterPicMemory},
};
constexpr const char* EepromFile = "eeprom.bin";
constexpr const char* StateFile = "state.txt";

std::string VersionText(const std::array<uint8_t, 4>& V) {
    return std::to_string(V[0]) + "." + std::to_string(V[1]) + "." + std::to_string(V[2]) + "." + std::to_string(V[3]);
}

std::array<uint8_t, 4> ParseVersion(const std::string& Text) {
    std::array<uint8_t, 4> v{};
    std::istringstream in(Text);
    std::string part;
    for (size_t i = 0; i < 4 && std::getline(in, part, '.'); ++i) v[i] = uint8_t(std::stoi(part));
    return v;
}

// The update-status record of an interrupted update of this utility, in the chip's user area.
void WriteInterruptedRecord(tSimulatedInstrument& I, uint8_t Pic, const std::array<uint8_t, 4>& TopLevel) {
    const auto& pcb = I.MainPic.State.PcbId;
    std::vector<uint8_t> record(13, 0);
    // The PCB id packed as the record keeps it: its text reversed, in pairs, gives the id bytes in
    // the order the main PIC sends them.
    for (size_t k = 0; k < 6; ++k) record[k] = pcb[k];
    record[6] = 0x55;
    for (size_t k = 0; k < 4; ++k) record[7 + k] = TopLevel[k];
    record[11] = Pic;
    record[12] = 2;  // written by this utility
    (void)I.Eeprom.WriteUserArea(record);
}

void SetHighCurrent(tSimulatedInstrument& I, bool On) {
    tFtdiEepromSettings s;
    if (I.Eeprom.Decode(s)) {
        s.BIsHighCurrent = On;
        (void)I.Eeprom.Encode(s);
    }
}

}  // namespace

bool SaveInstrument(const tSimulatedInstrument& I, const std::string& Folder) {
    std::error_code ec;
    fs::create_directories(Folder, ec);
    bool ok = WriteBytes(fs::path(Folder) / EepromFile, I.Eeprom.Bytes);
    for (const auto& m : StoredMemories) ok = WriteBytes(fs::path(Folder) / m.FileName, MemoryImage(I.*(m.Memory))) && ok;
    std::ofstream state(fs::path(Folder) / StateFile, std::ios::trunc);
    const auto& s = I.MainPic.State;
    state << "powered=" << (I.PoweredOn() ? 1 : 0) << "\n"
          << "program_state=" << int(s.ProgramState) << "\n"
          << "gsn=" << s.Gsn << "\n"
          << "sign_on=" << s.SignOn << "\n"
          << "graphics_fram=" << VersionText(s.Versions.GraphicsFram) << "\n"
          << "dsp=" << VersionText(s.Versions.Dsp) << "\n"
          << "pcb_id=";
    for (uint8_t b : s.PcbId) state << int(b) << ",";
    state << "\n";
    return ok && bool(state);
}

bool LoadInstrument(tSimulatedInstrument& I, const std::string& Folder) {
    std::vector<uint8_t> eeprom;
    if (!ReadBytes(fs::path(Folder) / EepromFile, eeprom, I.Eeprom.Bytes.size())) return false;
    I.Eeprom.Bytes = eeprom;
    for (const auto& m : StoredMemories) {
        tSimPicMemory& memory = I.*(m.Memory);
        std::vector<uint8_t> bytes;
        if (ReadBytes(fs::path(Folder) / m.FileName, bytes, memory.Flash.size() + 22)) (void)TakeMemoryImage(memory, bytes);
    }
    std::ifstream in(fs::path(Folder) / StateFile);
    std::map<std::string, std::string> values;
    for (std::string line; std::getline(in, line);) {
        const size_t eq = line.find('=');
        if (eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
    }
    auto& s = I.MainPic.State;
    try {
        if (values.count("program_state")) s.ProgramState = uint8_t(std::stoi(values["program_state"]));
        if (values.count("gsn")) s.Gsn = values["gsn"];
        if (values.count("sign_on") && values["sign_on"].size() == 7) s.SignOn = values["sign_on"];
        if (values.count("graphics_fram")) s.Versions.GraphicsFram = ParseVersion(values["graphics_fram"]);
        if (values.count("dsp")) s.Versions.Dsp = ParseVersion(values["dsp"]);
        if (values.count("pcb_id")) {
            std::istringstream bytes(values["pcb_id"]);
            std::string b;
            for (size_t k = 0; k < 6 && std::getline(bytes, b, ','); ++k) s.PcbId[k] = uint8_t(std::stoi(b));
        }
        if (values.count("powered") && values["powered"] == "0") I.PowerOff();
    } catch (const std::exception&) {
        // a damaged state file keeps the defaults of what it could not give
    }
    I.RefreshVersions();
    return true;
}

void ApplyScenario(tSimulatedInstrument& I, tSimScenario Scenario) {
    (void)I.Eeprom.WriteUserArea(std::vector<uint8_t>(13, 0));
    switch (Scenario) {
        case tSimScenario::UpToDate:
            SetHighCurrent(I, true);
            I.KeypadPicMemory.SeedVersion({5, 0, 0, 11});
            I.DatabasePicMemory.SeedVersion({3, 1, 0, 34});
            I.SeedMainPic({2, 5, 0, 1}, {2, 5, 0, 1});
            break;
        case tSimScenario::NeedsEveryUpdate:
            SetHighCurrent(I, false);
            I.KeypadPicMemory.SeedVersion({5, 0, 0, 10});
            I.DatabasePicMemory.SeedVersion({3, 1, 0, 33});
            I.SeedMainPic({2, 5, 0, 0}, {2, 5, 0, 0});
            break;
        case tSimScenario::InterruptedUpdate:
            SetHighCurrent(I, true);
            WriteInterruptedRecord(I, 1, {2, 5, 0, 0});
            I.MainPicMemory.EraseAll();
            I.RefreshVersions();
            break;
    }
    I.PowerOn();
}

const char* ScenarioName(tSimScenario Scenario) {
    switch (Scenario) {
        case tSimScenario::UpToDate: return "Up to date";
        case tSimScenario::NeedsEveryUpdate: return "Needs every update";
        case tSimScenario::InterruptedUpdate: return "Interrupted main PIC update";
    }
    return "";
}
