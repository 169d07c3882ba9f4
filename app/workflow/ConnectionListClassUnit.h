// The instruments found on the USB bus: at most 20, numbered from 1.
#pragma once

#include <array>
#include <cstdint>
#include <string>

class TConnectionList {
public:
    static constexpr int MaxEntries = 20;

    TConnectionList() { Clear(); }

    void Clear();
    int Count();
    int ValidCount();
    int Find(uint32_t Location);
    uint32_t GetLocation(int i);
    std::string GetName(int i);
    int32_t GetPortAIndex(int i);
    int32_t GetPortBIndex(int i);
    void SetLocation(int i, uint32_t Location);
    void SetName(int i, const std::string& Name);
    void SetPortAIndex(int i, int32_t Index);
    void SetPortBIndex(int i, int32_t Index);

private:
    bool InFilled(int i) { return i >= 1 && i <= Count(); }

    std::array<std::string, MaxEntries> FNames;
    std::array<uint32_t, MaxEntries> FLocation{};
    std::array<int32_t, MaxEntries> FPortAIndex{};
    std::array<int32_t, MaxEntries> FPortBIndex{};
    int32_t FCount = 0;
    int32_t FValidCount = 0;
};
