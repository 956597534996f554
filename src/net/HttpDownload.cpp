#include "net/HttpDownload.h"

#include "logging/Assert.h"
#include "logging/FileSystem.h"
#include "logging/Log.h"
#include "logging/PathUtil.h"
#include "logging/TextEncoding.h"
#include "logging/TextFormat.h"
#include "net/HttpHeader.h"
#include "net/ProxySettings.h"
#include "net/ProxySignIn.h"

#include <chrono>
#include <condition_variable>
#include <ctime>
#include <memory>
#include <system_error>
#include <thread>
#include <vector>

std::atomic<int32_t> nWinHttpFailCount{0};
std::atomic<int32_t> nInternetFailCount{0};

namespace {

bool StartStdThread(int /*index*/, std::function<void()> body, std::function<void()>& join)
{
    try {
        auto worker = std::make_shared<std::thread>(std::move(body));
        join = [worker] { worker->join(); };
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}

// Milliseconds from a monotonic clock; differences are taken unsigned, so
// the wrap after 49 days does no harm.
uint32_t SteadyMs()
{
    return static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
}

} // namespace

// The reads of one attempt's body run on a helper thread of the attempt, so
// that its worker can stop waiting at once: under Wine a read blocked on a
// request handle does not end when another thread closes the handle. The
// helper reads one chunk ahead (two buffers), so a fast body costs the
// worker no wait per read. The worker and the helper share the request and
// the buffers. A worker that stops waiting, or ends while a read is still
// under way, aborts the request and detaches the helper; when the read
// returns, the helper only drops its share (freeing the request and the
// buffers when it is the last): it touches neither the file nor the engine.
// Otherwise the worker ends the helper, joins it and frees the request.
// Request itself stays on the worker (the engine's watch aborts it): it may
// ask for a proxy sign-in and settle proxies, process-wide state that a call
// left behind must not change after the download has returned.
class CAttemptCalls {
public:
    explicit CAttemptCalls(CBaseRequest* request) : pShared(std::make_shared<Shared>())
    {
        pShared->request.reset(request);
    }
    ~CAttemptCalls() { End(); }
    CAttemptCalls(const CAttemptCalls&) = delete;
    CAttemptCalls& operator=(const CAttemptCalls&) = delete;

    CBaseRequest* Request() const { return pShared ? pShared->request.get() : nullptr; }

    // The next chunk of the body: result as HttpRead gives it, data valid
    // until the next call. Waits in the watch's ticks until the chunk is
    // there or the engine says the attempt is over (AttemptOver); false
    // then: the request is aborted and what the helper reads later is thrown
    // away. Without a helper thread the read runs here.
    bool Read(const CHttpDownload& engine, DownloadThreadParam* record, int& result, const char*& data)
    {
        Shared& shared = *pShared;
        if (shared.abandoned)
            return false;
        if (!shared.buffers[0]) {
            // Not zero-filled: only the pages the reads reach take memory.
            shared.buffers[0].reset(new char[kDownloadBufferSize]);
            shared.buffers[1].reset(new char[kDownloadBufferSize]);
            try {
                helper = std::thread(&CAttemptCalls::Run, pShared);
                bStarted = true;
            } catch (const std::system_error&) {
            }
        }
        if (!bStarted) {
            result = shared.request->HttpRead(shared.buffers[0].get(), kDownloadBufferSize);
            data = shared.buffers[0].get();
            return true;
        }
        std::unique_lock<std::mutex> lock(shared.lock);
        if (shared.nTaken > shared.nReleased) {
            ++shared.nReleased;   // the chunk handed out last time is written: its buffer is free
            shared.wake.notify_all();
        }
        const auto tick = std::chrono::milliseconds(CurrentNetTimeLimits().nWatchMs);
        while (shared.nRead == shared.nTaken) {
            if (shared.wake.wait_for(lock, tick) == std::cv_status::timeout && shared.nRead == shared.nTaken &&
                engine.AttemptOver(record)) {
                shared.abandoned = true;
                lock.unlock();
                shared.request->Abort();
                return false;
            }
        }
        const int slot = shared.nTaken++ % 2;
        result = shared.results[slot];
        data = shared.buffers[slot].get();
        return true;
    }

