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
// Resuming: the size query keeps the file's validator (a strong ETag, else
// Last-Modified). Every range request carries it in If-Range, and a retried
// attempt asks only for the bytes of its range not yet written. A 200 with
// another validator means the file changed on the server: the whole download
// starts over from the size query, discarding what was written (at most
// kDownloadMaxRestarts times). Without a validator a retry fetches its range
// from the start again. Progress never counts a byte twice.
//
// Approved size: a caller that checked the free space for a size names it,
// and the engine then downloads exactly that many bytes or nothing. A size
// query answering another size (the file changed, or a hostile answer that
// would fill the disk) fails the download (-4) before any range is asked
// for; a restart after a change on the server is checked the same way.
//
// Retries: an attempt that got further into its range than any before costs
// nothing and is followed after at most kDownloadProgressPauseMs; attempts
// that brought nothing new have a budget of eleven, 2 s apart, or as long as
// a 503's or 429's Retry-After asks (at most 30 s).
//
// Threads: HttpDownload blocks its caller (events 0, 1 and 3 come from it);
// progress events (2) come from the workers while the write lock is held, so
// a callback must return quickly and must not call into the engine.
//
// Classes in this file: DownloadParam, CHttpDownload, DownloadThreadParam.
#pragma once

#include "net/BaseRequest.h"
#include "net/DownloadMeter.h"

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
    kDownloadProxySignIn = -5,  // the proxy wants a sign-in that nobody gave (cancelled, or /S)
    kDownloadDiskFailed = -6,   // the download file could not be opened or written (disk full...)
};

constexpr int kDownloadMaxThreads = 64;
constexpr int kDownloadBufferSize = 102400;
constexpr int kDownloadMaxAttempt = 10;      // attempts without progress 0..10: eleven in all
constexpr unsigned kDownloadRetryPauseMs = 2000;
constexpr unsigned kDownloadProgressPauseMs = 50;
constexpr uint32_t kDownloadRetryAfterCapMs = 30000;
constexpr int kDownloadMaxRestarts = 3;

// Filled and owned by the caller.
struct DownloadParam {
    int32_t nDownloadThread = 5;
    void* pUserData = nullptr;
    std::wstring strDownloadUrl;
    std::wstring strSavePath;     // normalised in place ("\" separators)
    // Optional: bytes, total and a smoothed rate for a speed and time-left
    // display (DownloadMeter.h). Owned by the caller; must outlive the call.
    CDownloadMeter* pMeter = nullptr;
    // The size the free-space check approved; the file must have exactly this
    // size (0, when that check had no size, approves none). -1: no check.
    int32_t nApprovedSize = -1;
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
    int32_t nWritten = 0;        // bytes of the range written and counted; guarded by the write lock
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
        kAttemptRestart,    // the file changed on the server: the whole download starts over
    };
    // Judges status and headers; a Retry-After of a 503 or 429 sets pauseMs.
    AttemptOutcome CheckRangeAnswer(CBaseRequest* request, DownloadThreadParam* record, unsigned& pauseMs);
    // Uncounts what the range has written, so it is fetched from its start.
    void TakeBack(DownloadThreadParam* record);
    bool ReadUrlContent(CBaseRequest* request, DownloadThreadParam* record);
    bool Cancelled() const;
    // Cancelled, another range has failed for good, or the file changed.
    bool Stopped() const;
    void Notify(int event, int value1, int value2);
    bool WriteChunk(DownloadThreadParam* record, int32_t offset, const char* data, int size);

    RequestFactory fnCreateRequest;
    ThreadStarter fnStartThread;
    std::atomic<bool> bGiveUp{false};
    std::atomic<bool> bRestart{false};
    std::string strValidator;   // If-Range value from the size query; empty: no resume
    std::wstring strFinalUrl;   // where the size query's redirects led: the ranges go there
    unsigned nRetryPauseMs = kDownloadRetryPauseMs;
};

// The size of the file behind url through the same two-step query as the
// engine (WinHTTP HEAD, then WinINet GET); false when neither gave a size.
// With validator, also the If-Range value of that answer (empty when none).
// With finalUrl, also the URL the redirects led to (url itself when none).
bool QueryRemoteFileSize(const CHttpDownload::RequestFactory& factory, const std::wstring& url, int32_t& size,
                         std::string* validator = nullptr, std::wstring* finalUrl = nullptr);

// The size in bytes, 0 when it could not be obtained.
int32_t GetRemoteFileSize(const std::wstring& url);
