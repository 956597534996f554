// The log facility: one rolling log file for the whole process, written
// through the root category. Records are "<date time,ms> <message>\n " and
// the file rolls over at 10 MiB into a single ".1" backup.
//
// LogInit names the file; without it the first record creates "<name>.log"
// in a "Log" folder beside the executable. Any thread may log once the first
// record has been written; LogInit and the first record belong on the main
// thread.
#pragma once

#include <string>

#if defined(__GNUC__)
#define PW_PRINTF_FORMAT(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define PW_PRINTF_FORMAT(fmt, args)
#endif

enum LogLevel { kLogDebug = 0, kLogInfo = 1, kLogWarn = 2, kLogError = 3 };

constexpr unsigned long long kLogMaxFileSize = 10485760ULL;
constexpr unsigned kLogBackupCount = 1;

// Names the log file and its folder. Either may be null or empty (module base
// name + ".log"; the "Log" folder beside the executable). Only the first call
// of a process has an effect; a record written before it counts as the first.
void LogInit(const wchar_t* fileName, const wchar_t* directory);

// Formats a printf-style record and writes it at the given level (0 debug,
// 1 info, 2 warn, 3 error; anything else is dropped). A record whose
// formatting faults is replaced by a fixed fault text that names the file,
// the line and the function (its qualified name, from the compiler signature
// given or a name); the caller never sees the fault.
void LogWrite(const char* function, const char* sourcePath, int line, int level,
              const char* format, ...) PW_PRINTF_FORMAT(5, 6);

// The same for wide strings ("%ls" takes a wide string argument). The record
// is narrowed to the console code page before it is written.
void LogWriteW(const char* function, const wchar_t* sourcePath, int line, int level,
               const wchar_t* format, ...);

// The executable's file name up to its first "." ("a.b.exe" gives "a"); it
// names the appender and the default log file.
std::string LogModuleName();

// "Class::Method" from a compiler signature such as
// "virtual void CMainFrameWnd::InitData() const".
std::string LogFunctionName(const char* signature);
std::wstring LogFunctionNameW(const char* signature);

// The full path of the file the facility writes to, once it is set up.
std::wstring LogFilePath();

// A URL as a log line may show it: scheme, host and path, without user
// information, query or fragment (signed URLs carry their tokens in the
// query). A relative reference loses its query and fragment the same way.
std::wstring UrlForLog(const std::wstring& url);

#define PW_WIDEN_(x) L##x
#define PW_WIDEN(x) PW_WIDEN_(x)

// The signature goes as it is: the name is made from it only for a fault
// record, so a call site builds no string.
#define PW_LOG_AT(level, ...) LogWrite(__PRETTY_FUNCTION__, __FILE__, __LINE__, (level), __VA_ARGS__)
#define PW_LOG_AT_W(level, ...) LogWriteW(__PRETTY_FUNCTION__, PW_WIDEN(__FILE__), __LINE__, (level), __VA_ARGS__)

#define LOG_DEBUG(...) PW_LOG_AT(kLogDebug, __VA_ARGS__)
#define LOG_INFO(...) PW_LOG_AT(kLogInfo, __VA_ARGS__)
#define LOG_WARN(...) PW_LOG_AT(kLogWarn, __VA_ARGS__)
#define LOG_ERROR(...) PW_LOG_AT(kLogError, __VA_ARGS__)

#define LOG_DEBUG_W(...) PW_LOG_AT_W(kLogDebug, __VA_ARGS__)
#define LOG_INFO_W(...) PW_LOG_AT_W(kLogInfo, __VA_ARGS__)
#define LOG_WARN_W(...) PW_LOG_AT_W(kLogWarn, __VA_ARGS__)
#define LOG_ERROR_W(...) PW_LOG_AT_W(kLogError, __VA_ARGS__)
