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
// Time: every request has the stacks' time limits (NetTimeLimits), and an
// attempt that brought fewer than nLowSpeedBytes in the last nLowSpeedMs is
// abandoned and counts against the budget even when it wrote new bytes. An
// attempt that could not resolve or connect (no network) costs nothing while
// the last byte received is less than nOutageMs old: the range waits 1, 2,
// 4... s (at most nOutagePauseCapMs) and the meter says it is waiting.
//
// Disk: a file that cannot be opened or written ends the download at once
// (-6), with no retry. A caller that passes DownloadKept gets what a failed
// download wrote back on its next call for the same file: the ranges then
// ask only for their missing bytes, with the validator of the first size
// query in If-Range; another size or validator starts over.
//
// Threads: HttpDownload blocks its caller (events 0, 1 and 3 come from it);
// progress events (2) come from the workers while the write lock is held, so
// a callback must return quickly and must not call into the engine. Workers
// are joined before HttpDownload returns. Each attempt's body reads run on a
// helper thread (CAttemptCalls in HttpDownload.cpp) that is joined, or, when
// the attempt is abandoned with a read still blocked, detached: it then holds
// only its shares of the request and the read buffer, never the engine, the
// file or the caller's data.
//
// Classes in this file: DownloadParam, CHttpDownload, DownloadThreadParam.
#pragma once

#include "net/BaseRequest.h"
#include "net/DownloadMeter.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

enum DownloadEvent { kDownloadStart = 0, kDownloadSize = 1, kDownloadProgress = 2, kDownloadEnd = 3 };

enum DownloadResult {
    kDownloadOk = 0,
    kDownloadBadParam = -1,     // parameters invalid or target folder not creatable
    kDownloadNoSize = -3,       // the size could not be obtained
    kDownloadFailed = -4,       // a range failed all its attempts, or the file changed too often
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

// The stacks' time limits, the lowest speed and the outage wait. Test builds
// may shorten them (TestNetTimeLimits); the shipped build has only these.
struct NetTimeLimits {
    uint32_t nConnectMs = 15000;          // resolve and connect
    uint32_t nTransferMs = 30000;         // send and receive
    uint32_t nLowSpeedMs = 30000;         // the lowest speed's window...
    int32_t nLowSpeedBytes = 16384;       // ...and the bytes it must bring
    uint32_t nOutageMs = 300000;          // no network: waited out this long after the last byte
    uint32_t nOutagePauseMs = 1000;       // the growing pause's first step...
    uint32_t nOutagePauseCapMs = 30000;   // ...and its cap
    uint32_t nWatchMs = 100;              // how often cancel and the lowest speed are checked
};
#ifdef PW_TEST_HOOKS
NetTimeLimits& TestNetTimeLimits();
inline const NetTimeLimits& CurrentNetTimeLimits() { return TestNetTimeLimits(); }
#else
inline const NetTimeLimits& CurrentNetTimeLimits()
{
    static const NetTimeLimits limits;
    return limits;
}
#endif

// What a failed download wrote, kept by the caller for its next call (Retry):
// the size and validator of its first size query and each range's bytes.
// Empty (nSize 0) when there is nothing to resume; the caller empties it when
// it deletes the file.
struct DownloadKept {
    int32_t nSize = 0;
    int32_t nRanges = 0;
    std::string strValidator;
    int32_t written[kDownloadMaxThreads] = {};
};

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
    // Optional: the bytes of a failed download to resume, and where the
    // engine leaves them when this one fails. Owned by the caller.
    DownloadKept* pKept = nullptr;
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
class CAttemptCalls;

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
    // The attempt under way, for the watch of DownLoadContent: it aborts the
    // request on cancel and when the attempt is too slow. Guarded by
    // activeLock; the worker clears it before it destroys the request.
    std::mutex activeLock;
    CBaseRequest* pActive = nullptr;
    std::atomic<uint32_t> nAttemptId{0};
    std::atomic<int32_t> nAttemptBytes{0};
    std::atomic<bool> bSlow{false};        // the watch abandoned the attempt for its speed
    // The watch's samples of the attempt's bytes (watch only).
    static constexpr uint32_t kSpeedSteps = 30;
    int32_t samples[kSpeedSteps + 1] = {};
    uint32_t nSampleCount = 0;
    uint32_t nSampledId = 0;
    uint32_t nSampleMs = 0;
    bool bWaiting = false;                 // counted in nWaitingRanges (worker only)
};

class CHttpDownload {
    friend class CAttemptCalls;   // waits for an attempt's reads while AttemptOver is false

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
    bool ReadUrlContent(CAttemptCalls& calls, DownloadThreadParam* record);
    // Whether a worker stops waiting for its attempt's call: the download
    // stopped, or the attempt is too slow.
    bool AttemptOver(DownloadThreadParam* record) const { return Stopped() || record->bSlow.load(); }
    bool Cancelled() const;
    // Cancelled, another range has failed for good, or the file changed.
    bool Stopped() const;
    void Notify(int event, int value1, int value2);
    bool WriteChunk(DownloadThreadParam* record, int32_t offset, const char* data, int size);
    // Aborts slow attempts, and every attempt once the download stops,
    // until running is 0. Runs on the caller's thread.
    void WatchAttempts(std::vector<std::unique_ptr<DownloadThreadParam>>& records, std::atomic<int>& running);
    void SetWaiting(DownloadThreadParam* record, bool waiting);
    std::FILE* OpenTarget(int count);
    void KeepProgress(const std::vector<std::unique_ptr<DownloadThreadParam>>& records);

    RequestFactory fnCreateRequest;
    ThreadStarter fnStartThread;
    std::atomic<bool> bGiveUp{false};
    std::atomic<bool> bRestart{false};
    std::atomic<bool> bDiskFailed{false};
    std::atomic<uint32_t> nLastByteMs{0};   // when a byte last arrived (or the ranges started)
    std::atomic<int> nWaitingRanges{0};
    bool bResume = false;                    // the ranges start from pKept's bytes
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
