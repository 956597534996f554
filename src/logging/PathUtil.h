// Path helpers shared by the log facility and the download engine. Paths are
// wide and use "\" as separator; NormalizePath turns "/" into "\" first.
#pragma once

#include <string>

// "/" becomes "\", then each doubled "\\" becomes one "\", pairs taken left
// to right without overlap (so a run of three becomes two).
std::wstring NormalizePath(const std::wstring& path);

// Normalises a non-empty path and drops one trailing "\" when the path has at
// least two characters.
std::wstring StripTrailingSeparator(const std::wstring& path);

// Whether the normalised path names an existing file or folder.
bool PathExists(const std::wstring& path);

// Creates the folder and every missing parent; true when it exists afterwards.
bool CreateDirectoryChain(const std::wstring& path);

// Folder of the running executable, without a trailing separator.
std::wstring GetModuleDirectory();