    // Ends the helper (joined when it is not reading, else detached) and
    // lets go of the request.
    void End()
    {
        if (bStarted) {
            bool blocked;
            {
                std::lock_guard<std::mutex> lock(pShared->lock);
                blocked = pShared->bReading || pShared->abandoned;
                pShared->abandoned = true;
                pShared->wake.notify_all();
            }
            if (blocked) {
                pShared->request->Abort();
                helper.detach();
            } else {
                helper.join();
            }
            bStarted = false;
        }
        pShared.reset();
    }

private:
    struct Shared {
        std::unique_ptr<CBaseRequest> request;
        std::unique_ptr<char[]> buffers[2];   // chunk k is read into buffers[k % 2]
        std::mutex lock;
        std::condition_variable wake;
        int results[2] = {};
        uint32_t nRead = 0;       // chunks the helper has read
        uint32_t nTaken = 0;      // chunks handed to the worker
        uint32_t nReleased = 0;   // chunks the worker is done with
        bool bReading = false;    // the helper is inside HttpRead
        bool bEnded = false;      // the last read gave 0 or -1: no more reads
        bool abandoned = false;   // the worker no longer waits: drop the share and end
    };

    // The helper thread: reads while a buffer is free, until the body ends
    // or the worker lets go.
    static void Run(std::shared_ptr<Shared> shared)
    {
        std::unique_lock<std::mutex> lock(shared->lock);
        for (;;) {
            shared->wake.wait(lock, [&] {
                return shared->abandoned || (!shared->bEnded && shared->nRead - shared->nReleased < 2);
            });
            if (shared->abandoned)
                return;
            const int slot = shared->nRead % 2;
            shared->bReading = true;
            lock.unlock();
            const int result = shared->request->HttpRead(shared->buffers[slot].get(), kDownloadBufferSize);
            lock.lock();
            shared->bReading = false;
            if (shared->abandoned)
                return;
            shared->results[slot] = result;
            ++shared->nRead;
            shared->bEnded = result <= 0;
            shared->wake.notify_all();
        }
    }

