#include "logging/Assert.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

std::atomic<AssertHook> gHook{nullptr};

std::string FormatV(const char* format, va_list args)
{
    if (format == nullptr || *format == '\0')
        return std::string();
    va_list measure;
    va_copy(measure, args);
    int size = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (size <= 0)
        return std::string();
    std::vector<char> buffer(static_cast<size_t>(size) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), format, args);
    return std::string(buffer.data(), static_cast<size_t>(size));
}

bool ShowDialog(const std::string& text, const std::string& caption)
{
    if (AssertHook hook = gHook.load())
        return hook(text, caption);
#ifdef _WIN32
    return MessageBoxA(nullptr, text.c_str(), caption.c_str(), MB_YESNO) == IDYES;
#else
    std::fprintf(stderr, "%s: %s", caption.c_str(), text.c_str());
    return false;
#endif
}

void Report(const char* expressionText, const char* functionName, int line, const std::string& detail)
{
    char head[] = "Assert(%s);\n (in function %s,at line %d)\n is Debug?\n%s\n";
    const char* expr = expressionText ? expressionText : "";
    const char* func = functionName ? functionName : "";
    int size = std::snprintf(nullptr, 0, head, expr, func, line, detail.c_str());
    std::vector<char> text(static_cast<size_t>(size > 0 ? size : 0) + 1);
    std::snprintf(text.data(), text.size(), head, expr, func, line, detail.c_str());
    if (ShowDialog(text.data(), "AssertError!")) {
#ifdef _WIN32
        if (IsDebuggerPresent())
            DebugBreak();
#endif
    }
}

} // namespace

AssertHook SetAssertHook(AssertHook hook)
{
    return gHook.exchange(hook);
}

void AssertCheck(bool condition, const char* expressionText, const char* functionName, int line)
{
    if (!condition)
        Report(expressionText, functionName, line, std::string());
}

void AssertCheckMsg(bool condition, const char* expressionText, const char* functionName, int line,
                    const char* format, ...)
{
    if (condition)
        return;
    va_list args;
    va_start(args, format);
    std::string detail = FormatV(format, args);
    va_end(args);
    Report(expressionText, functionName, line, detail);
}

void DebugTrace(const char* format, ...)
{
    if (format == nullptr || *format == '\0')
        return;
    va_list args;
    va_start(args, format);
    std::string text = FormatV(format, args);
    va_end(args);
    std::printf("%s", text.c_str());
#ifdef _WIN32
    OutputDebugStringA(text.c_str());
#endif
}
