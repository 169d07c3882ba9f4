// The time stamp of a debug log line: the local time in the long time format (HH:MM:SS).
#pragma once

#include <string>

std::string LongTimeText();