    std::shared_ptr<Shared> pShared;
    std::thread helper;
    bool bStarted = false;
};

#ifdef PW_TEST_HOOKS
NetTimeLimits& TestNetTimeLimits()
{
    static NetTimeLimits limits;
    return limits;
}
#endif

CHttpDownload::CHttpDownload(DownloadParam* param, DownloadCallback callback, bool* cancel)
    : pParam(param), pfnCallback(callback), pbCancel(cancel), fnCreateRequest(&CBaseRequest::CreateInstance),
      fnStartThread(&StartStdThread)
{
}

bool HttpDownload(DownloadParam* param, DownloadCallback callback, bool* cancel)
{
    if (cancel != nullptr)
        *cancel = false;
    CHttpDownload download(param, callback, cancel);
    return download.Download() == kDownloadOk;
}

void CHttpDownload::Notify(int event, int value1, int value2)
{
    if (pfnCallback != nullptr)
        pfnCallback(event, value1, value2, pParam != nullptr ? pParam->pUserData : nullptr);
}

bool CHttpDownload::Cancelled() const
{
    // The flag belongs to the caller, who may set it from another thread.
    return pbCancel != nullptr && __atomic_load_n(pbCancel, __ATOMIC_RELAXED);
}

bool CHttpDownload::Stopped() const
{
    return Cancelled() || bGiveUp.load() || bRestart.load() || bDiskFailed.load();
}

int CHttpDownload::Download()
{
    LOG_INFO("Download....");
    time_t begin = time(nullptr);
    Notify(kDownloadStart, 0, 0);
    BeginProxySignIn();
    int ret = DownloadImp();
    if (ret != kDownloadOk && ret != kDownloadBadParam && ProxySignInRefused()) {
        LOG_INFO("ERR:the proxy needs a sign-in that was not given");
        ret = kDownloadProxySignIn;
    }
    int elapsed = static_cast<int>(time(nullptr) - begin);
    // The unit after the elapsed time is the word for seconds in GBK.
    LOG_INFO("HttpDownload,ret = %d (time = %d \xC3\xEB)", ret, elapsed);
    Notify(kDownloadEnd, ret, elapsed);
    return ret;
}

int CHttpDownload::DownloadImp()
{
    if (!CheckParam()) {
        LOG_INFO("ERR:CheckParam fail!");
        return kDownloadBadParam;
    }
    // One proxy for the whole download: every range and retry goes its way.
    SettleProxy(pParam->strDownloadUrl);
    for (int round = 0;; ++round) {
        if (!GetDownloadFileSize()) {
            LOG_INFO("ERR:GetDownloadFileSize fail!");
            return kDownloadNoSize;
        }
        if (pParam->nApprovedSize >= 0 && nFileSize != pParam->nApprovedSize) {
            // Not a byte more than the free-space check saw: the attempt
            // fails as a changed file, and a new attempt checks afresh.
            LOG_INFO("ERR:the file is now %d bytes, the free-space check approved %d: it changed, nothing is "
                     "downloaded", nFileSize, pParam->nApprovedSize);
            return kDownloadFailed;
        }
        Notify(kDownloadSize, nFileSize, 0);
        // What an earlier call left is resumed only for the same file: the
        // same size and the same validator as its first size query.
        const DownloadKept* kept = pParam->pKept;
        bResume = kept != nullptr && round == 0 && kept->nSize == nFileSize && !strValidator.empty() &&
                  kept->strValidator == strValidator;
        bool done = DownLoadContent();
        if (!done && bRestart.load() && !Cancelled() && round < kDownloadMaxRestarts) {
            // The file changed on the server while it was being fetched:
            // what was written belongs to the old version and goes.
            LOG_INFO("ERR:file changed on the server, download starts over (%d)", round + 1);
            bRestart = false;
            bGiveUp = false;
            nDownloadedSize = 0;
            Notify(kDownloadProgress, 0, nFileSize);
            continue;
        }
        if (bDiskFailed.load()) {
            LOG_INFO("ERR:the download file cannot be written: the disk failed, no retry");
            return kDownloadDiskFailed;
        }
        if (!done) {
            LOG_INFO("ERR:DownLoadContent fail!");
            return kDownloadFailed;
        }
        return kDownloadOk;
    }
}

bool CHttpDownload::CheckParam()
{
    if (pParam == nullptr)
        return false;
    if (pParam->nDownloadThread <= 0) {
        LOG_INFO("ERR:invalid param (nDownloadThread = %d)", pParam->nDownloadThread);
        return false;
    }
    if (pParam->strDownloadUrl.empty()) {
        LOG_INFO("ERR:invalid param (strDownloadUrl)");
        return false;
    }
    pParam->strSavePath = NormalizePath(pParam->strSavePath);
    size_t slash = pParam->strSavePath.rfind(L'\\');
    std::wstring folder = slash == std::wstring::npos ? std::wstring() : pParam->strSavePath.substr(0, slash);
    if (!PathExists(folder))
        CreateDirectoryChain(folder);
    if (!PathExists(folder)) {
        LOG_INFO_W(L"ERR:make dir (%ls) fail!", folder.c_str());
        return false;
    }
    return true;
}

namespace {

// The total of a "Range: bytes=0-0" answer, for servers whose answer to the
// size query had no usable length or that refuse HEAD.
bool QueryTotalByRange(CBaseRequest* request, const std::wstring& url, int32_t& size)
{
    request->strHeaders = L"Range:bytes=0-0";
    int status = 0;
    std::string text;
    HttpContentRange range;
    if (!request->Request(url) || !request->GetStatusCode(&status) || status != 206 ||
        !request->QueryHeader("Content-Range", text) || !ParseContentRange(text, range) || range.nFirst != 0 ||
        range.nTotal > INT32_MAX) {
        LOG_INFO("ERR:[%s] GetUrlFileSize: no total for bytes=0-0 (%d)", request->GetTypeName(), status);
        return false;
    }
    size = static_cast<int32_t>(range.nTotal);
    return true;
}

} // namespace

bool QueryRemoteFileSize(const CHttpDownload::RequestFactory& factory, const std::wstring& url, int32_t& size,
                         std::string* validator, std::wstring* finalUrl)
{
    // WinHTTP answers a HEAD; WinINet is asked with a GET whose body is
    // abandoned with the object. Only a success status with a length of at
    // least one byte is a size: an error page's length is not the file's.
    // An answer without a length, and a HEAD refused with 405 or 501, are
    // asked again as the first byte of the file.
    for (int type : {CBaseRequest::kTypeWinHttp, CBaseRequest::kTypeInternet}) {
        std::unique_ptr<CBaseRequest> request(factory(type));
        if (!request)
            continue;
        if (type == CBaseRequest::kTypeWinHttp)
            request->strMethod = L"HEAD";
        if (!request->Request(url))
            continue;
        int status = 0;
        if (!request->GetStatusCode(&status))
            continue;
        int value = 0;
        bool byRange = false;
        if (status == 405 || status == 501) {
            byRange = true;
        } else if (!IsSuccessStatus(status)) {
            LOG_INFO("ERR:[%s] GetUrlFileSize: status %d", request->GetTypeName(), status);
            continue;
        } else if (!request->GetUrlFileSize(&value)) {
            LOG_INFO("ERR:[%s] GetUrlFileSize: no usable Content-Length (status %d)", request->GetTypeName(), status);
            byRange = true;
        } else if (value < 1) {
            LOG_INFO("ERR:[%s] GetUrlFileSize: an empty file (status %d)", request->GetTypeName(), status);
            continue;
        }
        if (byRange) {
            request.reset(factory(type));
            if (!request || !QueryTotalByRange(request.get(), url, value) || value < 1)
                continue;
        }
        size = value;
        if (validator != nullptr) {
            std::string etag;
            std::string lastModified;
            request->QueryHeader("ETag", etag);
            request->QueryHeader("Last-Modified", lastModified);
            *validator = ChooseIfRangeValidator(etag, lastModified);
        }
        if (finalUrl != nullptr)
            *finalUrl = request->strFinalUrl.empty() ? url : request->strFinalUrl;
        return true;
    }
    return false;
}

int32_t GetRemoteFileSize(const std::wstring& url)
{
    int32_t size = 0;
    BeginProxySignIn();
    if (!QueryRemoteFileSize(&CBaseRequest::CreateInstance, url, size))
        return 0;
    return size;
}

bool CHttpDownload::GetDownloadFileSize()
{
    LOG_INFO("GetDownloadFileSize....");
    strValidator.clear();
    if (!QueryRemoteFileSize(fnCreateRequest, pParam->strDownloadUrl, nFileSize, &strValidator, &strFinalUrl))
        return false;
    if (strFinalUrl != pParam->strDownloadUrl)
        LOG_INFO_W(L"GetDownloadFileSize: final host %ls", ProxyKeyOf(strFinalUrl).c_str());
    return true;
}

bool CHttpDownload::DownLoadContent()
{
    int requested = pParam->nDownloadThread;
    int count = requested < 1 ? 1 : (requested > kDownloadMaxThreads ? kDownloadMaxThreads : requested);
    // At most one worker per byte: an empty range has no valid Range header.
    if (nFileSize >= 1 && count > nFileSize)
        count = nFileSize;
    if (count == requested)
        LOG_INFO("DownLoadContent: ThreadNum = %d", count);
    else
        LOG_INFO("DownLoadContent: ThreadNum = %d (request thread num = %d)", count, requested);
    int32_t seg = nFileSize / count;

    FILE* file = OpenTarget(count);
    if (file == nullptr) {
        LOG_INFO_W(L"ERR:Open file fail! (%ls)", pParam->strSavePath.c_str());
        bDiskFailed = true;
        return false;
    }
    std::mutex writeLock;
    nDownloadedSize = 0;
    nLastByteMs = SteadyMs();

    std::vector<std::unique_ptr<DownloadThreadParam>> records;
    std::vector<std::function<void()>> joiners;
    bool allStarted = true;
    for (int i = 0; i < count; ++i) {
        auto record = std::make_unique<DownloadThreadParam>();
        record->pDownload = this;
        record->nStart = i * seg;
        record->nLength = (i == count - 1) ? nFileSize - (count - 1) * seg : seg;
        record->nIndex = i;
        record->pFile = file;
        record->pWriteLock = &writeLock;
        if (bResume) {
            int32_t kept = pParam->pKept->written[i];
            record->nWritten = kept < 0 ? 0 : (kept > record->nLength ? record->nLength : kept);
            nDownloadedSize += record->nWritten;
        }
        records.push_back(std::move(record));
    }
    if (pParam->pMeter != nullptr)
        pParam->pMeter->Start(nFileSize, nDownloadedSize);
    if (nDownloadedSize > 0) {
        LOG_INFO("resuming with %d of %d bytes kept", nDownloadedSize, nFileSize);
        Notify(kDownloadProgress, nDownloadedSize, nFileSize);
    }
    std::atomic<int> running{0};
    for (int i = 0; i < count; ++i) {
        DownloadThreadParam* raw = records[i].get();
        std::function<void()> join;
        ++running;
        if (!fnStartThread(i, [this, raw, &running] { DownloadThreadProc(raw); --running; }, join)) {
            // Without this worker its range stays empty: the download fails,
            // but only after the workers already running have ended.
            LOG_INFO("ERR:start download thread %d fail!", i);
            --running;
            allStarted = false;
            break;
        }
        joiners.push_back(std::move(join));
        DebugTrace("[%d] %d ~ %d,length = %d\n", i, raw->nStart, raw->nStart + raw->nLength - 1, raw->nLength);
    }

    LOG_INFO("WaitForMultipleObjects...\n");
    WatchAttempts(records, running);
    for (auto& join : joiners)
        join();
    LOG_INFO("WaitForMultipleObjects end! WaitRet=%d\n", 0);

    bool success = allStarted;
    for (const auto& record : records)
        success = success && record->bSuccess;
    if (std::fclose(file) != 0) {
        success = false;
        bDiskFailed = true;
    }
    if (pParam->pMeter != nullptr)
        pParam->pMeter->SetWaiting(false);
    if (success)
        records.clear();
    KeepProgress(records);
    records.clear();
    return success;
}

std::FILE* CHttpDownload::OpenTarget(int count)
{
    // The kept bytes are resumed in place; a file that is gone or another
    // division of the ranges starts from nothing.
    if (bResume) {
        std::FILE* file = pParam->pKept->nRanges == count ? FsOpenFile(pParam->strSavePath, "r+b") : nullptr;
        if (file != nullptr)
            return file;
        LOG_INFO("ERR:the kept bytes cannot be resumed");
        bResume = false;
    }
    return FsOpenFile(pParam->strSavePath, "wb");
}

void CHttpDownload::KeepProgress(const std::vector<std::unique_ptr<DownloadThreadParam>>& records)
{
    // Only a failed download of a file with a validator leaves something a
    // later call can safely resume.
    DownloadKept* kept = pParam->pKept;
    if (kept == nullptr)
        return;
    *kept = DownloadKept();
    if (records.empty() || strValidator.empty() || bRestart.load())
        return;
    kept->nSize = nFileSize;
    kept->strValidator = strValidator;
    kept->nRanges = static_cast<int32_t>(records.size());
    for (int32_t i = 0; i < kept->nRanges; ++i)
        kept->written[i] = records[i]->nWritten;
}

void CHttpDownload::WatchAttempts(std::vector<std::unique_ptr<DownloadThreadParam>>& records,
                                  std::atomic<int>& running)
{
    // Each attempt's byte count is sampled kSpeedSteps times per window; an
    // attempt that brought fewer than the lowest speed's bytes since the
    // sample a window back is abandoned, and every attempt once the
    // download stops. Closing the request from here ends a read blocked on
    // a silent server.
    const NetTimeLimits& limits = CurrentNetTimeLimits();
    constexpr uint32_t kSteps = DownloadThreadParam::kSpeedSteps;
    const uint32_t step = (limits.nLowSpeedMs + kSteps - 1) / kSteps;
    while (running.load() > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(limits.nWatchMs));
        const uint32_t now = SteadyMs();
        const bool stopped = Stopped();
        for (const auto& owned : records) {
            DownloadThreadParam* record = owned.get();
            std::lock_guard<std::mutex> lock(record->activeLock);
            if (record->pActive == nullptr)
                continue;
            const uint32_t id = record->nAttemptId.load();
            if (record->nSampledId != id) {
                record->nSampledId = id;
                record->nSampleCount = 0;
            }
            if (!stopped && !record->bSlow.load() && (record->nSampleCount == 0 || now - record->nSampleMs >= step)) {
                const int32_t bytes = record->nAttemptBytes.load();
                const int32_t back = record->samples[(record->nSampleCount + 1) % (kSteps + 1)];
                if (record->nSampleCount >= kSteps && bytes - back < limits.nLowSpeedBytes) {
                    LOG_INFO("ERR:[Thread][%d] %d bytes in %u ms: too slow, the attempt is abandoned",
                             record->nIndex, bytes - back, static_cast<unsigned>(limits.nLowSpeedMs));
                    record->bSlow = true;
                }
                record->samples[record->nSampleCount++ % (kSteps + 1)] = bytes;
                record->nSampleMs = now;
            }
            // Repeated on every tick until the worker lets go of the request;
            // the write lock keeps it off a write to the file.
            if (stopped || record->bSlow.load()) {
                std::lock_guard<std::mutex> write(*record->pWriteLock);
                record->pActive->Abort();
            }
        }
    }
}

