// The download engine: fetches one file into a local path with several
// worker threads, all writing into one shared file at the offsets their
// intervals say. It ties together the size query (RemoteFileSize.h), the
// byte map that decides who fetches what (RangeScheduler.h), one range
// attempt and its verdict (RangeAttempt.h) and the network gate for outages
// (NetworkGate.h).
//
// A download starts with the file divided into one range per worker; a
// worker whose interval is done takes the far part of the slowest one, all
// of a stalled one. Every write is clipped to the writer's interval under
// the write lock, so no byte is written twice and none is missed, and
// progress never counts a byte twice.
//
// Retries: an attempt that got further into its interval than any before
// costs nothing and is followed after kDownloadProgressPauseMs; attempts
// that brought nothing new have a budget of eleven, 2 s apart or as long as
// a Retry-After asks (at most 30 s). An interval whose budget is spent, or
// whose answer will not change (a 4xx, a wrong Content-Range), fails on its
// source: when the size query was redirected it goes on from the original
// URL with a fresh budget, else it fails for good; the other workers finish
// what they can, and the download ends with -4. A 407 one stack could not
// satisfy is tried on the other stack first.
//
// Outages: attempts that find no network (NetworkGate.h) cost nothing while
// the last byte is less than nOutageMs old; the workers wait at the gate,
// one probe at a time goes out, and any answer wakes them all. The meter
// says meanwhile that the download waits. After nOutageMs they count like
// other failures.
//
// Versions: the size query keeps the file's validator (a strong ETag, else
// Last-Modified); every range request carries it in If-Range. A 206 with
// another validator, or a 200 of another length with another one, means the
// file changed: the download starts over from the size query (at most
// kDownloadMaxRestarts times). A 200 whose length is the size is the whole
// current file: one worker reads it from byte 0, the others stop, and what
// was written before is dropped. Without a validator a failed attempt's
// bytes are taken back and its interval fetched again from its start.
//
// Mirrors: the caller may name the same file on other hosts. The size query
// asks them in turn until one gives a size (the approved one, when a size
// was approved); an interval whose URL fails for good, or finds no network
// while another host has not been tried since the worker's last answer,
// goes on from the next host with the bytes kept. Before its first interval
// a mirror is asked for its size and validator: another size or version is
// not used (never mixed), and neither is a mirror that gives no size or that
// later answers with another version.
//
// Approved size: a caller that checked the free space for a size names it,
// and the engine downloads exactly that many bytes or nothing: a size query
// answering another size fails the download (-4) before any range.
//
// Disk: a file that cannot be opened or written ends the download at once
// (-6). A caller that passes DownloadKept gets what a failed download wrote
// back on its next call: when the size and validator are the same, the
// download opens the file in place and fetches only the missing bytes.
//
// Threads: HttpDownload blocks its caller, whose thread watches the workers
// (cancel, the lowest speed) and sends events 0, 1 and 3. There is one
// thread per worker and no other. Progress events (2) come from the
// workers while the write lock is held, so a callback must return quickly
// and must not call into the engine. Before HttpDownload returns, every
// worker has ended and been joined, except one blocked in a read of its
// body that the engine gave up (under Wine closing a request handle does not
// end a call blocked on it): that one is detached, and when its read returns
// it frees its request and ends without touching the engine, the file or the
// caller's data; it holds only its share of CHttpDownload::Shared.
//
// Classes in this file: NetTimeLimits, DownloadKept, DownloadParam,
// CHttpDownload.
#pragma once

#include "net/BaseRequest.h"
#include "net/DownloadMeter.h"
#include "net/NetworkGate.h"
#include "net/RangeScheduler.h"
#include "net/RemoteFileSize.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

enum DownloadEvent { kDownloadStart = 0, kDownloadSize = 1, kDownloadProgress = 2, kDownloadEnd = 3 };

