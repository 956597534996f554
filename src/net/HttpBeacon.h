// Fire-and-forget HEAD requests for the two usage events. One process-wide
// object holds the two URLs (split into server and object names); each send
// runs on a short-lived thread of its own and ignores the answer. The URLs
// carry the machine's client identifier, so they only ever travel over
// HTTPS: a send whose secure exchange fails is dropped, never repeated in
// plain text, and a redirect to plain HTTP is not followed. Nothing here
// logs.
//
// Classes in this file: CHttpBeacon, BeaconTask.
#pragma once

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

    // URL 1, URL 2: one HTTPS exchange each; true when a response arrived.
    bool SendFirstUrl();
    bool SendSecondUrl();

    // One HEAD exchange over WinHTTP and TLS; no header, status or body is
    // read, and a redirect from HTTPS to HTTP is refused. An empty host or
    // path gives false without any network traffic. A host written as
    // "host:port" is connected on that port, else on 443.
    static bool HeadRequest(const std::wstring& host, const std::wstring& path);

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

private:
    CHttpBeacon() = default;
};
