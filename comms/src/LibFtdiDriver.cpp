// The D2XX function set on libftdi1, for machines without FTDI's own library. One libftdi context
// per open channel; a dual-channel chip is listed as two channels, as FTDI's driver lists it.
#include <ftdi.h>
#include <libusb.h>

#include <algorithm>
#include <deque>
#include <memory>

#include "Clock.h"
#include "D2XXBackend.h"

namespace {

// Product ids of FTDI chips and how many channels each has.
struct tFtdiChip {
    uint16_t ProductId;
    int Channels;
};
constexpr tFtdiChip FtdiChips[] = {
    {0x6001, 1},  // FT232B/R
    {0x6010, 2},  // FT2232C/D/H
    {0x6011, 4},  // FT4232H
    {0x6014, 1},  // FT232H
    {0x6015, 1},  // FT-X
};
constexpr uint16_t FtdiVendorId = 0x0403;
constexpr char ChannelLetters[] = "ABCD";
// How long one USB read may block when we only look for what has arrived: the chip answers every
// latency period (at most 255 ms) with at least its two status bytes.
constexpr int PollReadTimeoutMs = 300;
constexpr size_t ReadChunk = 4096;
constexpr size_t EepromReadSize = 256;

struct tLibFtdiChannel {
    ftdi_context* Context = nullptr;
    std::deque<uint8_t> Received;  // bytes fetched from the chip but not yet read by the caller
    ULONG ReadTimeoutMs = 0;       // 0: wait without end, as D2XX does
    ULONG WriteTimeoutMs = 0;
};

struct tListedChannel {
    tD2XXChannelInfo Info;
    libusb_device* Device = nullptr;
    int Interface = 0;
};

int ChannelCount(uint16_t ProductId) {
    for (const auto& chip : FtdiChips)
        if (chip.ProductId == ProductId) return chip.Channels;
    return 1;
}

// The location id: bus in the top byte, the port path as nibbles below it, the channel number
// (1 for A, 2 for B ...) in the lowest bits.
uint32_t LocationOf(libusb_device* Device, int Interface) {
    uint8_t ports[7] = {};
    const int depth = libusb_get_port_numbers(Device, ports, sizeof ports);
    uint32_t path = 0;
    for (int i = 0; i < depth && i < 5; ++i) path = (path << 4) | (ports[i] & 0x0F);
    return (uint32_t(libusb_get_bus_number(Device)) << 24) | (path << 4) | uint32_t(Interface + 1);
}

FT_STATUS FromLibFtdi(int Result) { return Result < 0 ? FT_IO_ERROR : FT_OK; }

class tLibFtdiBackend : public tD2XXBackend {
public:
    tLibFtdiBackend() : Lister(ftdi_new()) {}
    ~tLibFtdiBackend() override {
        ReleaseList();
        if (Lister) ftdi_free(Lister);
    }

    FT_STATUS ListChannels(std::vector<tD2XXChannelInfo>& Channels) override {
        FT_STATUS status = Enumerate();
        Channels.clear();
        for (const auto& c : Listed) Channels.push_back(c.Info);
        return status;
    }

    FT_STATUS OpenChannel(size_t Index, FT_HANDLE* Handle) override {
        FT_STATUS status = Enumerate();
        if (status != FT_OK) return status;
        if (Index >= Listed.size()) return FT_DEVICE_NOT_FOUND;
        auto channel = std::make_unique<tLibFtdiChannel>();
        channel->Context = ftdi_new();
        if (!channel->Context) return FT_INSUFFICIENT_RESOURCES;
        const auto& listed = Listed[Index];
        // Opening detaches the kernel's serial driver from this interface, as users expect.
        if (ftdi_set_interface(channel->Context, ftdi_interface(INTERFACE_A + listed.Interface)) < 0 ||
            ftdi_usb_open_dev(channel->Context, listed.Device) < 0) {
            ftdi_free(channel->Context);
            return FT_DEVICE_NOT_OPENED;
        }
        channel->Context->usb_read_timeout = PollReadTimeoutMs;
        *Handle = channel.release();
        return FT_OK;
    }

    FT_STATUS Close(FT_HANDLE Handle) override {
        auto* channel = Of(Handle);
        if (!channel) return FT_INVALID_HANDLE;
        ftdi_usb_close(channel->Context);
        ftdi_free(channel->Context);
        delete channel;
        return FT_OK;
    }

