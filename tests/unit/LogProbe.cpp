// Helper program for the log tests: each mode exercises the log facility of
// a fresh process, which the tests then read back from disk.
//   probe default              one record, no LogInit
//   probe late-init <dir>      a record, then LogInit(<dir>, "late.log"), then a record
//   probe init-twice <dir>     LogInit(one.log), LogInit(two.log), a record
//   probe records <dir>        LogInit(records.log) and a fixed set of records
#include "logging/Log.h"
#include "logging/TextEncoding.h"

#include <cstdint>
#include <cstring>
#include <string>

// Outside any anonymous namespace, so its records carry "CProbe::Records".
struct CProbe {
    void Records()
    {
        LOG_INFO("first record");
        LOG_INFO("number %d and text %s", 42, "abc");
        LogWrite("CProbe::Records", __FILE__, 7, 7, "dropped: level out of range");
        LogWrite("CProbe::Records", __FILE__, 8, kLogInfo, "%s", "");  // empty: no record
        LOG_INFO_W(L"wide %ls %d", L"text", 5);
        LOG_WARN("warn record");
        LOG_ERROR("error record");
        LOG_DEBUG("debug record");
        // A string argument that is not a string: formatting faults and the
        // fixed fault record is written instead.
        LogWrite(LogFunctionName(__PRETTY_FUNCTION__).c_str(), "src\\probe\\LogProbe.cpp", 99, kLogInfo,
                 "%s", reinterpret_cast<const char*>(static_cast<uintptr_t>(16)));
        LogWriteW("CProbe::Records", L"C:\\src\\LogProbe.cpp", 100, kLogInfo, L"%ls",
                  reinterpret_cast<const wchar_t*>(static_cast<uintptr_t>(16)));
        LOG_INFO("after the faults");
    }
};

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    const std::string mode = argv[1];
    const std::wstring dir = argc > 2 ? Utf8ToWide(argv[2]) : std::wstring();
    if (mode == "default") {
        LOG_INFO("default record");
    } else if (mode == "late-init") {
        LOG_INFO("before init");
        LogInit(L"late.log", dir.c_str());
        LOG_INFO("after init");
    } else if (mode == "init-twice") {
        LogInit(L"one.log", dir.c_str());
        LogInit(L"two.log", dir.c_str());
        LOG_INFO("after two inits");
    } else if (mode == "records") {
        LogInit(L"records.log", dir.c_str());
        CProbe().Records();
    } else {
        return 2;
    }
    return 0;
}
