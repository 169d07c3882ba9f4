#include "LogTime.h"

std::string LocalTimeText(std::time_t When, const char* Format) {
    std::tm local{};
    localtime_r(&When, &local);
    char text[64];
    std::strftime(text, sizeof text, Format, &local);
    return text;
}

std::string LongTimeText() { return LocalTimeText(std::time(nullptr), "%H:%M:%S"); }

std::string DateTimeText() { return LocalTimeText(std::time(nullptr), "%d/%m/%Y %H:%M:%S"); }
