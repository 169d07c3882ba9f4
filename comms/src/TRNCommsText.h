// Texts the log lines and reports of the device link share.
#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>

// Four upper-case hexadecimal digits.
inline std::string Hex4(uint16_t Value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", Value);
    return text;
}

// The current date and time, short date and long time.
inline std::string DateTimeText() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%d/%m/%Y %H:%M:%S", &local);
    return text;
}
