#include "BrammUtils.h"

#include <dirent.h>
#include <sys/stat.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

std::string ExtractField(std::string_view Text, int N, char Sep) {
    if (N < 1) return {};
    int separators = 0;
    for (char c : Text)
        if (c == Sep) ++separators;
    if (separators < N - 1) return {};

    size_t start = 0;
    for (int seen = 0; seen < N - 1; ++seen) start = Text.find(Sep, start) + 1;
    size_t end = Text.find(Sep, start);
    return std::string(Text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
}

int32_t FileSizeByName(const std::string& FileName) {
    std::error_code ec;
    auto full = std::filesystem::absolute(FileName, ec);
    if (ec) return -1;
    struct stat st {};
    if (::stat(full.c_str(), &st) != 0) return -1;
    if (!S_ISREG(st.st_mode)) return 0;  // a folder matches the search but has no size of its own
    return st.st_size > INT32_MAX ? INT32_MAX : int32_t(st.st_size);
}

std::string IncludeTrailingPathDelimiter(const std::string& Path) {
    if (!Path.empty() && Path.back() == '/') return Path;
    return Path + '/';
}

std::string GetTempFolder() {
    const char* tmp = std::getenv("TMPDIR");
    std::string folder = (tmp && *tmp) ? tmp : "/tmp";
    return IncludeTrailingPathDelimiter(folder);
}

int CountProcessThreads() {
    DIR* tasks = ::opendir("/proc/self/task");
    if (!tasks) return 0;
    int count = 0;
    while (dirent* entry = ::readdir(tasks))
        if (entry->d_name[0] != '.') ++count;
    ::closedir(tasks);
    return count;
}

void AppendLineToFile(const std::string& FileName, std::string_view Line, bool Append) {
    if (FileName.empty()) return;
    std::FILE* f = std::fopen(FileName.c_str(), Append ? "ab" : "wb");
    if (!f) return;
    std::fwrite(Line.data(), 1, Line.size(), f);
    std::fwrite("\r\n", 1, 2, f);
    std::fclose(f);
}

std::string AnsiBufferToString(const uint8_t* Buffer, int Len) {
    std::string text;
    for (int i = 0; i < Len && Buffer[i] != 0; ++i) text.push_back(char(Buffer[i]));
    return text;
}

uint8_t HexDigitValue(char C) {
    if (C >= 'a' && C <= 'z') C = char(C - 'a' + 'A');
    int value = uint8_t(C) - 48;
    if (value > 9) value -= 7;
    return uint8_t(value);
}

uint16_t HexPairToByte(std::string_view Text) {
    if (Text.size() < 2) return 0;
    return uint16_t(HexDigitValue(Text[0]) * 16 + HexDigitValue(Text[1]));
}

std::string TrimText(std::string_view Text) {
    size_t first = 0, last = Text.size();
    while (first < last && uint8_t(Text[first]) <= ' ') ++first;
    while (last > first && uint8_t(Text[last - 1]) <= ' ') --last;
    return std::string(Text.substr(first, last - first));
}
