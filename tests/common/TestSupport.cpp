#include "common/TestSupport.h"

#include "logging/FileSystem.h"
#include "logging/PathUtil.h"
#include "logging/TextEncoding.h"

#include <atomic>
#include <cstdio>
#include <fstream>
#include <sstream>

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#else
#include <dirent.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace testsupport {

std::wstring HostPath(const std::string& unixPath)
{
#ifdef _WIN32
    std::wstring path = L"Z:" + Utf8ToWide(unixPath);
    for (wchar_t& c : path)
        if (c == L'/')
            c = L'\\';
    return path;
#else
    return Utf8ToWide(unixPath);
#endif
}

std::wstring FixturePath(const std::string& name)
{
    return HostPath(std::string(PW_SOURCE_DIR) + "/tests/fixtures/" + name);
}

std::wstring MakeTempDir(const std::string& hint)
{
    static std::atomic<int> counter{0};
#ifdef _WIN32
    wchar_t base[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, base);
    std::wstring root = std::wstring(base) + L"pwtest";
    const unsigned long pid = GetCurrentProcessId();
#else
    std::wstring root = Utf8ToWide(std::string(PW_BINARY_DIR) + "/testtmp");
    const unsigned long pid = static_cast<unsigned long>(getpid());
#endif
    std::wstring dir = NormalizePath(root + L"\\" + Utf8ToWide(hint) + L"-" + std::to_wstring(pid) +
                                     L"-" + std::to_wstring(counter++));
    RemoveTree(dir);
    CreateDirectoryChain(dir);
    return dir;
}

void RemoveTree(const std::wstring& path)
{
#ifdef _WIN32
    std::wstring from = path + L'\0';  // double-null terminated list
    SHFILEOPSTRUCTW op = {};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NO_UI;
    SHFileOperationW(&op);
#else
    std::string native = FsNativePath(path);
    DIR* dir = opendir(native.c_str());
    if (dir == nullptr) {
        std::remove(native.c_str());
        return;
    }
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        std::string child = native + "/" + name;
        struct stat st;
        if (lstat(child.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            RemoveTree(Utf8ToWide(child));
        else
            std::remove(child.c_str());
    }
    closedir(dir);
    rmdir(native.c_str());
#endif
}

std::string ReadFileBytes(const std::wstring& path)
{
    std::string bytes;
    FsReadFile(path, bytes);
    return bytes;
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes)
{
    return FsWriteFile(path, bytes);
}

bool CopyFileTo(const std::wstring& from, const std::wstring& to)
{
    std::string bytes = ReadFileBytes(from);
    if (bytes.empty())
        return false;
    if (!WriteFileBytes(to, bytes))
        return false;
#ifndef _WIN32
    chmod(FsNativePath(to).c_str(), 0755);
#endif
    return true;
}

int RunAndWait(const std::wstring& program, const std::vector<std::wstring>& args)
{
#ifdef _WIN32
    std::wstring commandLine = L"\"" + program + L"\"";
    for (const std::wstring& arg : args)
        commandLine += L" \"" + arg + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return -1;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
#else
    std::vector<std::string> storage;
    storage.push_back(FsNativePath(program));
    for (const std::wstring& arg : args)
        storage.push_back(WideToUtf8(arg));
    std::vector<char*> argv;
    for (std::string& s : storage)
        argv.push_back(&s[0]);
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) < 0)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

} // namespace testsupport