    FT_STATUS Read(FT_HANDLE Handle, uint8_t* Buffer, DWORD Count, DWORD* Returned) override {
        auto* channel = Of(Handle);
        if (!channel) return FT_INVALID_HANDLE;
        const uint64_t start = Clock().NowMs();
        while (channel->Received.size() < Count) {
            if (Fetch(*channel) < 0) return FT_IO_ERROR;
            if (channel->Received.size() >= Count) break;
            if (channel->ReadTimeoutMs && Clock().NowMs() - start >= channel->ReadTimeoutMs) break;
        }
        const size_t n = std::min<size_t>(Count, channel->Received.size());
        std::copy_n(channel->Received.begin(), n, Buffer);
        channel->Received.erase(channel->Received.begin(), channel->Received.begin() + long(n));
        *Returned = DWORD(n);
        return FT_OK;
    }

    FT_STATUS Write(FT_HANDLE Handle, const uint8_t* Buffer, DWORD Count, DWORD* Written) override {
        auto* channel = Of(Handle);
        if (!channel) return FT_INVALID_HANDLE;
        const int n = ftdi_write_data(channel->Context, Buffer, int(Count));
        if (n < 0) return FT_IO_ERROR;
        *Written = DWORD(n);
        return FT_OK;
    }

    FT_STATUS SetBaudRate(FT_HANDLE Handle, ULONG BaudRate) override {
        auto* channel = Of(Handle);
        if (!channel) return FT_INVALID_HANDLE;
        return ftdi_set_baudrate(channel->Context, int(BaudRate)) < 0 ? FT_INVALID_BAUD_RATE : FT_OK;
    }

    FT_STATUS SetDataCharacteristics(FT_HANDLE Handle, UCHAR WordLength, UCHAR StopBits, UCHAR Parity) override {
        auto* channel = Of(Handle);
        if (!channel) return FT_INVALID_HANDLE;
        if ((WordLength != 7 && WordLength != 8) || (StopBits != 0 && StopBits != 2) || Parity > 4)
            return FT_INVALID_PARAMETER;
        // The line-property numbers of libftdi are those of D2XX.
        return FromLibFtdi(ftdi_set_line_property(channel->Context, ftdi_bits_type(WordLength),
                                                  ftdi_stopbits_type(StopBits), ftdi_parity_type(Parity)));
    }

    FT_STATUS Purge(FT_HANDLE Handle, ULONG Mask) override {
        auto* channel = Of(Handle);
        if (!channel) return FT_INVALID_HANDLE;
        if (Mask & FT_PURGE_RX) {
            channel->Received.clear();
            if (ftdi_tciflush(channel->Context) < 0) return FT_IO_ERROR;
        }
        if ((Mask & FT_PURGE_TX) && ftdi_tcoflush(channel->Context) < 0) return FT_IO_ERROR;
        return FT_OK;
    }

    FT_STATUS SetTimeouts(FT_HANDLE Handle, ULONG ReadMs, ULONG WriteMs) override {
        auto* channel = Of(Handle);
        if (!channel) return FT_INVALID_HANDLE;
        channel->ReadTimeoutMs = ReadMs;
        channel->WriteTimeoutMs = WriteMs;
        channel->Context->usb_write_timeout = WriteMs ? int(WriteMs) : 5000;
        return FT_OK;
    }

    FT_STATUS GetQueueStatus(FT_HANDLE Handle, DWORD* RxBytes) override {
        auto* channel = Of(Handle);
        if (!channel) return FT_INVALID_HANDLE;
        if (channel->Received.empty() && Fetch(*channel) < 0) return FT_IO_ERROR;
        *RxBytes = DWORD(channel->Received.size());
        return FT_OK;
    }

    FT_STATUS SetLatencyTimer(FT_HANDLE Handle, UCHAR Ms) override {
        auto* channel = Of(Handle);
        if (!channel) return FT_INVALID_HANDLE;
        return Ms == 0 ? FT_INVALID_PARAMETER : FromLibFtdi(ftdi_set_latency_timer(channel->Context, Ms));
    }

    FT_STATUS SetBitMode(FT_HANDLE Handle, UCHAR Mask, UCHAR Mode) override {
        auto* channel = Of(Handle);
        if (!channel) return FT_INVALID_HANDLE;
        return FromLibFtdi(ftdi_set_bitmode(channel->Context, Mask, Mode));
    }

    FT_STATUS ReadEeprom(FT_HANDLE Handle, tFtdiEepromImage& Image) override {
        auto* channel = Of(Handle);
        if (!channel) return FT_INVALID_HANDLE;
        if (ftdi_read_eeprom(channel->Context) < 0) return FT_EEPROM_READ_FAILED;
        std::vector<uint8_t> raw(EepromReadSize);
        if (ftdi_get_eeprom_buf(channel->Context, raw.data(), int(raw.size())) < 0) return FT_EEPROM_READ_FAILED;
        // A 93C46 answers the upper half with the lower one again.
        const bool mirrored = std::equal(raw.begin(), raw.begin() + 128, raw.begin() + 128);
        if (mirrored) raw.resize(tFtdiEepromImage::Size93C46);
        Image.Bytes = std::move(raw);
        return FT_OK;
    }

