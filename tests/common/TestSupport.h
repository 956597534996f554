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

} // namespace testsupport
