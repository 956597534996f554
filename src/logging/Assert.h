// Assertion dialog and debugger trace used by the network code. A failed
// check shows "AssertError!" with Yes/No; Yes breaks into an attached
// debugger. Execution continues either way. Tests replace the dialog with a
// hook that records the call.
#pragma once

#include "logging/Log.h"

#include <string>

// Shows the assertion dialog (or runs the hook) when condition is false.
void AssertCheck(bool condition, const char* expressionText, const char* functionName, int line);
void AssertCheckMsg(bool condition, const char* expressionText, const char* functionName, int line,
                    const char* format, ...) PW_PRINTF_FORMAT(5, 6);

// Prints the formatted text to standard output and the debugger output.
void DebugTrace(const char* format, ...) PW_PRINTF_FORMAT(1, 2);

// Replaces the dialog. The hook gets the dialog's text and caption and
// answers true for Yes. Returns the previous hook; null restores the dialog.
using AssertHook = bool (*)(const std::string& text, const std::string& caption);
AssertHook SetAssertHook(AssertHook hook);

#define PW_ASSERT(expr) AssertCheck(static_cast<bool>(expr), #expr, LogFunctionName(__PRETTY_FUNCTION__).c_str(), __LINE__)
#define PW_ASSERT_MSG(expr, ...) \
    AssertCheckMsg(static_cast<bool>(expr), #expr, LogFunctionName(__PRETTY_FUNCTION__).c_str(), __LINE__, __VA_ARGS__)
