// The few file-system calls the portable core makes, over wide paths written
// with "\" separators. On Windows they go to the wide Win32 and C runtime
// calls; elsewhere the path is turned into UTF-8 with "/" separators first, so
// the same path logic runs and is tested on both.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// The path as the host's narrow file calls take it (POSIX only; on Windows the
// wide path is used directly).
std::string FsNativePath(const std::wstring& path);

bool FsCreateDirectory(const std::wstring& path);   // one level, no parents
bool FsPathExists(const std::wstring& path);        // file or folder
bool FsIsDirectory(const std::wstring& path);
bool FsRemoveFile(const std::wstring& path);
bool FsRenameFile(const std::wstring& from, const std::wstring& to);
bool FsFileSize(const std::wstring& path, uint64_t& size);

// Opens a C stream by wide path ("rb", "wb", ...); null on failure.
std::FILE* FsOpenFile(const std::wstring& path, const char* mode);

// Reads a whole file. False when it cannot be opened or read, or holds more
// than maxSize bytes (bytes is then empty).
bool FsReadFile(const std::wstring& path, std::string& bytes, uint64_t maxSize = UINT64_MAX);

// Writes a whole file, replacing it. False when any byte could not be written.
bool FsWriteFile(const std::wstring& path, const std::string& bytes);

// Low-level descriptors for appending log records. On Windows the file is
// opened in text mode, so "\n" is written as CR LF.
int FsOpenAppend(const std::wstring& path);          // -1 on failure
bool FsWriteAll(int fd, const char* data, size_t size);
int64_t FsSeekEnd(int fd);                           // -1 on failure
void FsClose(int fd);

// Full path of the running executable, "" when it cannot be found.
std::wstring FsExecutablePath();
