// Texts the log lines and reports of the device link share.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "LogTime.h"

// Four upper-case hexadecimal digits.
inline std::string Hex4(uint16_t Value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", Value);
    return text;
}