    // Word by word, only where the image changes: libftdi's own image rebuild would drop every
    // byte it does not know about, the user area among them.
    FT_STATUS WriteEeprom(FT_HANDLE Handle, const tFtdiEepromImage& Old, const tFtdiEepromImage& New) override {
        auto* channel = Of(Handle);
        if (!channel) return FT_INVALID_HANDLE;
        if (Old.Bytes.size() != New.Bytes.size()) return FT_INVALID_PARAMETER;
        for (size_t i = 0; i + 1 < New.Bytes.size(); i += 2) {
            if (Old.Bytes[i] == New.Bytes[i] && Old.Bytes[i + 1] == New.Bytes[i + 1]) continue;
            const uint16_t word = uint16_t(New.Bytes[i] | (New.Bytes[i + 1] << 8));
            if (ftdi_write_eeprom_location(channel->Context, int(i / 2), word) < 0) return FT_EEPROM_WRITE_FAILED;
        }
        return FT_OK;
    }

    FT_STATUS ResetPort(FT_HANDLE Handle) override {
        auto* channel = Of(Handle);
        if (!channel) return FT_INVALID_HANDLE;
        return libusb_reset_device(channel->Context->usb_dev) < 0 ? FT_IO_ERROR : FT_OK;
    }

    // Nothing in libusb re-enumerates a port the way FTDI's Windows driver does.
    FT_STATUS CyclePort(FT_HANDLE) override { return FT_NOT_SUPPORTED; }

    bool AccessDenied() const override { return Denied; }

private:
    static tLibFtdiChannel* Of(FT_HANDLE Handle) { return static_cast<tLibFtdiChannel*>(Handle); }

    // Moves what the chip has sent into the channel's own queue; negative on a USB error.
    static int Fetch(tLibFtdiChannel& Channel) {
        uint8_t chunk[ReadChunk];
        const int n = ftdi_read_data(Channel.Context, chunk, int(sizeof chunk));
        if (n > 0) Channel.Received.insert(Channel.Received.end(), chunk, chunk + n);
        return n;
    }

    void ReleaseList() {
        if (DeviceList) ftdi_list_free(&DeviceList);
        DeviceList = nullptr;
        Listed.clear();
    }

    FT_STATUS Enumerate() {
        ReleaseList();
        Denied = false;
        if (!Lister) return FT_OK;  // no USB at all: no devices
        const int found = ftdi_usb_find_all(Lister, &DeviceList, 0, 0);
        if (found < 0) return FT_OK;
        for (ftdi_device_list* item = DeviceList; item; item = item->next) {
            libusb_device_descriptor descriptor{};
            if (libusb_get_device_descriptor(item->dev, &descriptor) < 0 || descriptor.idVendor != FtdiVendorId)
                continue;
            char manufacturer[128] = {}, description[128] = {}, serial[128] = {};
            if (ftdi_usb_get_strings2(Lister, item->dev, manufacturer, sizeof manufacturer, description,
                                      sizeof description, serial, sizeof serial) < 0) {
                // The strings need the device opened: without the rights to it, it cannot be named.
                libusb_device_handle* probe = nullptr;
                const int opened = libusb_open(item->dev, &probe);
                if (opened == LIBUSB_ERROR_ACCESS) Denied = true;
                if (probe) libusb_close(probe);
                continue;
            }
            const int channels = ChannelCount(descriptor.idProduct);
            for (int k = 0; k < channels; ++k) {
                tListedChannel c;
                c.Device = item->dev;
                c.Interface = k;
                c.Info.SerialNumber = serial;
                c.Info.Description = description;
                if (channels > 1) {
                    c.Info.SerialNumber += ChannelLetters[k];
                    c.Info.Description += std::string(" ") + ChannelLetters[k];
                }
                c.Info.LocationId = LocationOf(item->dev, k);
                Listed.push_back(c);
            }
        }
        return FT_OK;
    }

    ftdi_context* Lister;
    ftdi_device_list* DeviceList = nullptr;
    bool Denied = false;
    std::vector<tListedChannel> Listed;
};

}  // namespace

std::unique_ptr<tD2XXBackend> MakeLibFtdiBackend() { return std::make_unique<tLibFtdiBackend>(); }
