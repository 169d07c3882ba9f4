// A fresh folder for one test, removed with everything in it afterwards.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

class tTempDir {
public:
    tTempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "veltra-test-XXXXXX").string();
        Path = ::mkdtemp(pattern.data());
    }
    ~tTempDir() {
        std::error_code ec;
        std::filesystem::remove_all(Path, ec);
    }
    tTempDir(const tTempDir&) = delete;
    tTempDir& operator=(const tTempDir&) = delete;

    std::string operator/(const std::string& Name) const { return (Path / Name).string(); }

    std::string Write(const std::string& Name, const std::string& Content) const {
        std::filesystem::path file = Path / Name;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << Content;
        return file.string();
    }

    std::filesystem::path Path;
};

inline std::string ReadFileText(const std::string& Path) {
    std::ifstream in(Path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}