enum DownloadResult {
    kDownloadOk = 0,
    kDownloadBadParam = -1,     // parameters invalid or target folder not creatable
    kDownloadNoSize = -3,       // the size could not be obtained
    kDownloadFailed = -4,       // an interval failed for good, or the file changed too often
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

// The stacks' time limits, the lowest speed, the outage rules and the
// scheduler's clock. Test builds may shorten them (TestNetTimeLimits); the
// shipped build has only these.
struct NetTimeLimits {
    uint32_t nConnectMs = 15000;          // resolve and connect
    uint32_t nTransferMs = 30000;         // send and receive
    uint32_t nLowSpeedMs = 30000;         // the lowest speed's window...
    int32_t nLowSpeedBytes = 16384;       // ...and the bytes it must bring
    uint32_t nOutageMs = 300000;          // no network: waited out this long after the last byte
    uint32_t nWatchMs = 100;              // how often cancel, the lowest speed and idle workers look
    GateTiming gate;                      // the probes while there is no network
    SchedulerTuning scheduler;            // stalls and take-overs
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
// the size and validator of its first size query and the bytes done. Empty
// (nSize 0) when there is nothing to resume; the caller empties it when it
// deletes the file.
struct DownloadKept {
    int32_t nSize = 0;
    std::string strValidator;
    std::vector<ByteSpan> done;
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
    // Optional: the same file at other URLs, tried in this order after
    // strDownloadUrl (mirrors).
    std::vector<std::wstring> mirrorUrls;
    // Optional: set before the end event to the URL (strDownloadUrl or a
    // mirror) last in use: the one that gave the size (strDownloadUrl when
    // none did), then the last an interval moved to. Owned by the caller.
    std::wstring* pUrlInUse = nullptr;
};

// (event, value1, value2, userData); see DownloadEvent.
using DownloadCallback = void (*)(int event, int value1, int value2, void* userData);

// Process-wide counts of failed range attempts per back-end; never reset by
// the engine, so a later download starts from the counts of earlier ones.
extern std::atomic<int32_t> nWinHttpFailCount;
extern std::atomic<int32_t> nInternetFailCount;

// Runs one download with the WinHTTP and WinINet back-ends. Clears *cancel
// when given. True when the whole file was written.
bool HttpDownload(DownloadParam* param, DownloadCallback callback, bool* cancel);

class CHttpDownload {
public:
    using RequestFactory = ::RequestFactory;
    // Starts one worker thread running body into thread; false when it could
    // not start. The engine joins or detaches every started thread.
    using ThreadStarter = std::function<bool(int index, std::function<void()> body, std::thread& thread)>;
    // Every chunk written: its offset and length (tests; under the write lock).
    using WriteObserver = std::function<void(int32_t offset, int32_t count)>;

    CHttpDownload(DownloadParam* param, DownloadCallback callback, bool* cancel);
    ~CHttpDownload();
    CHttpDownload(const CHttpDownload&) = delete;
    CHttpDownload& operator=(const CHttpDownload&) = delete;

    // Replaces the back-ends, the pause between attempts without progress,
    // the thread start, and observes the writes (tests; the defaults are the
    // real ones).
    void SetRequestFactory(RequestFactory factory) { fnCreateRequest = std::move(factory); }
    void SetRetryPause(unsigned milliseconds) { nRetryPauseMs = milliseconds; }
    void SetThreadStarter(ThreadStarter starter) { fnStartThread = std::move(starter); }
#ifdef PW_TEST_HOOKS
    void SetWriteObserver(WriteObserver observer) { fnOnWrite = std::move(observer); }
#endif

    // Events 0, 1, 2..., 3 and the result code.
    int Download();

    DownloadParam* pParam;
    DownloadCallback pfnCallback;
    bool* pbCancel;
    int32_t nFileSize = 0;
    int32_t nDownloadedSize = 0;   // guarded by the write lock

    struct Shared;   // the write lock and what a detached worker may still touch (HttpDownload.cpp)

private:
    struct Slot;     // one worker's attempt, as the watch sees it
    enum class BodyEnd { kDone, kCut, kDisk, kGone };

