#include <gtest/gtest.h>
#include <zip.h>

#include <cstdlib>
#include <filesystem>

#include "BrammUtils.h"
#include "BrammUtilsDesktop.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

struct tFieldCase {
    const char* Text;
    int N;
    const char* Expected;
};

TEST(ExtractField, FieldsOfDottedTexts) {
    const tFieldCase cases[] = {
        {"2.5.0.0", 4, "0"},  {"2.5", 3, ""},       {"1.10.0.2", 1, "1"}, {"1.10.0.2", 2, "10"},
        {"1.10.0.2", 3, "0"}, {"1.10.0.2", 4, "2"}, {"1.10.0.2", 5, ""},  {"1..3", 2, ""},
        {"1..3", 3, "3"},     {"abc", 1, "abc"},    {"abc", 2, ""},       {"1.2", 0, ""},
        {"1.2", -1, ""},      {"", 1, ""},          {".5", 1, ""},        {"5.", 2, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ExtractField(c.Text, c.N, '.'), c.Expected) << c.Text << " field " << c.N;
}

TEST(HexDigits, PairsAndDigits) {
    EXPECT_EQ(HexPairToByte("7f"), 127);
    EXPECT_EQ(HexPairToByte("7F"), 127);
    EXPECT_EQ(HexPairToByte("A"), 0);
    EXPECT_EQ(HexPairToByte(""), 0);
    EXPECT_EQ(HexPairToByte("FFx"), 255);
    for (char c = '0'; c <= '9'; ++c) EXPECT_EQ(HexDigitValue(c), c - '0');
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(HexDigitValue(char('A' + i)), 10 + i);
        EXPECT_EQ(HexDigitValue(char('a' + i)), 10 + i);
    }
    EXPECT_EQ(HexDigitValue('G'), 16);  // not rejected, just another value
}

TEST(AnsiBufferToString, StopsAtFirstZero) {
    const uint8_t buffer[12] = {'A', 'B', 0, 'C', 'D'};
    EXPECT_EQ(AnsiBufferToString(buffer, 12), "AB");
    EXPECT_EQ(AnsiBufferToString(buffer, 1), "A");
    EXPECT_EQ(AnsiBufferToString(buffer, 0), "");
    EXPECT_EQ(AnsiBufferToString(buffer, -3), "");
    const uint8_t latin[2] = {0xE9, 0x41};
    EXPECT_EQ(AnsiBufferToString(latin, 2), std::string("\xE9" "A"));
}

TEST(FileSizeByName, AbsentEmptyAndFilled) {
    tTempDir dir;
    EXPECT_EQ(FileSizeByName(dir / "absent.bin"), -1);
    EXPECT_EQ(FileSizeByName(dir.Write("empty.bin", "")), 0);
    EXPECT_EQ(FileSizeByName(dir.Write("five.bin", "12345")), 5);
}

TEST(AppendLineToFile, CreatesAppendsAndNeverFails) {
    tTempDir dir;
    const std::string log = dir / "log.txt";
    AppendLineToFile(log, "first", true);
    AppendLineToFile(log, "second", true);
    EXPECT_EQ(ReadFileText(log), "first\r\nsecond\r\n");
    AppendLineToFile(log, "fresh", false);
    EXPECT_EQ(ReadFileText(log), "fresh\r\n");
    AppendLineToFile("", "nowhere", true);
    AppendLineToFile(dir / "no/such/folder/log.txt", "lost", true);  // swallowed
}

TEST(Folders, TempFolderEndsWithSeparatorAndDesktopExists) {
    EXPECT_EQ(GetTempFolder().back(), '/');
    EXPECT_TRUE(fs::is_directory(GetDesktopFolder()));
    EXPECT_GE(CountProcessThreads(), 1);
}

class ZipFolderTest : public ::testing::Test {
protected:
    tTempDir Dir;
    std::string Source() { return (Dir.Path / "VELDBFiles_1").string(); }
    void FillSource() {
        Dir.Write("VELDBFiles_1/Settings_PIC.DAT", std::string(1024, 'S'));
        Dir.Write("VELDBFiles_1/Cache_PIC.DAT", std::string(65536, 'C'));
        Dir.Write("VELDBFiles_1/logs/run.log", "line\r\n");
    }
};

TEST_F(ZipFolderTest, NewArchiveHoldsEveryFileAndUnzipsBack) {
    FillSource();
    const std::string archive = Dir / "db.zip";
    ASSERT_TRUE(ZipFolder(archive, Source()));
    const std::string out = Dir / "out";
    ASSERT_TRUE(UnzipArchive(archive, out));
    EXPECT_EQ(ReadFileText(out + "/Settings_PIC.DAT"), std::string(1024, 'S'));
    EXPECT_EQ(ReadFileText(out + "/Cache_PIC.DAT"), std::string(65536, 'C'));
    EXPECT_EQ(ReadFileText(out + "/logs/run.log"), "line\r\n");
}

