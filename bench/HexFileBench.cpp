// Loading a full 128 KB PIC18 image beside merely reading the same file line by line.
#include <benchmark/benchmark.h>

#include <fstream>

#include "HexFileClass.h"
#include "support/HexText.h"
#include "support/TempDir.h"

namespace {

// A full PIC18F8722 image: 128 KB of program memory in 32-byte records, plus ID and configuration.
std::string FullImageText() {
    std::string text;
    for (uint32_t upper = 0; upper < 2; ++upper) {
        text += HexUpper(uint16_t(upper));
        for (uint32_t address = 0; address < 0x10000; address += 32) {
            std::vector<uint8_t> data(32);
            for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(address + i + upper);
            text += HexData(uint16_t(address), data);
        }
    }
    text += HexUpper(0x0020) + HexData(0, {5, 0, 0, 0, 0, 0, 11, 0});
    text += HexUpper(0x0030) + HexData(0, std::vector<uint8_t>(14, 0xFF));
    return text + HexEnd() + ";PIC18F8722\r\n";
}

struct tImageFile {
    tTempDir Dir;
    std::string Path = Dir.Write("MainPic.hex", FullImageText());
};

tImageFile& Image() {
    static tImageFile image;
    return image;
}

void BM_ReadLines(benchmark::State& state) {
    for (auto _ : state) {
        std::ifstream in(Image().Path);
        std::string line;
        size_t total = 0;
        while (std::getline(in, line)) total += line.size();
        benchmark::DoNotOptimize(total);
    }
}
BENCHMARK(BM_ReadLines)->Unit(benchmark::kMillisecond);

void BM_LoadFullImage(benchmark::State& state) {
    auto hex = std::make_unique<tHexFile>();
    for (auto _ : state) {
        hex->LoadFromFile(Image().Path);
        benchmark::DoNotOptimize(hex->HexData[0xFFFF]);
    }
    state.counters["records"] = double(hex->NumWordsRead) / 16;
}
BENCHMARK(BM_LoadFullImage)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