    int DownloadImp();
    bool CheckParam();
    // The size query down the list of URLs: kDownloadOk, or the result of
    // the download when no URL gave a usable size.
    int GetDownloadFileSize();
    // The source an interval on source from goes on from: the next one not
    // dropped, after the last back to the first with wrap; a mirror not
    // asked yet is asked first (the lock is let go meanwhile). -1: none.
    int NextSource(std::unique_lock<std::mutex>& lock, int from, bool wrap);
    // Sources not dropped.
    int LiveSources() const;
    // One round: the file opened, the workers run and ended. True when the
    // whole file is there.
    bool DownLoadContent();
    // The worker loop (on a worker thread): intervals, attempts, pauses.
    void Work(const std::shared_ptr<Shared>& shared, int index);
    // Reads an attempt's body into the worker's interval from offset on.
    BodyEnd ReadBody(const std::shared_ptr<Shared>& shared, int index, CBaseRequest& request, char* buffer,
                     int32_t offset);
    // Waits at the network gate; false when the download stopped.
    bool PassGate(std::unique_lock<std::mutex>& lock, int index, bool& probe);
    // Worker index's interval goes on from source next instead of from, with
    // its bytes; logged with why and both hosts (write lock held).
    void MoveToSource(int index, int from, int next, const wchar_t* why);
    // An attempt found no network: the gate closes, logged (write lock held).
    void WaitAtGate(uint32_t now, uint32_t retryAfterMs, bool probe, int index, const char* stack, int status,
                    unsigned error);
    // Writes under the write lock; false on a disk failure.
    bool WriteChunk(int32_t offset, const char* data, int32_t size);
    // The whole file comes as one stream on worker index (write lock held).
    void BecomeSingle(int index, const std::string& validator, const char* stack);
    // Aborts worker index's attempt (write lock held).
    void AbortSlot(int index);
    void SetWaiting(bool waiting);
    // Aborts slow attempts, and every attempt once the download stops, until
    // the workers have ended or only blocked reads are left. Caller's thread.
    void WatchWorkers(const std::shared_ptr<Shared>& shared);
    bool Cancelled() const;
    // Cancelled, the file changed, the disk failed, or the round is ending.
    bool Stopped() const;
    void Notify(int event, int value1, int value2);
    std::FILE* OpenTarget();
    void KeepProgress(bool success);

    RequestFactory fnCreateRequest;
    ThreadStarter fnStartThread;
#ifdef PW_TEST_HOOKS
    WriteObserver fnOnWrite;
#endif
    unsigned nRetryPauseMs = kDownloadRetryPauseMs;
    std::atomic<bool> bRestart{false};
    std::atomic<bool> bDiskFailed{false};
    std::atomic<bool> bEnding{false};       // the round is over: workers leave
    std::atomic<uint32_t> nLastByteMs{0};   // when a byte last arrived (or the round started)
    bool bResume = false;                    // the round starts from pKept's bytes
    std::string strValidator;   // If-Range value; empty: no resume. Write lock while workers run.
    std::string strLastModified;   // the size query's Last-Modified (mirrors of the same file share it)
    std::wstring strFinalUrl;   // where the size query's redirects led
    // The download URL, then the mirrors: the URLs the file may come from.
    std::vector<std::wstring> urls;
    int nUrlInUse = 0;          // index in urls of the URL in use: the size's, then the last moved to
    // Where an interval may come from, in order: the final URL of the first
    // URL that gave the size, that URL when they differ, then the later
    // mirrors. Write lock while workers run. A mirror is used when it has
    // the same size and the same validator, or its own ETag with the same
    // Last-Modified date: the same file on another server.
    enum class SourceState { kGood, kUnchecked, kChecking, kDropped };
    struct Source {
        std::wstring strUrl;
        int nUrl = 0;           // index in urls
        SourceState eState = SourceState::kGood;
        std::string strValidator;   // its If-Range value (a mirror's ETag may be its own)
    };
    std::vector<Source> sources;
    uint32_t nGateOpens = 0;    // how often the gate opened (write lock)
    // Valid during a round (DownLoadContent), guarded by the write lock.
    std::FILE* pFile = nullptr;
    CRangeScheduler scheduler;
    CNetworkGate gate;
    std::unique_ptr<Slot[]> slots;
    int nSlots = 0;
    std::shared_ptr<Shared> pShared;
};
