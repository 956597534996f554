// Facts about the machine and the one piece of persistent state the program
// keeps outside its data folder: the client identifier in the registry.
// Nothing here holds state in memory. AnsiToWide and WideToAnsi set the C
// runtime's character locale for the whole process, so they belong on one
// thread at a time.
//
// The string and file helpers at the top are portable; the rest are Windows
// calls and exist in the Windows build only.
#pragma once

#include <cstdint>
#include <string>

// The part after the last separator ("/" counts as "\"); "" for "".
std::wstring GetFileNameFromPath(const std::wstring& path);

// "<programFiles>corvane_down\<exe name without its last extension>\".
std::wstring MakeDataFolder(const std::wstring& programFilesFolder, const std::wstring& executablePath);

// Conversions through the user's ANSI code page (the C runtime's locale).
std::wstring AnsiToWide(const std::string& text);
std::string WideToAnsi(const std::wstring& text);

// Whether the file can be opened for reading.
bool FileExists(const std::wstring& path);

// Free bytes as whole MiB, kept to 32 bits.
uint32_t BytesToMiB(uint64_t bytes);

// "%08X-%04X-%04x-%02X%02X-%02X%02X%02X%02X%02X%02X" of a GUID's fields.
std::wstring FormatClientId(uint32_t data1, uint16_t data2, uint16_t data3, const uint8_t data4[8]);

#ifdef _WIN32

// Registry location of the client identifier.
extern const wchar_t kClientIdKey[];    // under HKEY_LOCAL_MACHINE
extern const wchar_t kClientIdValue[];

std::wstring GetProgramFilesFolder();          // ends in "\"; "\" alone on failure
std::wstring GetDataFolder();
bool GetDiskFreeSpaceMB(const std::wstring& folder, uint32_t& freeMiB);
std::wstring GetFileVersionString(const std::wstring& path);   // "a.b.c.d" or ""
// The file version of the version resource's fixed part (a.b.c.d as one
// number, a in the top 16 bits); false when the file has none.
bool GetFileVersionNumber(const std::wstring& path, uint64_t& version);
std::wstring GetWindowsProductName();
bool IsNativeX64();
std::wstring GetUiLanguageCode();             // e.g. "1033"
std::wstring GetClientId();                   // "" on registry failure

// Virus scanners often hold a fresh executable for a few seconds without
// sharing it. Called after an open or start of path failed: true when the
// failure (GetLastError) is a sharing or lock violation and kHeldFileWaitMs
// have not passed since the first such failure (heldSince, 0 before it, is
// set then and the wait logged once); it has then waited 250 ms and the
// caller tries again. False leaves GetLastError as it was.
constexpr uint32_t kHeldFileWaitMs = 15000;
bool WaitWhileFileHeld(const std::wstring& path, uint64_t& heldSince);

#endif
