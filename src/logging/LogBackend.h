// The root category behind the log facility: log4cpp's where it is built in,
// otherwise a small equivalent over CRollingFileAppender. Internal to the
// logging module.
#pragma once

#include <string>

namespace logbackend {

// Whether the root category holds an appender of this name.
bool HasAppender(const std::string& name);

// Attaches a rolling file appender with the record layout and sets the root
// priority to DEBUG.
void AddRollingAppender(const std::string& name, const std::wstring& fileName,
                        unsigned long long maxFileSize, unsigned maxBackupIndex);

// Sends one record at a level of 0..3 to the root category.
void Write(int level, const std::string& text);

// Path of the appender's file, or "".
std::wstring FilePath();

} // namespace logbackend