void CHttpDownload::SetWaiting(DownloadThreadParam* record, bool waiting)
{
    if (record->bWaiting == waiting)
        return;
    record->bWaiting = waiting;
    std::lock_guard<std::mutex> lock(*record->pWriteLock);
    const int count = waiting ? ++nWaitingRanges : --nWaitingRanges;
    if (pParam->pMeter != nullptr)
        pParam->pMeter->SetWaiting(count > 0);
}

void CHttpDownload::DownloadThreadProc(DownloadThreadParam* record)
{
    unsigned long threadId = CurrentThreadIdForLog();
    const int32_t last = record->nStart + record->nLength - 1;
    wchar_t header[64] = {};
    FormatTextInto(header, 64, L"Range:bytes=%d-%d", record->nStart, last);
    LOG_INFO_W(L"[Thread][%d][%d][%ls] beging...", static_cast<int>(threadId), record->nIndex, header);
    // With a validator a retry asks only for what is missing, and If-Range
    // makes a server whose file has changed answer with all of it (200).
    const bool canResume = !strValidator.empty();
    const std::wstring ifRange = canResume ? L"\r\nIf-Range:" + Utf8ToWide(strValidator)
                                           : std::wstring();

    const NetTimeLimits& limits = CurrentNetTimeLimits();
    bool success = false;
    // The ranges go to the size query's final URL; when that fails for
    // good, one more attempt goes to the original URL (and its redirects).
    std::wstring url = strFinalUrl;
    bool backToOriginal = false;
    int idleAttempts = 0;    // attempts that brought no new byte: the retry budget
    int32_t reached = record->nWritten;   // the furthest any attempt got into the range
    unsigned outagePauseMs = limits.nOutagePauseMs;   // the next pause while there is no network
    for (int attempt = 0; !Stopped(); ++attempt) {
        int winHttpFails = nWinHttpFailCount.load();
        int internetFails = nInternetFailCount.load();
        int type;
        if (internetFails > winHttpFails)
            type = CBaseRequest::kTypeWinHttp;
        else if (internetFails < winHttpFails)
            type = CBaseRequest::kTypeInternet;
        else
            type = (attempt % 2 == 0) ? CBaseRequest::kTypeWinHttp : CBaseRequest::kTypeInternet;

        if (record->nWritten > 0) {
            FormatTextInto(header, 64, L"Range:bytes=%d-%d", record->nStart + record->nWritten, last);
            LOG_INFO_W(L"[Thread][%d][%d][%ls] beging...", static_cast<int>(threadId), record->nIndex, header);
        }
        unsigned pauseMs = nRetryPauseMs;
        bool outage = false;
        CAttemptCalls calls(fnCreateRequest(type));
        CBaseRequest* request = calls.Request();
        if (request == nullptr) {
            // Counts as an attempt, so a factory that never delivers cannot
            // keep the worker alive for ever.
            LOG_INFO("ERR:CBaseRequest::CreateInstance fail!");
        } else {
            request->nMaxConnsPerServer = 50;
            request->nConnectTimeoutMs = limits.nConnectMs;
            request->nTransferTimeoutMs = limits.nTransferMs;
            request->strHeaders = std::wstring(header) + ifRange;
            record->nAttemptBytes = 0;
            record->bSlow = false;
            ++record->nAttemptId;
            {
                std::lock_guard<std::mutex> lock(record->activeLock);
                record->pActive = request;
            }
            AttemptOutcome outcome = kAttemptRetry;
            if (request->Request(url)) {
                SetWaiting(record, false);
                outagePauseMs = limits.nOutagePauseMs;
                outcome = CheckRangeAnswer(request, record, pauseMs);
                if (outcome == kAttemptReadBody)
                    outcome = ReadUrlContent(calls, record) ? kAttemptDone : kAttemptRetry;
            } else if (request->NoConnection() && !record->bSlow.load() &&
                       SteadyMs() - nLastByteMs.load() < limits.nOutageMs) {
                // No network: waited out with a growing pause, for free.
                outage = true;
            }
            {
                std::lock_guard<std::mutex> lock(record->activeLock);
                record->pActive = nullptr;
            }
            if (outcome == kAttemptDone) {
                success = true;
                break;
            }
            if (outcome == kAttemptRestart) {
                bRestart = true;
                break;
            }
            // A disk that failed is not the stack's fault, and no retry helps.
            if (bDiskFailed.load() || Cancelled())
                break;
            if (outage) {
                LOG_INFO("[Thread][%d][%d][%s] no network (error %u): waiting %u ms", static_cast<int>(threadId),
                         record->nIndex, request->GetTypeName(), static_cast<unsigned>(request->nSendError),
                         outagePauseMs);
                pauseMs = outagePauseMs;
                outagePauseMs = outagePauseMs * 2 > limits.nOutagePauseCapMs ? limits.nOutagePauseCapMs
                                                                              : outagePauseMs * 2;
                SetWaiting(record, true);
            } else {
                std::atomic<int32_t>& counter =
                    (type == CBaseRequest::kTypeWinHttp) ? nWinHttpFailCount : nInternetFailCount;
                ++counter;
                if ((outcome == kAttemptGiveUp || idleAttempts >= kDownloadMaxAttempt) && !backToOriginal &&
                    url != pParam->strDownloadUrl && !ProxySignInRefused()) {
                    LOG_INFO("[Thread][%d][%d] the final URL failed, once more through the original URL",
                             static_cast<int>(threadId), record->nIndex);
                    url = pParam->strDownloadUrl;
                    backToOriginal = true;
                    idleAttempts = kDownloadMaxAttempt - 1;
                    outcome = kAttemptRetry;
                }
                if (outcome == kAttemptGiveUp) {
                    // The server's answer will not change: no further attempt,
                    // and the other ranges stop too, since the download has failed.
                    LOG_INFO("[Thread][%d][%d][%s] Request fail, no retry (WinHttp fail:%d, Internet fail:%d)",
                             static_cast<int>(threadId), record->nIndex, request->GetTypeName(),
                             nWinHttpFailCount.load(), nInternetFailCount.load());
                    bGiveUp = true;
                    break;
                }
                LOG_INFO("[Thread][%d][%d][%s] Request fail,  retry %d...(WinHttp fail:%d, Internet fail:%d)",
                         static_cast<int>(threadId), record->nIndex, request->GetTypeName(), attempt,
                         nWinHttpFailCount.load(), nInternetFailCount.load());
            }
            calls.End();
        }
        // An attempt that got further into the range than any before does
        // not use up the budget, and the next one follows soon; one that the
        // lowest speed ended keeps the short pause but costs an attempt.
        if (outage) {
            // free
        } else if (record->nWritten > reached) {
            reached = record->nWritten;
            pauseMs = nRetryPauseMs < kDownloadProgressPauseMs ? nRetryPauseMs : kDownloadProgressPauseMs;
            if (record->bSlow.load() && ++idleAttempts > kDownloadMaxAttempt)
                break;
        } else if (++idleAttempts > kDownloadMaxAttempt) {
            break;
        }
        if (!canResume && record->nWritten > 0)
            TakeBack(record);
        // The pause is cut short when the caller cancels or another range
        // has failed for good.
        auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(pauseMs);
        while (!Stopped() && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs < 20 ? pauseMs : 20));
    }
    SetWaiting(record, false);
    record->bSuccess = success;
    LOG_INFO_W(L"[Thread][%d][%d] SUCCCESS!", static_cast<int>(threadId), record->nIndex);
}

