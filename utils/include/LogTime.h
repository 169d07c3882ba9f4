// Local time as the log lines and reports show it.
#pragma once

#include <ctime>
#include <string>

// When in the local time zone, in a strftime format.
std::string LocalTimeText(std::time_t When, const char* Format);
// Now in the long time format (HH:MM:SS): the stamp of a debug log line.
std::string LongTimeText();
// Now as short date and long time (DD/MM/YYYY HH:MM:SS).
std::string DateTimeText();
