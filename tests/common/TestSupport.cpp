#include "common/TestSupport.h"

#include "logging/FileSystem.h"
#include "logging/PathUtil.h"
#include "logging/TextEncoding.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
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

#ifdef _WIN32
namespace {

std::vector<HGDIOBJ>& LoggedObjects()
{
    static std::vector<HGDIOBJ> objects;
    return objects;
}

HGDIOBJ Logged(HGDIOBJ object)
{
    if (object != nullptr)
        LoggedObjects().push_back(object);
    return object;
}

// Replaces the program's import slot of `function` (from gdi32) and returns
// what was there; nullptr when the program does not import it.
void* SwapImport(const char* function, void* replacement)
{
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* imp = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); imp->Name != 0; ++imp) {
        if (_stricmp(reinterpret_cast<const char*>(base + imp->Name), "gdi32.dll") != 0)
            continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + imp->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + imp->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) != 0)
                continue;
            DWORD protect = 0;
            VirtualProtect(&slots->u1.Function, sizeof(slots->u1.Function), PAGE_READWRITE, &protect);
            void* previous = reinterpret_cast<void*>(slots->u1.Function);
            slots->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
            VirtualProtect(&slots->u1.Function, sizeof(slots->u1.Function), protect, &protect);
            return previous;
        }
    }
    return nullptr;
}

decltype(&CreateFontIndirectW) realCreateFontIndirectW;
decltype(&CreateDIBSection) realCreateDIBSection;
decltype(&CreateCompatibleBitmap) realCreateCompatibleBitmap;
decltype(&CreateCompatibleDC) realCreateCompatibleDC;
decltype(&CreateSolidBrush) realCreateSolidBrush;
decltype(&CreatePen) realCreatePen;

HFONT WINAPI LogCreateFontIndirectW(const LOGFONTW* lf)
{
    return static_cast<HFONT>(Logged(realCreateFontIndirectW(lf)));
}
HBITMAP WINAPI LogCreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                                   DWORD offset)
{
    return static_cast<HBITMAP>(Logged(realCreateDIBSection(dc, info, usage, bits, section, offset)));
}
HBITMAP WINAPI LogCreateCompatibleBitmap(HDC dc, int cx, int cy)
{
    return static_cast<HBITMAP>(Logged(realCreateCompatibleBitmap(dc, cx, cy)));
}
HDC WINAPI LogCreateCompatibleDC(HDC dc)
{
    return static_cast<HDC>(Logged(realCreateCompatibleDC(dc)));
}
HBRUSH WINAPI LogCreateSolidBrush(COLORREF color)
{
    return static_cast<HBRUSH>(Logged(realCreateSolidBrush(color)));
}
HPEN WINAPI LogCreatePen(int style, int width, COLORREF color)
{
    return static_cast<HPEN>(Logged(realCreatePen(style, width, color)));
}

template <typename F>
void Hook(const char* name, F& real, F hook)
{
    void* previous = SwapImport(name, reinterpret_cast<void*>(hook));
    if (previous != nullptr)
        real = reinterpret_cast<F>(previous);
}

template <typename F>
void Unhook(const char* name, F real)
{
    if (real != nullptr)
        SwapImport(name, reinterpret_cast<void*>(real));
}

} // namespace

CGdiObjectLog::CGdiObjectLog()
{
    LoggedObjects().clear();
    Hook("CreateFontIndirectW", realCreateFontIndirectW, &LogCreateFontIndirectW);
    Hook("CreateDIBSection", realCreateDIBSection, &LogCreateDIBSection);
    Hook("CreateCompatibleBitmap", realCreateCompatibleBitmap, &LogCreateCompatibleBitmap);
    Hook("CreateCompatibleDC", realCreateCompatibleDC, &LogCreateCompatibleDC);
    Hook("CreateSolidBrush", realCreateSolidBrush, &LogCreateSolidBrush);
    Hook("CreatePen", realCreatePen, &LogCreatePen);
}

CGdiObjectLog::~CGdiObjectLog()
{
    Unhook("CreateFontIndirectW", realCreateFontIndirectW);
    Unhook("CreateDIBSection", realCreateDIBSection);
    Unhook("CreateCompatibleBitmap", realCreateCompatibleBitmap);
    Unhook("CreateCompatibleDC", realCreateCompatibleDC);
    Unhook("CreateSolidBrush", realCreateSolidBrush);
    Unhook("CreatePen", realCreatePen);
}

size_t CGdiObjectLog::Created() const
{
    return LoggedObjects().size();
}

size_t CGdiObjectLog::Alive() const
{
    // A handle value may come back for a later object: count each once.
    std::vector<HGDIOBJ> objects = LoggedObjects();
    std::sort(objects.begin(), objects.end());
    objects.erase(std::unique(objects.begin(), objects.end()), objects.end());
    size_t alive = 0;
    for (HGDIOBJ object : objects)
        alive += GetObjectType(object) != 0 ? 1 : 0;
    return alive;
}
#endif

} // namespace testsupport
