// Fire-and-forget HEAD requests for the two usage events. One process-wide
// object holds the two URLs (split into server and object names) and the
// scheme that the first event found to work; each send runs on a short-lived
// thread of its own and ignores the answer. Nothing here logs.
//
// Classes in this file: CHttpBeacon, BeaconTask.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

class CHttpBeacon;

// The argument of one send thread; allocated by the starter, freed by the thread.
struct BeaconTask {
    int32_t result = 0;
    CHttpBeacon* sender = nullptr;
    bool first = true;
};

class CHttpBeacon {
public:
    // The one object, created by the first call. Unguarded: the first call
    // belongs on the main thread before any send thread exists.
    static CHttpBeacon* Instance();

    // Splits both URLs; may be called again to replace them.
    void SetUrls(const std::wstring& url1, const std::wstring& url2);

    // URL 1 over HTTPS, then over plain HTTP when that failed; remembers the
    // scheme for URL 2. True when a response arrived.
    bool SendFirstUrl();
    // URL 2 over the scheme the first event chose (HTTPS before any first event).
    bool SendSecondUrl();

    // One HEAD exchange over WinHTTP; no header, status or body is read. An
    // empty host or path gives false without any network traffic. A host
    // written as "host:port" is connected on that port for either scheme.
    static bool HeadRequest(const std::wstring& host, const std::wstring& path, bool secure);

    // Thread body: runs the send the task names, stores the outcome, frees the task.
    static unsigned long BeaconThreadProc(BeaconTask* task);

    // Starts a detached send thread for URL 1 (first) or URL 2; false when
    // the thread could not be started.
    bool StartSend(bool first);

    // Written by SetUrls on the main thread before any send, read afterwards.
    std::wstring strPath1;
    std::wstring strPath2;
    std::wstring strHost1;
    std::wstring strHost2;
    // Written by the first event's thread, read by the second's.
    std::atomic<bool> bUseHttps{true};

private:
    CHttpBeacon() = default;
};
