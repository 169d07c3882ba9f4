// Zip archives of database folders, on libzip. The archive is written to a temporary file and
// renamed into place when complete (libzip's own commit), then read back and checked.
#include <zip.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "BrammUtils.h"

namespace fs = std::filesystem;

namespace {

// What a missing archive starts as: an empty archive's end record and two further zero bytes.
constexpr unsigned char EmptyArchive[24] = {0x50, 0x4B, 0x05, 0x06};

bool WriteEmptyArchive(const std::string& ZipFile) {
    std::ofstream out(ZipFile, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(EmptyArchive), sizeof EmptyArchive);
    return bool(out);
}

// Names of every file below Folder, relative to it, with '/' separators; folders end with '/'.
bool CollectItems(const fs::path& Folder, std::vector<std::string>& Files, std::vector<std::string>& Dirs) {
    std::error_code ec;
    for (fs::recursive_directory_iterator it(Folder, ec), end; it != end; it.increment(ec)) {
        if (ec) return false;
        std::string name = fs::relative(it->path(), Folder, ec).generic_string();
        if (ec) return false;
        if (it->is_directory(ec))
            Dirs.push_back(name + "/");
        else if (it->is_regular_file(ec))
            Files.push_back(name);
    }
    return !ec;
}

bool ArchiveHoldsAll(const std::string& ZipFile, const std::vector<std::string>& Files) {
    int error = 0;
    zip_t* archive = zip_open(ZipFile.c_str(), ZIP_CHECKCONS | ZIP_RDONLY, &error);
    if (!archive) return false;
    bool all = true;
    for (const auto& name : Files) {
        zip_stat_t st;
        if (zip_stat(archive, name.c_str(), 0, &st) != 0) {
            all = false;
            break;
        }
    }
    zip_discard(archive);
    return all;
}

// An entry may only name a place inside the target folder.
bool IsSafeEntryName(const std::string& Name) {
    if (Name.empty() || Name.front() == '/' || Name.front() == '\\') return false;
    if (Name.size() >= 2 && Name[1] == ':') return false;  // a drive letter
    size_t start = 0;
    while (start <= Name.size()) {
        size_t end = Name.find_first_of("/\\", start);
        if (end == std::string::npos) end = Name.size();
        if (Name.compare(start, end - start, "..") == 0) return false;
        start = end + 1;
    }
    return true;
}

}  // namespace

bool ZipFolder(const std::string& ZipFile, const std::string& Folder) {
    std::error_code ec;
    if (!fs::is_directory(Folder, ec)) return false;

    bool createdHere = false;
    if (!fs::exists(ZipFile, ec)) {
        if (!WriteEmptyArchive(ZipFile)) return false;
        createdHere = true;
    }
    auto fail = [&] {
        if (createdHere) fs::remove(ZipFile, ec);
        return false;
    };

    std::vector<std::string> files, dirs;
    if (!CollectItems(Folder, files, dirs)) return fail();

    int error = 0;
    zip_t* archive = zip_open(ZipFile.c_str(), 0, &error);
    if (!archive) return fail();
    for (const auto& dir : dirs) {
        if (zip_name_locate(archive, dir.c_str(), 0) < 0 && zip_dir_add(archive, dir.c_str(), ZIP_FL_ENC_UTF_8) < 0) {
            zip_discard(archive);
            return fail();
        }
    }
    for (const auto& name : files) {
        std::string path = (fs::path(Folder) / name).string();
        zip_source_t* source = zip_source_file(archive, path.c_str(), 0, -1);
        if (!source || zip_file_add(archive, name.c_str(), source, ZIP_FL_OVERWRITE | ZIP_FL_ENC_UTF_8) < 0) {
            if (source) zip_source_free(source);
            zip_discard(archive);
            return fail();
        }
    }
    if (zip_close(archive) != 0) {
        zip_discard(archive);
        return fail();
    }
    if (files.empty() && dirs.empty()) return true;  // libzip leaves the empty archive untouched
    if (!ArchiveHoldsAll(ZipFile, files)) return fail();
    return true;
}

bool UnzipArchive(const std::string& ZipFile, const std::string& Folder) {
    int error = 0;
    zip_t* archive = zip_open(ZipFile.c_str(), ZIP_RDONLY, &error);
    if (!archive) return false;

    // Refuse the whole archive before anything is written when one entry points outside Folder.
    const zip_int64_t entries = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < entries; ++i) {
        const char* name = zip_get_name(archive, zip_uint64_t(i), 0);
        if (!name || !IsSafeEntryName(name)) {
            zip_discard(archive);
            return false;
        }
    }

    std::error_code ec;
    fs::create_directories(Folder, ec);
    bool ok = fs::is_directory(Folder, ec);
    std::vector<char> buffer(64 * 1024);
    for (zip_int64_t i = 0; ok && i < entries; ++i) {
        std::string name = zip_get_name(archive, zip_uint64_t(i), 0);
        fs::path target = fs::path(Folder) / name;
        if (name.back() == '/') {
            fs::create_directories(target, ec);
            ok = !ec;
            continue;
        }
        fs::create_directories(target.parent_path(), ec);
        zip_file_t* entry = zip_fopen_index(archive, zip_uint64_t(i), 0);
        std::FILE* out = entry ? std::fopen(target.c_str(), "wb") : nullptr;
        if (!out) ok = false;
        while (ok) {
            zip_int64_t n = zip_fread(entry, buffer.data(), buffer.size());
            if (n < 0) ok = false;
            if (n <= 0) break;
            if (std::fwrite(buffer.data(), 1, size_t(n), out) != size_t(n)) ok = false;
        }
        if (out && std::fclose(out) != 0) ok = false;
        if (entry) zip_fclose(entry);
    }
    zip_discard(archive);
    return ok;
}
