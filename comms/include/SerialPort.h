// A named serial port (POSIX termios), for the serial link kind of the device link.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

enum class tFlowControl { None, Hardware, Software };

class tSerialPort {
public:
    ~tSerialPort() { Close(); }

    std::string Port;
    uint32_t BaudRate = 9600;
    tFlowControl FlowControl = tFlowControl::None;
    uint8_t DataBits = 8;
    uint8_t StopBits = 1;
    uint8_t Parity = 0;  // 0 none, 1 odd, 2 even

    // Error texts, as the port's error and exception events.
    std::function<void(const std::string& Errors)> OnError;
    std::function<void(const std::string& Message, int Code, const std::string& SystemMessage)> OnException;

    void Open();  // raises std::system_error when the port cannot be opened
    void Close();
    bool Connected() const { return Fd >= 0; }
    size_t Write(const uint8_t* Bytes, size_t Count);
    size_t Read(uint8_t* Bytes, size_t Count);
    size_t InputCount();
    void ClearBuffer(bool Input, bool Output);

private:
    bool Configure();
    int Fd = -1;
};
