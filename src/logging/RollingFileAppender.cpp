#include "logging/RollingFileAppender.h"

#include "logging/FileSystem.h"
#include "logging/TextFormat.h"

#include <ctime>

CRollingFileAppender::CRollingFileAppender(std::string name, std::wstring fileName,
                                           uint64_t maxFileSize, unsigned maxBackupIndex)
    : strName(std::move(name)),
      strFileName(std::move(fileName)),
      nMaxFileSize(maxFileSize),
      nMaxBackupIndex(maxBackupIndex)
{
    fd = FsOpenAppend(strFileName);
}

CRollingFileAppender::~CRollingFileAppender()
{
    if (fd >= 0)
        FsClose(fd);
}

std::string CRollingFileAppender::FormatRecord(const std::string& message,
                                               std::chrono::system_clock::time_point when)
{
    using namespace std::chrono;
    const std::time_t seconds = system_clock::to_time_t(when);
    const auto millis = duration_cast<milliseconds>(when.time_since_epoch()).count() % 1000;
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &seconds);
#else
    localtime_r(&seconds, &local);
#endif
    char stamp[64];
    size_t n = std::strftime(stamp, sizeof(stamp), "%Y-%m-%d %H:%M:%S,", &local);
    FormatTextInto(stamp + n, sizeof(stamp) - n, "%03d", static_cast<int>(millis));

    std::string record;
    record.reserve(message.size() + 32);
    record += stamp;
    record += ' ';
    record += message;
    record += "\n ";
    return record;
}

void CRollingFileAppender::Append(const std::string& message)
{
    Append(message, std::chrono::system_clock::now());
}

void CRollingFileAppender::Append(const std::string& message,
                                  std::chrono::system_clock::time_point when)
{
    const std::string record = FormatRecord(message, when);
    std::lock_guard<std::mutex> guard(lock);
    if (fd < 0)
        return;
    FsWriteAll(fd, record.data(), record.size());
    const int64_t size = FsSeekEnd(fd);
    if (size >= 0 && static_cast<uint64_t>(size) >= nMaxFileSize)
        RollOver();
}

void CRollingFileAppender::RollOver()
{
    FsClose(fd);
    fd = -1;
    if (nMaxBackupIndex > 0) {
        // Backups are numbered from 1; the oldest is dropped, the others move
        // up one, and the current file becomes number 1.
        const std::wstring last = strFileName + L"." + IntToWide(nMaxBackupIndex);
        FsRemoveFile(last);
        for (unsigned i = nMaxBackupIndex; i > 1; --i) {
            FsRenameFile(strFileName + L"." + IntToWide(i - 1),
                         strFileName + L"." + IntToWide(i));
        }
        FsRenameFile(strFileName, strFileName + L".1");
    }
    fd = FsOpenAppend(strFileName);
}
