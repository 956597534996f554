// Root category without log4cpp: one built-in rolling appender.
#include "logging/LogBackend.h"
#include "logging/RollingFileAppender.h"

#include <atomic>
#include <memory>

namespace logbackend {
namespace {

// Set once under the facility lock and never replaced, so readers need no
// lock of their own.
std::atomic<CRollingFileAppender*> gAppender{nullptr};

} // namespace

bool HasAppender(const std::string& name)
{
    CRollingFileAppender* appender = gAppender.load();
    return appender != nullptr && appender->Name() == name;
}

void AddRollingAppender(const std::string& name, const std::wstring& fileName,
                        unsigned long long maxFileSize, unsigned maxBackupIndex)
{
    if (gAppender.load() != nullptr)
        return;
    // Lives until the process ends, like the log4cpp root category's.
    gAppender.store(new CRollingFileAppender(name, fileName, maxFileSize, maxBackupIndex));
}

void Write(int level, const std::string& text)
{
    CRollingFileAppender* appender = gAppender.load();
    if (appender != nullptr && level >= 0 && level <= 3)
        appender->Append(text);
}

std::wstring FilePath()
{
    CRollingFileAppender* appender = gAppender.load();
    return appender != nullptr ? appender->FileName() : std::wstring();
}

} // namespace logbackend