void CHttpDownload::TakeBack(DownloadThreadParam* record)
{
    // Without a validator a retry cannot tell whether the file is still the
    // same, so the range is fetched again from its start and its bytes no
    // longer count.
    std::lock_guard<std::mutex> lock(*record->pWriteLock);
    nDownloadedSize -= record->nWritten;
    record->nWritten = 0;
    if (pParam->pMeter != nullptr)
        pParam->pMeter->Update(nDownloadedSize);
}

CHttpDownload::AttemptOutcome CHttpDownload::CheckRangeAnswer(CBaseRequest* request, DownloadThreadParam* record,
                                                              unsigned& pauseMs)
{
    // The status and Content-Range decide before a byte of the body is
    // written: a body that merely has the right length may be an error page
    // or another part of the file.
    const char* type = request->GetTypeName();
    int status = 0;
    if (!request->GetStatusCode(&status))
        return kAttemptRetry;
    const int32_t first = record->nStart + record->nWritten;
    const int32_t last = record->nStart + record->nLength - 1;
    if (status == 206) {
        std::string text;
        HttpContentRange range;
        if (request->QueryHeader("Content-Range", text) && ParseContentRange(text, range) && range.nFirst == first &&
            range.nLast == last && range.nTotal == nFileSize)
            return kAttemptReadBody;
        LOG_INFO("ERR:[%s] status 206, Content-Range \"%s\" is not bytes %d-%d/%d", type, text.c_str(), first, last,
                 nFileSize);
        return kAttemptGiveUp;
    }
    if (status == 200) {
        // A 200 to If-Range with another validator: the file has changed.
        if (!strValidator.empty()) {
            std::string etag;
            std::string lastModified;
            request->QueryHeader("ETag", etag);
            request->QueryHeader("Last-Modified", lastModified);
            std::string now = ChooseIfRangeValidator(etag, lastModified);
            if (!now.empty() && now != strValidator) {
                LOG_INFO("ERR:[%s] status 200 to If-Range:%s, the file is now %s", type, strValidator.c_str(),
                         now.c_str());
                return kAttemptRestart;
            }
        }
        // A range resumed from an earlier call asked with If-Range for the
        // rest of the same file: all of it means the file is another now.
        if (bResume && record->nWritten > 0) {
            LOG_INFO("ERR:[%s] status 200 to a resumed range: the file changed, start over", type);
            return kAttemptRestart;
        }
        // Otherwise the whole file fits only a range that is the whole file;
        // what an earlier attempt wrote of it is written again.
        if (record->nStart == 0 && record->nLength == nFileSize) {
            if (record->nWritten > 0)
                TakeBack(record);
            return kAttemptReadBody;
        }
        LOG_INFO("ERR:[%s] status 200 to Range:bytes=%d-%d: the server ignores ranges", type, first, last);
        return kAttemptGiveUp;
    }
    LOG_INFO("ERR:[%s] status %d", type, status);
    if ((status == 503 || status == 429)) {
        std::string text;
        uint32_t delayMs = 0;
        if (request->QueryHeader("Retry-After", text) &&
            ParseRetryAfter(text, static_cast<int64_t>(time(nullptr)), kDownloadRetryAfterCapMs, delayMs)) {
            LOG_INFO("[Thread][%d][%d][%s] Retry-After: %s, wait %u ms", static_cast<int>(CurrentThreadIdForLog()),
                     record->nIndex, type, text.c_str(), delayMs);
            pauseMs = delayMs;
        }
    }
    return IsRetryableStatus(status) ? kAttemptRetry : kAttemptGiveUp;
}

