// The download engine: fetches one file into a local path with several
// worker threads, each fetching one contiguous byte range with a "Range"
// header and writing it at its offset of one shared file. Each worker retries
// on its own and picks, per attempt, the back-end that has failed less often.
//
// The server's answer is read before its body: the size query takes only a
// 2xx with a Content-Length of 1 to 2^31 - 1; a range attempt takes only a
// 206 whose Content-Range is exactly the range asked for and the probed
// total, or a 200 when that range is the whole file. A transport failure, a
// 5xx, 408 or 429 is retried; any other answer ends the range at once, and
// the other ranges then stop too, as the download can no longer succeed.
//
// Threads: HttpDownload blocks its caller (events 0, 1 and 3 come from it);
// progress events (2) come from the workers while the write lock is held, so
// a callback must return quickly and must not call into the engine.
//
// Classes in this file: DownloadParam, CHttpDownload, DownloadThreadParam.
#pragma once

#include "net/BaseRequest.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>

enum DownloadEvent { kDownloadStart = 0, kDownloadSize = 1, kDownloadProgress = 2, kDownloadEnd = 3 };

enum DownloadResult {
    kDownloadOk = 0,
    kDownloadBadParam = -1,     // parameters invalid or target folder not creatable
    kDownloadNoSize = -3,       // the size could not be obtained
    kDownloadFailed = -4,       // file not opened, or a range failed all its attempts
};

constexpr int kDownloadMaxThreads = 64;
constexpr int kDownloadBufferSize = 102400;
constexpr int kDownloadMaxAttempt = 10;      // attempts 0..10: eleven in all
constexpr unsigned kDownloadRetryPauseMs = 2000;

// Filled and owned by the caller.
struct DownloadParam {
    int32_t nDownloadThread = 5;
    void* pUserData = nullptr;
    std::wstring strDownloadUrl;
    std::wstring strSavePath;     // normalised in place ("\" separators)
};

// (event, value1, value2, userData); see DownloadEvent.
using DownloadCallback = void (*)(int event, int value1, int value2, void* userData);

// Process-wide counts of failed range attempts per back-end; never reset by
// the engine, so a later download starts from the counts of earlier ones.
extern std::atomic<int32_t> nWinHttpFailCount;
extern std::atomic<int32_t> nInternetFailCount;

// Runs one download with the WinHTTP and WinINet back-ends and a 2 s pause
// between the attempts of a range. Clears *cancel when given. True when the
// whole file was written.
bool HttpDownload(DownloadParam* param, DownloadCallback callback, bool* cancel);

class CHttpDownload;

// One per worker; freed after all workers have ended.
struct DownloadThreadParam {
    bool bSuccess = false;
    CHttpDownload* pDownload = nullptr;
    int32_t nStart = 0;
    int32_t nLength = 0;
    int32_t nIndex = 0;
    FILE* pFile = nullptr;
    std::mutex* pWriteLock = nullptr;
};

class CHttpDownload {
public:
    // Makes the request object of one attempt (type 0 WinHTTP, 1 WinINet).
    using RequestFactory = std::function<CBaseRequest*(int type)>;
    // Starts one worker thread running body; false when it could not start.
    // The engine joins every started worker through the returned joiner.
    using ThreadStarter = std::function<bool(int index, std::function<void()> body, std::function<void()>& join)>;

    CHttpDownload(DownloadParam* param, DownloadCallback callback, bool* cancel);

    // Replaces the back-ends, the pause between attempts and the thread start
    // (tests; the defaults are the real ones).
    void SetRequestFactory(RequestFactory factory) { fnCreateRequest = std::move(factory); }
    void SetRetryPause(unsigned milliseconds) { nRetryPauseMs = milliseconds; }
    void SetThreadStarter(ThreadStarter starter) { fnStartThread = std::move(starter); }

    // Events 0, 1, 2..., 3 and the result code.
    int Download();

    DownloadParam* pParam;
    DownloadCallback pfnCallback;
    bool* pbCancel;
    int32_t nFileSize = 0;
    int32_t nDownloadedSize = 0;   // guarded by the write lock

private:
    int DownloadImp();
    bool CheckParam();
    bool GetDownloadFileSize();
    bool DownLoadContent();
    void DownloadThreadProc(DownloadThreadParam* record);
    // What one range attempt came to.
    enum AttemptOutcome {
        kAttemptReadBody,   // the answer is the requested range: read it
        kAttemptDone,       // the range is complete
        kAttemptRetry,      // worth another attempt (transport failure, 5xx, 408, 429, cut body)
        kAttemptGiveUp,     // the server's answer will not change (4xx, ranges ignored, wrong range)
    };
    AttemptOutcome CheckRangeAnswer(CBaseRequest* request, DownloadThreadParam* record);
    bool ReadUrlContent(CBaseRequest* request, DownloadThreadParam* record);
    bool Cancelled() const;
    // Cancelled, or another range has failed for good.
    bool Stopped() const;
    void Notify(int event, int value1, int value2);
    bool WriteChunk(DownloadThreadParam* record, int32_t offset, const char* data, int size);

    RequestFactory fnCreateRequest;
    ThreadStarter fnStartThread;
    std::atomic<bool> bGiveUp{false};
    unsigned nRetryPauseMs = kDownloadRetryPauseMs;
};

// The size of the file behind url through the same two-step query as the
// engine (WinHTTP HEAD, then WinINet GET); false when neither gave a size.
bool QueryRemoteFileSize(const CHttpDownload::RequestFactory& factory, const std::wstring& url, int32_t& size);

// The size in bytes, 0 when it could not be obtained.
int32_t GetRemoteFileSize(const std::wstring& url);
