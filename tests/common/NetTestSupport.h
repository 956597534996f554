// Helpers shared by the network tests (the unit tests over fake back-ends and
// the tests against the local server): recording download-engine events and
// reading the log records a test wrote.
#pragma once

#include "net/HttpDownload.h"

#include "common/TestSupport.h"
#include "logging/Log.h"

#include <mutex>
#include <sstream>
#include <string>
#include <vector>

namespace testsupport {

struct Event {
    int event;
    int value1;
    int value2;
};

struct EventLog {
    std::mutex lock;
    std::vector<Event> events;
    bool* cancelOnProgress = nullptr;   // set on the first progress event when given
};

// The engine's event callback; userData is an EventLog.
inline void RecordEvent(int event, int value1, int value2, void* userData)
{
    auto* log = static_cast<EventLog*>(userData);
    std::lock_guard<std::mutex> guard(log->lock);
    log->events.push_back({event, value1, value2});
    if (event == kDownloadProgress && log->cancelOnProgress != nullptr)
        __atomic_store_n(log->cancelOnProgress, true, __ATOMIC_RELAXED);
}

inline std::string DescribeEvents(const std::vector<Event>& events)
{
    std::ostringstream out;
    for (const Event& e : events)
        out << "(" << e.event << "," << e.value1 << "," << e.value2 << ") ";
    return out.str();
}

// Log records written since the mark.
class LogTail {
public:
    LogTail()
    {
        LOG_INFO("---- test mark ----");
        nStart = ReadFileBytes(LogFilePath()).size();
    }
    std::string Text() const
    {
        std::string all = ReadFileBytes(LogFilePath());
        return all.size() > nStart ? all.substr(nStart) : std::string();
    }
    size_t Count(const std::string& needle) const
    {
        std::string text = Text();
        size_t count = 0;
        for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1))
            ++count;
        return count;
    }

private:
    size_t nStart = 0;
};

} // namespace testsupport
