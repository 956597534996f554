// Root category through log4cpp.
#include "logging/LogBackend.h"
#include "logging/FileSystem.h"

#include <log4cpp/Category.hh>
#include <log4cpp/PatternLayout.hh>
#include <log4cpp/Priority.hh>
#include <log4cpp/RollingFileAppender.hh>

#include <mutex>

namespace logbackend {
namespace {
std::mutex gPathLock;
std::wstring gFilePath;
} // namespace

bool HasAppender(const std::string& name)
{
    return log4cpp::Category::getRoot().getAppender(name) != nullptr;
}

void AddRollingAppender(const std::string& name, const std::wstring& fileName,
                        unsigned long long maxFileSize, unsigned maxBackupIndex)
{
    auto* appender = new log4cpp::RollingFileAppender(
        name, FsNativePath(fileName), static_cast<size_t>(maxFileSize), maxBackupIndex,
        true, 00644);
    auto* layout = new log4cpp::PatternLayout();
    layout->setConversionPattern("%d %m%n ");
    appender->setLayout(layout);
    log4cpp::Category& root = log4cpp::Category::getRoot();
    root.addAppender(appender);
    root.setPriority(log4cpp::Priority::DEBUG);
    std::lock_guard<std::mutex> guard(gPathLock);
    gFilePath = fileName;
}

void Write(int level, const std::string& text)
{
    log4cpp::Category& root = log4cpp::Category::getRoot();
    switch (level) {
    case 0: root.debug(text); break;
    case 1: root.info(text); break;
    case 2: root.warn(text); break;
    case 3: root.error(text); break;
    default: break;
    }
}

std::wstring FilePath()
{
    std::lock_guard<std::mutex> guard(gPathLock);
    return gFilePath;
}

} // namespace logbackend
