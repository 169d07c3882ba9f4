#include "ConnectionListClassUnit.h"

void TConnectionList::Clear() {
    FCount = 0;
    for (int i = 0; i < MaxEntries; ++i) {
        FNames[size_t(i)].clear();
        FLocation[size_t(i)] = 0;
        FPortAIndex[size_t(i)] = -1;
        FPortBIndex[size_t(i)] = -1;
    }
}

int TConnectionList::Count() {
    int n = 0;
    while (n < MaxEntries && FLocation[size_t(n)] != 0) ++n;
    FCount = n;
    return n;
}

int TConnectionList::ValidCount() {
    int n = 0;
    while (n < MaxEntries && FLocation[size_t(n)] != 0 && FPortAIndex[size_t(n)] >= 0 && FPortBIndex[size_t(n)] >= 0) ++n;
    FValidCount = n;
    return n;
}

int TConnectionList::Find(uint32_t Location) {
    const int count = Count();
    for (int i = 1; i <= count; ++i)
        if (FLocation[size_t(i - 1)] == Location) return i;
    return 0;
}

uint32_t TConnectionList::GetLocation(int i) { return InFilled(i) ? FLocation[size_t(i - 1)] : 0; }
std::string TConnectionList::GetName(int i) { return InFilled(i) ? FNames[size_t(i - 1)] : std::string(); }
int32_t TConnectionList::GetPortAIndex(int i) { return InFilled(i) ? FPortAIndex[size_t(i - 1)] : -1; }
int32_t TConnectionList::GetPortBIndex(int i) { return InFilled(i) ? FPortBIndex[size_t(i - 1)] : -1; }

void TConnectionList::SetLocation(int i, uint32_t Location) {
    if (i >= 1 && i <= Count() + 1 && i <= MaxEntries) FLocation[size_t(i - 1)] = Location;
}

void TConnectionList::SetName(int i, const std::string& Name) {
    if (InFilled(i)) FNames[size_t(i - 1)] = Name;
}

void TConnectionList::SetPortAIndex(int i, int32_t Index) {
    if (InFilled(i)) FPortAIndex[size_t(i - 1)] = Index;
}

void TConnectionList::SetPortBIndex(int i, int32_t Index) {
    if (InFilled(i)) FPortBIndex[size_t(i - 1)] = Index;
}
