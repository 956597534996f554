#include "logging/FileSystem.h"

#include "logging/TextEncoding.h"

#include <cstdio>

#ifdef _WIN32
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <shlwapi.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <climits>
#endif

std::string FsNativePath(const std::wstring& path)
{
    std::string out = WideToUtf8(path);
#ifndef _WIN32
    for (char& c : out)
        if (c == '\\')
            c = '/';
#endif
    return out;
}

std::FILE* FsOpenFile(const std::wstring& path, const char* mode)
{
#ifdef _WIN32
    std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
    return _wfopen(path.c_str(), wideMode.c_str());
#else
    return std::fopen(FsNativePath(path).c_str(), mode);
#endif
}

bool FsReadFile(const std::wstring& path, std::string& bytes, uint64_t maxSize)
{
    bytes.clear();
    std::FILE* file = FsOpenFile(path, "rb");
    if (file == nullptr)
        return false;
    bool ok = true;
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof(buffer), file)) > 0) {
        if (bytes.size() + n > maxSize) {
            ok = false;
            break;
        }
        bytes.append(buffer, n);
    }
    if (std::ferror(file))
        ok = false;
    std::fclose(file);
    if (!ok)
        bytes.clear();
    return ok;
}

bool FsWriteFile(const std::wstring& path, const std::string& bytes)
{
    std::FILE* file = FsOpenFile(path, "wb");
    if (file == nullptr)
        return false;
    const bool written = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

#ifdef _WIN32

bool FsCreateDirectory(const std::wstring& path) { return CreateDirectoryW(path.c_str(), nullptr) != FALSE; }
bool FsPathExists(const std::wstring& path) { return PathFileExistsW(path.c_str()) != FALSE; }
bool FsIsDirectory(const std::wstring& path)
{
    DWORD attrs = GetFileAttributesW(path.c_str());
    return attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY);
}
bool FsRemoveFile(const std::wstring& path) { return _wremove(path.c_str()) == 0; }
bool FsRenameFile(const std::wstring& from, const std::wstring& to) { return _wrename(from.c_str(), to.c_str()) == 0; }
bool FsFileSize(const std::wstring& path, uint64_t& size)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return false;
    size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return true;
}
int FsOpenAppend(const std::wstring& path)
{
    return _wopen(path.c_str(), _O_WRONLY | _O_APPEND | _O_CREAT, _S_IREAD | _S_IWRITE);
}
bool FsWriteAll(int fd, const char* data, size_t size)
{
    while (size > 0) {
        int n = _write(fd, data, static_cast<unsigned>(size));
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}
int64_t FsSeekEnd(int fd) { return _lseeki64(fd, 0, SEEK_END); }
void FsClose(int fd) { _close(fd); }
std::wstring FsExecutablePath()
{
    wchar_t buffer[MAX_PATH] = {};
    DWORD n = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
    return std::wstring(buffer, n);
}

#else

bool FsCreateDirectory(const std::wstring& path) { return ::mkdir(FsNativePath(path).c_str(), 0755) == 0; }
bool FsPathExists(const std::wstring& path)
{
    struct stat st;
    return ::stat(FsNativePath(path).c_str(), &st) == 0;
}
bool FsIsDirectory(const std::wstring& path)
{
    struct stat st;
    return ::stat(FsNativePath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
bool FsRemoveFile(const std::wstring& path) { return std::remove(FsNativePath(path).c_str()) == 0; }
bool FsRenameFile(const std::wstring& from, const std::wstring& to)
{
    return std::rename(FsNativePath(from).c_str(), FsNativePath(to).c_str()) == 0;
}
bool FsFileSize(const std::wstring& path, uint64_t& size)
{
    struct stat st;
    if (::stat(FsNativePath(path).c_str(), &st) != 0)
        return false;
    size = static_cast<uint64_t>(st.st_size);
    return true;
}
int FsOpenAppend(const std::wstring& path)
{
    return ::open(FsNativePath(path).c_str(), O_WRONLY | O_APPEND | O_CREAT, 0644);
}
bool FsWriteAll(int fd, const char* data, size_t size)
{
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}
int64_t FsSeekEnd(int fd) { return static_cast<int64_t>(::lseek(fd, 0, SEEK_END)); }
void FsClose(int fd) { ::close(fd); }
std::wstring FsExecutablePath()
{
    char buffer[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
    if (n <= 0)
        return std::wstring();
    return Utf8ToWide(std::string(buffer, static_cast<size_t>(n)));
}

#endif
