#include "logging/Assert.h"

#include "logging/TextFormat.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

std::atomic<AssertHook> gHook{nullptr};

bool ShowDialog(const std::string& text, const std::string& caption)
{
    if (AssertHook hook = gHook.load())
        return hook(text, caption);
#ifdef _WIN32
    return MessageBoxA(nullptr, text.c_str(), caption.c_str(), MB_YESNO) == IDYES;
#else
    std::fputs((caption + ": " + text).c_str(), stderr);
    return false;
#endif
}

void Report(const char* expressionText, const char* functionName, int line, const std::string& detail)
{
    const std::string text = FormatText("Assert(%s);\n (in function %s,at line %d)\n is Debug?\n%s\n",
                                        expressionText ? expressionText : "",
                                        functionName ? functionName : "", line, detail.c_str());
    if (ShowDialog(text, "AssertError!")) {
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
    std::string detail;
    FormatTextV(detail, format, args);
    va_end(args);
    Report(expressionText, functionName, line, detail);
}

void DebugTrace(const char* format, ...)
{
    if (format == nullptr || *format == '\0')
        return;
    va_list args;
    va_start(args, format);
    std::string text;
    FormatTextV(text, format, args);
    va_end(args);
    std::fputs(text.c_str(), stdout);
#ifdef _WIN32
    OutputDebugStringA(text.c_str());
#endif
}
