// A stand-in for FTDI's libftd2xx.so with the same exported C names: it reports a recognisable
// channel count, so a test can tell that the dynamic loader's choice is the library in use.
#include <cstdint>

extern "C" {

uint32_t FT_ListDevices(void* Arg1, void*, uint32_t Flags) {
    if (Flags & 0x80000000u) {
        *static_cast<uint32_t*>(Arg1) = 7;
        return 0;
    }
    return 2;
}

uint32_t FT_Open(int, void** Handle) {
    static int handle;
    *Handle = &handle;
    return 0;
}

uint32_t FT_Close(void*) { return 0; }

}  // extern "C"
