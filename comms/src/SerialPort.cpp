#include "SerialPort.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

namespace {

struct tBaud {
    uint32_t Rate;
    speed_t Code;
};
constexpr tBaud BaudRates[] = {
    {9600, B9600},     {19200, B19200},   {38400, B38400},   {57600, B57600},   {115200, B115200},
    {230400, B230400}, {460800, B460800}, {921600, B921600},
};

}  // namespace

void tSerialPort::Open() {
    Close();
    Fd = ::open(Port.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (Fd < 0 || !Configure()) {
        const int error = errno;
        Close();
        if (OnException) OnException("Unable to open " + Port, error, std::strerror(error));
        throw std::system_error(error, std::generic_category(), "Unable to open " + Port);
    }
}

bool tSerialPort::Configure() {
    termios t{};
    if (::tcgetattr(Fd, &t) != 0) return false;
    ::cfmakeraw(&t);
    speed_t speed = B9600;
    for (const auto& b : BaudRates)
        if (b.Rate == BaudRate) speed = b.Code;
    ::cfsetispeed(&t, speed);
    ::cfsetospeed(&t, speed);
    t.c_cflag &= ~tcflag_t(CSIZE | CSTOPB | PARENB | PARODD | CRTSCTS);
    t.c_cflag |= CLOCAL | CREAD | (DataBits == 7 ? CS7 : CS8);
    if (StopBits == 2) t.c_cflag |= CSTOPB;
    if (Parity == 1) t.c_cflag |= PARENB | PARODD;
    if (Parity == 2) t.c_cflag |= PARENB;
    if (FlowControl == tFlowControl::Hardware) t.c_cflag |= CRTSCTS;
    if (FlowControl == tFlowControl::Software) t.c_iflag |= IXON | IXOFF;
    return ::tcsetattr(Fd, TCSANOW, &t) == 0;
}

void tSerialPort::Close() {
    if (Fd >= 0) ::close(Fd);
    Fd = -1;
}

size_t tSerialPort::Write(const uint8_t* Bytes, size_t Count) {
    if (Fd < 0) return 0;
    const ssize_t n = ::write(Fd, Bytes, Count);
    if (n < 0) {
        if (OnError) OnError(std::strerror(errno));
        return 0;
    }
    return size_t(n);
}

size_t tSerialPort::Read(uint8_t* Bytes, size_t Count) {
    if (Fd < 0) return 0;
    const ssize_t n = ::read(Fd, Bytes, Count);
    return n < 0 ? 0 : size_t(n);
}

size_t tSerialPort::InputCount() {
    int queued = 0;
    if (Fd < 0 || ::ioctl(Fd, FIONREAD, &queued) != 0) return 0;
    return size_t(queued);
}

void tSerialPort::ClearBuffer(bool Input, bool Output) {
    if (Fd < 0) return;
    if (Input && Output)
        ::tcflush(Fd, TCIOFLUSH);
    else if (Input)
        ::tcflush(Fd, TCIFLUSH);
    else if (Output)
        ::tcflush(Fd, TCOFLUSH);
}
