#include "logging/Log.h"

#include "logging/FaultGuard.h"
#include "logging/FileSystem.h"
#include "logging/LogBackend.h"
#include "logging/PathUtil.h"
#include "logging/TextEncoding.h"
#include "logging/TextFormat.h"

#include <cstdarg>
#include <mutex>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

const char kFaultText[] = "***Fatal Error Check,Please Fix it!***";
const wchar_t kFaultTextW[] = L"***Fatal Error Check,Please Fix it!***";

// Serialises the look-up and creation of the appender. A function-local
// static, so the first use from any thread constructs it safely.
std::mutex& FacilityLock()
{
    static std::mutex lock;
    return lock;
}

std::string ComputeModuleName()
{
#ifdef _WIN32
    HMODULE module = nullptr;
    char path[MAX_PATH] = {};
    if (GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                               GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           reinterpret_cast<LPCSTR>(&ComputeModuleName), &module)) {
        GetModuleFileNameA(module, path, MAX_PATH);
    }
    std::string name = path;
#else
    std::string name = FsNativePath(FsExecutablePath());
#endif
    size_t slash = name.find_last_of("\\/");
    if (slash != std::string::npos)
        name = name.substr(slash + 1);
    size_t dot = name.find('.');
    if (dot != std::string::npos)
        name = name.substr(0, dot);
    return name;
}

std::wstring AnsiNameToWide(const std::string& name)
{
#ifdef _WIN32
    if (name.empty())
        return std::wstring();
    int size = MultiByteToWideChar(CP_ACP, 0, name.data(), static_cast<int>(name.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(size > 0 ? size : 0), L'\0');
    if (size > 0)
        MultiByteToWideChar(CP_ACP, 0, name.data(), static_cast<int>(name.size()), &out[0], size);
    return out;
#else
    return Utf8ToWide(name);
#endif
}

// Called with the facility lock held.
void InitLocked(const wchar_t* fileName, const wchar_t* directory)
{
    const std::string name = LogModuleName();
    if (logbackend::HasAppender(name))
        return;
    std::wstring dir = (directory != nullptr && *directory) ? std::wstring(directory)
                                                              : GetModuleDirectory() + L"\\Log";
    CreateDirectoryChain(dir);  // a folder that cannot be made leaves the log silent
    std::wstring file = (fileName != nullptr && *fileName) ? std::wstring(fileName)
                                                           : AnsiNameToWide(name) + L".log";
    logbackend::AddRollingAppender(name, dir + L"\\" + file, kLogMaxFileSize, kLogBackupCount);
}

void EnsureAppender()
{
    const std::string name = LogModuleName();
    std::lock_guard<std::mutex> guard(FacilityLock());
    if (!logbackend::HasAppender(name))
        InitLocked(nullptr, nullptr);
}

void Dispatch(int level, const std::string& text)
{
    EnsureAppender();
    if (text.empty())
        return;
    logbackend::Write(level, text);
}

template <typename Char>
const Char* FileNamePart(const Char* path)
{
    const Char* last = path;
    for (const Char* p = path; *p; ++p)
        if (*p == '\\' || *p == '/')
            last = p + 1;
    return last;
}

// The text belongs to the job, which lives in the caller's frame: a fault
// jumps out of the formatting functions, so nothing allocated inside them
// may be left behind.
struct NarrowJob {
    const char* format;
    va_list* args;
    std::string text;
};

void FormatNarrow(void* context)
{
    auto* job = static_cast<NarrowJob*>(context);
    FormatTextV(job->text, job->format, *job->args);
}

struct WideJob {
    const wchar_t* format;
    va_list* args;
    std::wstring text;
};

void FormatWide(void* context)
{
    auto* job = static_cast<WideJob*>(context);
    FormatTextV(job->text, job->format, *job->args);
}

} // namespace

std::string LogModuleName()
{
    static const std::string name = ComputeModuleName();
    return name;
}

std::wstring LogFilePath()
{
    return logbackend::FilePath();
}

std::wstring UrlForLog(const std::wstring& url)
{
    std::wstring shown = url.substr(0, url.find_first_of(L"?#"));
    const size_t scheme = shown.find(L"://");
    if (scheme != std::wstring::npos) {
        const size_t host = scheme + 3;
        const size_t hostEnd = shown.find(L'/', host);
        const size_t at = shown.find(L'@', host);
        if (at != std::wstring::npos && at < hostEnd)
            shown.erase(host, at + 1 - host);
    }
    return shown;
}

std::string LogFunctionName(const char* signature)
{
    if (signature == nullptr)
        return std::string();
    const std::string text = signature;
    // The name ends at the first "(" outside template brackets; it starts
    // after the last blank before that, again outside brackets.
    int depth = 0;
    size_t open = std::string::npos;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '<') ++depth;
        else if (c == '>' && depth > 0) --depth;
        else if (c == '(' && depth == 0) {
            // "operator()" keeps its own brackets.
            if (i >= 8 && text.compare(i - 8, 8, "operator") == 0 && i + 1 < text.size() && text[i + 1] == ')')
                continue;
            open = i;
            break;
        }
    }
    if (open == std::string::npos)
        return text;
    size_t start = 0;
    depth = 0;
    for (size_t i = open; i-- > 0;) {
        char c = text[i];
        if (c == '>') ++depth;
        else if (c == '<' && depth > 0) --depth;
        else if (c == ' ' && depth == 0) {
            start = i + 1;
            break;
        }
    }
    return text.substr(start, open - start);
}

std::wstring LogFunctionNameW(const char* signature)
{
    return Utf8ToWide(LogFunctionName(signature));
}

void LogInit(const wchar_t* fileName, const wchar_t* directory)
{
    std::lock_guard<std::mutex> guard(FacilityLock());
    InitLocked(fileName, directory);
}

void LogWrite(const char* function, const char* sourcePath, int line, int level,
              const char* format, ...)
{
    if (format == nullptr || *format == '\0')
        return;
    va_list args;
    va_start(args, format);
    NarrowJob job{format, &args, std::string()};
    job.text.reserve(128);
    const bool formatted = RunWithFaultGuard(FormatNarrow, &job);
    va_end(args);

    if (formatted) {
        Dispatch(level, job.text);
        return;
    }
    const std::string record = FormatText("[%s:%d][%s] %s", FileNamePart(sourcePath ? sourcePath : ""), line,
                                          LogFunctionName(function).c_str(), kFaultText);
    Dispatch(level, record);
}

void LogWriteW(const char* function, const wchar_t* sourcePath, int line, int level,
               const wchar_t* format, ...)
{
    if (format == nullptr || *format == L'\0')
        return;
    va_list args;
    va_start(args, format);
    WideJob job{format, &args, std::wstring()};
    job.text.reserve(128);
    const bool formatted = RunWithFaultGuard(FormatWide, &job);
    va_end(args);

    if (formatted) {
        Dispatch(level, WideToLogText(job.text));
        return;
    }
    const std::wstring record = FormatText(L"[%ls:%d][%ls] %ls", FileNamePart(sourcePath ? sourcePath : L""),
                                           line, LogFunctionNameW(function).c_str(), kFaultTextW);
    Dispatch(level, WideToLogText(record));
}
