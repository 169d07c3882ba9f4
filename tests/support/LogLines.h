// A log file's lines, CR LF removed and the link's "HH:MM:SS: " time stamps dropped.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "support/TempDir.h"

inline std::vector<std::string> LogFileLines(const std::string& Path) {
    std::vector<std::string> lines;
    std::istringstream in(ReadFileText(Path));
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const bool stamped = line.size() > 10 && line[2] == ':' && line[5] == ':' && line[8] == ':';
        lines.push_back(stamped ? line.substr(10) : line);
    }
    return lines;
}

inline bool LogHasLine(const std::string& Path, const std::string& Line) {
    for (const auto& l : LogFileLines(Path))
        if (l == Line) return true;
    return false;
}
