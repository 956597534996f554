// The built-in rolling file appender, used where log4cpp is not available.
// It writes exactly what the log4cpp RollingFileAppender with the pattern
// "%d %m%n " writes: the record is appended, and when the file has reached
// the size limit afterwards it becomes "<file>.1" (replacing an older backup)
// and a new file is started.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>

class CRollingFileAppender {
public:
    CRollingFileAppender(std::string name, std::wstring fileName, uint64_t maxFileSize,
                         unsigned maxBackupIndex);
    ~CRollingFileAppender();
    CRollingFileAppender(const CRollingFileAppender&) = delete;
    CRollingFileAppender& operator=(const CRollingFileAppender&) = delete;

    const std::string& Name() const { return strName; }
    const std::wstring& FileName() const { return strFileName; }

    // Formats the message with the record layout and appends it. Safe to call
    // from several threads. A file that could not be opened swallows records.
    void Append(const std::string& message);
    void Append(const std::string& message, std::chrono::system_clock::time_point when);

    // "YYYY-MM-DD HH:MM:SS,mmm <message>\n " in local time.
    static std::string FormatRecord(const std::string& message,
                                    std::chrono::system_clock::time_point when);

private:
    void RollOver();  // called with the lock held

    const std::string strName;
    const std::wstring strFileName;
    const uint64_t nMaxFileSize;
    const unsigned nMaxBackupIndex;
    std::mutex lock;
    int fd = -1;
};
