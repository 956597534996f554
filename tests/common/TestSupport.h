// Helpers shared by the test suites: paths that work in both builds, fresh
// temporary folders, whole-file reads and starting a helper program.
#pragma once

#include <string>
#include <vector>

namespace testsupport {

// A path of the build machine (as CMake writes it) in the form the code
// under test takes: unchanged natively, "Z:\..." under Wine.
std::wstring HostPath(const std::string& unixPath);

// tests/fixtures/<name> in the source tree.
std::wstring FixturePath(const std::string& name);

// A new, empty folder for one test (ends without a separator).
std::wstring MakeTempDir(const std::string& hint);

// Removes a folder tree made by MakeTempDir.
void RemoveTree(const std::wstring& path);

// Whole file as bytes; "" when it cannot be read.
std::string ReadFileBytes(const std::wstring& path);
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
bool CopyFileTo(const std::wstring& from, const std::wstring& to);

// Starts a program, waits for it and returns its exit code (-1 if it could
// not be started).
int RunAndWait(const std::wstring& program, const std::vector<std::wstring>& args);

// The lines of a text (split at "\n"; a "\r" before it stays in the line).
std::vector<std::string> SplitLines(const std::string& text);

#ifdef _WIN32
// Records every GDI object and memory device context the test program makes
// through the usual creation calls while one of these lives (the program's
// own imports of those calls are redirected), so that a test can count how
// many of them are still alive. Wine keeps no process-wide object count;
// this check fails when code under test leaks what it made.
class CGdiObjectLog {
public:
    CGdiObjectLog();
    ~CGdiObjectLog();
    CGdiObjectLog(const CGdiObjectLog&) = delete;
    CGdiObjectLog& operator=(const CGdiObjectLog&) = delete;
    // Objects made since the log started.
    size_t Created() const;
    // Of those, the ones that still exist.
    size_t Alive() const;
};
#endif

} // namespace testsupport
