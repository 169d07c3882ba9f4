// The program's toolbox of free functions: text fields, file sizes, special folders, zip archives,
// appending log lines and hexadecimal digits. No state, no dependency on the rest of the program.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The N-th field (from 1) of Text between separators Sep; empty when there are fewer fields or N < 1.
std::string ExtractField(std::string_view Text, int N, char Sep);

// Size in bytes of the named file, or -1 when nothing of that name exists.
int32_t FileSizeByName(const std::string& FileName);

// The user's temporary folder, always with a trailing separator.
std::string GetTempFolder();

// Puts every file and folder inside Folder into the zip archive ZipFile (created when missing,
// added to when present). Returns only when the archive is complete; true when it was written
// whole and reads back with every file. On failure an archive this call created is removed, so a
// failed archive never looks like a finished one.
[[nodiscard]] bool ZipFolder(const std::string& ZipFile, const std::string& Folder);

// Places every item of the archive into Folder (created when missing). Entries whose names are
// absolute or climb out of Folder are refused and nothing of them is written. False when the file
// is not a readable zip archive or any entry could not be written.
[[nodiscard]] bool UnzipArchive(const std::string& ZipFile, const std::string& Folder);

// Number of threads of this process; 0 when they cannot be counted.
int CountProcessThreads();

// Appends Line and CR LF to FileName (creates or empties it when Append is false or it is missing).
// Never fails its caller: every input/output error is swallowed.
void AppendLineToFile(const std::string& FileName, std::string_view Line, bool Append);

// Buffer[0..Len-1] up to its first zero byte, each byte one character.
std::string AnsiBufferToString(const uint8_t* Buffer, int Len);

// '0'-'9' give 0-9, 'A'-'F' and 'a'-'f' give 10-15; other characters give some other value.
uint8_t HexDigitValue(char C);

// First two characters as a hexadecimal pair; 0 when Text has fewer than two characters.
uint16_t HexPairToByte(std::string_view Text);

// The path with a trailing separator added when it has none.
std::string IncludeTrailingPathDelimiter(const std::string& Path);

// Leading and trailing blanks and control characters removed.
std::string TrimText(std::string_view Text);
