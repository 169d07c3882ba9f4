// FTDI's own D2XX library, loaded by name so that the dynamic loader's normal search (and
// LD_LIBRARY_PATH) decides which file it is.
#include <dlfcn.h>

#include <cstring>
#include <memory>

#include "D2XXBackend.h"
#include "D2XXUnit.h"

namespace {
constexpr const char* VendorLibraryName = "libftd2xx.so";
std::unique_ptr<tD2XXBackend> LibFtdiBackend;
}  // namespace

std::unique_ptr<tD2XXBackend> MakeLibFtdiBackend();

bool Load_Vendor_USB_Driver_Library() {
    Unload_USB_Driver_Library();
    USBSupportedByOS = true;
    void* handle = ::dlopen(VendorLibraryName, RTLD_NOW | RTLD_LOCAL);
    if (!handle) return false;
    USBLibraryHandle = handle;
    USBDriverKind = tUSBDriverKind::VendorLibrary;
    // The table is laid out in the order of the names; a name that does not resolve stays empty.
    void* slots[std::size(D2XXEntryPointNames)];
    for (size_t i = 0; i < std::size(D2XXEntryPointNames); ++i) slots[i] = ::dlsym(handle, D2XXEntryPointNames[i]);
    static_assert(sizeof slots == sizeof USBEntryPoints);
    std::memcpy(&USBEntryPoints, slots, sizeof slots);
    return true;
}

bool Load_LibFtdi_USB_Driver() {
    Unload_USB_Driver_Library();
    USBSupportedByOS = true;
    LibFtdiBackend = MakeLibFtdiBackend();
    if (!LibFtdiBackend) return false;
    Install_Backend_Entry_Points(LibFtdiBackend.get(), tUSBDriverKind::LibFtdi);
    return true;
}

void Unload_USB_Driver_Library() {
    if (USBDriverKind == tUSBDriverKind::VendorLibrary && USBLibraryHandle) ::dlclose(USBLibraryHandle);
    Install_Backend_Entry_Points(nullptr, tUSBDriverKind::None);
    LibFtdiBackend.reset();
    USBLibraryHandle = nullptr;
    USBDriverKind = tUSBDriverKind::None;
    USBDeviceHandle = nullptr;
    USBNameString.clear();
}