TEST_F(ZipFolderTest, EmptyFolderLeavesTheTwentyFourByteEmptyArchive) {
    fs::create_directories(Source());
    const std::string archive = Dir / "empty.zip";
    ASSERT_TRUE(ZipFolder(archive, Source()));
    const std::string bytes = ReadFileText(archive);
    ASSERT_EQ(bytes.size(), 24u);
    EXPECT_EQ(bytes.substr(0, 4), "PK\x05\x06");
    EXPECT_EQ(bytes.substr(4), std::string(20, '\0'));
}

TEST_F(ZipFolderTest, ExistingArchiveGainsTheFolderItems) {
    Dir.Write("first/a.txt", "alpha");
    const std::string archive = Dir / "db.zip";
    ASSERT_TRUE(ZipFolder(archive, (Dir.Path / "first").string()));
    FillSource();
    ASSERT_TRUE(ZipFolder(archive, Source()));
    const std::string out = Dir / "out";
    ASSERT_TRUE(UnzipArchive(archive, out));
    EXPECT_EQ(ReadFileText(out + "/a.txt"), "alpha");
    EXPECT_EQ(ReadFileText(out + "/Settings_PIC.DAT"), std::string(1024, 'S'));
}

TEST_F(ZipFolderTest, FailedArchiveIsNotLeftBehind) {
    FillSource();
    EXPECT_FALSE(ZipFolder(Dir / "no/such/folder/db.zip", Source()));
    EXPECT_FALSE(fs::exists(Dir / "no/such/folder/db.zip"));
    EXPECT_FALSE(ZipFolder(Dir / "missing-source.zip", Dir / "nothing-here"));
    EXPECT_FALSE(fs::exists(Dir / "missing-source.zip"));
    // A file in the way that is not an archive stays as it was and the call fails.
    const std::string notZip = Dir.Write("notzip.zip", "this is no archive");
    EXPECT_FALSE(ZipFolder(notZip, Source()));
    EXPECT_EQ(ReadFileText(notZip), "this is no archive");
}

TEST(UnzipArchive, RefusesEntriesOutsideTheFolder) {
    const char* hostile[] = {"../evil.txt", "/tmp/veltra-absolute.txt", "a/../../evil.txt", "..\\evil.txt"};
    for (const char* name : hostile) {
        tTempDir dir;
        const std::string archive = dir / "bad.zip";
        int error = 0;
        zip_t* z = zip_open(archive.c_str(), ZIP_CREATE, &error);
        ASSERT_NE(z, nullptr);
        static const char good[] = "fine", bad[] = "evil";
        zip_file_add(z, "good.txt", zip_source_buffer(z, good, 4, 0), 0);
        ASSERT_GE(zip_file_add(z, name, zip_source_buffer(z, bad, 4, 0), 0), 0) << name;
        ASSERT_EQ(zip_close(z), 0);

        const std::string target = dir / "target";
        EXPECT_FALSE(UnzipArchive(archive, target)) << name;
        EXPECT_FALSE(fs::exists(dir / "evil.txt")) << name;
        EXPECT_FALSE(fs::exists("/tmp/veltra-absolute.txt")) << name;
        EXPECT_FALSE(fs::exists(target + "/good.txt")) << "nothing is written from a refused archive";
    }
}

TEST(UnzipArchive, NotAZipFails) {
    tTempDir dir;
    EXPECT_FALSE(UnzipArchive(dir.Write("junk.zip", "PK but not really"), dir / "out"));
    EXPECT_FALSE(UnzipArchive(dir / "absent.zip", dir / "out"));
}

TEST(DeleteFolder, MovesTheFolderToTheTrash) {
    tTempDir dir;
    // The trash lives beside the folder's file system's home trash; point it into the test folder.
    setenv("XDG_DATA_HOME", (dir.Path / "data").c_str(), 1);
    setenv("HOME", dir.Path.c_str(), 1);
    fs::create_directories(dir.Path / "data");
    dir.Write("VELDBFiles_2/Flash_PIC.DAT", "flash");
    EXPECT_TRUE(DeleteFolder(dir / "VELDBFiles_2"));
    EXPECT_FALSE(fs::exists(dir / "VELDBFiles_2"));
    bool inTrash = false;
    for (auto& entry : fs::recursive_directory_iterator(dir.Path / "data"))
        if (entry.path().filename() == "Flash_PIC.DAT") inTrash = true;
    EXPECT_TRUE(inTrash);
    EXPECT_FALSE(DeleteFolder(dir / "never-was"));
    EXPECT_FALSE(DeleteFolder(""));
}