bool CHttpDownload::WriteChunk(DownloadThreadParam* record, int32_t offset, const char* data, int size)
{
    FILE* file = record->pFile;
    if (std::fseek(file, static_cast<long>(offset), SEEK_SET) != 0)
        return false;
    if (std::fflush(file) != 0)
        return false;
    if (std::fwrite(data, 1, static_cast<size_t>(size), file) != static_cast<size_t>(size))
        return false;
    return std::fflush(file) == 0;
}

bool CHttpDownload::ReadUrlContent(CAttemptCalls& calls, DownloadThreadParam* record)
{
    // The body continues the range where the last attempt stopped; every
    // chunk is written and counted at once, so a cut keeps what arrived.
    // Each read runs on the attempt's helper: a read still blocked when the
    // download stops or the attempt is too slow is abandoned, and what it
    // brings later is thrown away.
    CBaseRequest* request = calls.Request();
    const int32_t want = record->nLength - record->nWritten;
    int32_t total = 0;     // bytes of this body received
    bool writeFailed = false;
    int n = 0;
    const char* buffer = nullptr;
    if (!Stopped() && !calls.Read(*this, record, n, buffer))
        n = 0;
    while (n > 0) {
        total += n;
        record->nAttemptBytes += n;
        nLastByteMs = SteadyMs();
        // A body longer than asked for must not overwrite the ranges after it.
        if (total > want)
            break;
        {
            std::lock_guard<std::mutex> lock(*record->pWriteLock);
            writeFailed = !WriteChunk(record, record->nStart + record->nWritten, buffer, n);
            if (!writeFailed) {
                record->nWritten += n;
                nDownloadedSize += n;
                if (pParam->pMeter != nullptr)
                    pParam->pMeter->Update(nDownloadedSize);
                Notify(kDownloadProgress, nDownloadedSize, nFileSize);
            }
        }
        if (writeFailed) {
            bDiskFailed = true;
            break;
        }
        if (AttemptOver(record) || !calls.Read(*this, record, n, buffer))
            n = 0;
    }
    if (!writeFailed && total == want)
        return true;
    if (writeFailed)
        LOG_INFO("ERR:[%s] write to file fail at %d", request->GetTypeName(), record->nStart + record->nWritten);
    LOG_INFO("ERR:[%s] download Fail ,dstSize: %d !=  downloadingSize: %d)", request->GetTypeName(), want, total);
    return false;
}
