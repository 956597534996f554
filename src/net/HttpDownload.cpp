#include "net/HttpDownload.h"

#include "logging/Assert.h"
#include "logging/FileSystem.h"
#include "logging/Log.h"
#include "logging/PathUtil.h"
#include "logging/TextEncoding.h"
#include "net/ProxySettings.h"
#include "net/ProxySignIn.h"
#include "net/RangeAttempt.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <mutex>
#include <system_error>
#include <thread>

std::atomic<int32_t> nWinHttpFailCount{0};
std::atomic<int32_t> nInternetFailCount{0};

// Kept alive by the engine and by every worker thread. A worker that comes
// back from a read after the round was closed finds bClosed here and ends
// without touching the engine, which may be gone.
struct CHttpDownload::Shared {
    std::mutex lock;                // the write lock: scheduler, gate, slots, file, progress, validator
    std::condition_variable wake;   // idle workers, the gate, pauses
    bool bClosed = false;           // the round is over
    int nRunning = 0;               // workers whose loop has not ended
    bool inRead[kDownloadMaxThreads] = {};   // per worker: inside HttpRead
    bool ended[kDownloadMaxThreads] = {};    // per worker: its loop has ended
};

// One worker's attempt as the watch sees it (write lock).
struct CHttpDownload::Slot {
    CBaseRequest* pActive = nullptr;   // cleared before the request is freed
    uint32_t nAttemptId = 0;
    int32_t nAttemptBytes = 0;
    bool bSlow = false;                // abandoned by the watch for its speed
    // The watch's samples of the attempt's bytes (watch only).
    static constexpr uint32_t kSpeedSteps = 30;
    int32_t samples[kSpeedSteps + 1] = {};
    uint32_t nSampleCount = 0;
    uint32_t nSampledId = 0;
    uint32_t nSampleMs = 0;
};

namespace {

bool StartStdThread(int /*index*/, std::function<void()> body, std::thread& thread)
{
    try {
        thread = std::thread(std::move(body));
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

CHttpDownload::~CHttpDownload() = default;

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
    return Cancelled() || bRestart.load() || bDiskFailed.load() || bEnding.load();
}

int CHttpDownload::Download()
{
    LOG_INFO("Download....");
    time_t begin = time(nullptr);
    Notify(kDownloadStart, 0, 0);
    BeginProxySignIn();
    int ret = DownloadImp();
    // A refused sign-in explains a failure, but not one of the disk.
    if (ret != kDownloadOk && ret != kDownloadBadParam && ret != kDownloadDiskFailed && ProxySignInRefused()) {
        LOG_INFO("ERR:the proxy needs a sign-in that was not given");
        ret = kDownloadProxySignIn;
    }
    if (pParam != nullptr && pParam->pUrlInUse != nullptr)
        *pParam->pUrlInUse = urls.empty() ? pParam->strDownloadUrl : urls[static_cast<size_t>(nUrlInUse)];
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
    // A cancel ends a slow configuration script's wait.
    SettleProxy(pParam->strDownloadUrl, ProxyCancel{&ProxyCancelFlag, pbCancel});
    if (Cancelled()) {
        // The choice was not kept: a request now would settle it again.
        LOG_INFO("ERR:cancelled while the proxy was settled");
        return kDownloadFailed;
    }
    urls.assign(1, pParam->strDownloadUrl);
    for (const std::wstring& mirror : pParam->mirrorUrls)
        if (!mirror.empty() && std::find(urls.begin(), urls.end(), mirror) == urls.end())
            urls.push_back(mirror);
    for (int round = 0;; ++round) {
        const int sized = GetDownloadFileSize();
        if (sized != kDownloadOk)
            return sized;
        Notify(kDownloadSize, nFileSize, 0);
        // What an earlier call left is resumed only for the same file: the
        // same size and the same validator as its first size query.
        const DownloadKept* kept = pParam->pKept;
        bResume = kept != nullptr && round == 0 && kept->nSize == nFileSize && !strValidator.empty() &&
                  kept->strValidator == strValidator;
        bool done = DownLoadContent();
        if (!done && bRestart.load() && !Cancelled() && !bDiskFailed.load() && round < kDownloadMaxRestarts) {
            // The file changed on the server while it was being fetched:
            // what was written belongs to the old version and goes.
            LOG_INFO("ERR:file changed on the server, download starts over (%d)", round + 1);
            bRestart = false;
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

int CHttpDownload::GetDownloadFileSize()
{
    // Down the list until a URL gives a size, the approved one when a size
    // was approved: a mirror with another size holds another file.
    LOG_INFO("GetDownloadFileSize....");
    nUrlInUse = 0;
    int result = kDownloadNoSize;
    for (size_t i = 0; i < urls.size(); ++i) {
        const std::wstring host = ProxyKeyOf(urls[i]);
        if (i > 0)
            LOG_INFO_W(L"GetDownloadFileSize: next host %ls", host.c_str());
        strValidator.clear();
        if (!QueryRemoteFileSize(fnCreateRequest, urls[i], nFileSize, &strValidator, &strFinalUrl,
                                 &strLastModified)) {
            LOG_INFO_W(L"ERR:GetDownloadFileSize fail! (%ls)", host.c_str());
            continue;
        }
        if (pParam->nApprovedSize >= 0 && nFileSize != pParam->nApprovedSize) {
            // Not a byte more than the free-space check saw: the attempt
            // fails as a changed file, and a new attempt checks afresh.
            LOG_INFO_W(L"ERR:%ls: the file is now %d bytes, the free-space check approved %d: it changed, "
                       L"nothing is downloaded from there", host.c_str(), nFileSize, pParam->nApprovedSize);
            result = kDownloadFailed;
            continue;
        }
        nUrlInUse = static_cast<int>(i);
        if (strFinalUrl != urls[i])
            LOG_INFO_W(L"GetDownloadFileSize: final host %ls", ProxyKeyOf(strFinalUrl).c_str());
        // The ranges go to the final URL; an interval that fails there for
        // good goes on from the URL itself, then from the later mirrors,
        // each asked for its size and version before its first interval.
        sources.clear();
        sources.push_back(Source{strFinalUrl, static_cast<int>(i), SourceState::kGood, strValidator});
        if (strFinalUrl != urls[i])
            sources.push_back(Source{urls[i], static_cast<int>(i), SourceState::kGood, strValidator});
        for (size_t j = i + 1; j < urls.size(); ++j)
            sources.push_back(Source{urls[j], static_cast<int>(j), SourceState::kUnchecked, std::string()});
        return kDownloadOk;
    }
    return result;
}

int CHttpDownload::LiveSources() const
{
    int live = 0;
    for (const Source& source : sources)
        live += source.eState != SourceState::kDropped;
    return live;
}

int CHttpDownload::NextSource(std::unique_lock<std::mutex>& lock, int from, bool wrap)
{
    const int count = static_cast<int>(sources.size());
    for (int step = 1; step < count; ++step) {
        const int k = from + step;
        if (k >= count && !wrap)
            break;
        Source& source = sources[static_cast<size_t>(k % count)];
        // Another worker asks this mirror now: its verdict is awaited.
        while (source.eState == SourceState::kChecking && !Stopped())
            pShared->wake.wait_for(lock, std::chrono::milliseconds(CurrentNetTimeLimits().nWatchMs));
        if (source.eState == SourceState::kUnchecked) {
            source.eState = SourceState::kChecking;
            const std::wstring url = source.strUrl;
            const std::wstring host = ProxyKeyOf(url);
            int32_t size = 0;
            std::string validator;
            std::string modified;
            lock.unlock();
            const bool sized = QueryRemoteFileSize(fnCreateRequest, url, size, &validator, nullptr, &modified);
            lock.lock();
            // A mirror holds the same file or is not used: the bytes of two
            // files (or versions) are never mixed.
            if (!sized) {
                LOG_INFO_W(L"ERR:mirror %ls gave no size: not used", host.c_str());
                source.eState = SourceState::kDropped;
            } else if (size != nFileSize) {
                LOG_INFO_W(L"ERR:mirror %ls has another file (%d bytes, this download %d): not used", host.c_str(),
                           size, nFileSize);
                source.eState = SourceState::kDropped;
            } else if (!strValidator.empty() && validator != strValidator &&
                       (modified.empty() || modified != strLastModified)) {
                LOG_INFO_W(L"ERR:mirror %ls has another version of the file (another validator and no same "
                           L"Last-Modified): not used", host.c_str());
                source.eState = SourceState::kDropped;
            } else {
                LOG_INFO_W(L"mirror %ls has the same file", host.c_str());
                source.eState = SourceState::kGood;
                source.strValidator = validator;
            }
            pShared->wake.notify_all();
        }
        if (source.eState == SourceState::kGood)
            return k % count;
    }
    return -1;
}

std::FILE* CHttpDownload::OpenTarget()
{
    // The kept bytes are resumed in place; a file that is gone starts from
    // nothing.
    if (bResume) {
        std::FILE* file = FsOpenFile(pParam->strSavePath, "r+b");
        if (file != nullptr)
            return file;
        LOG_INFO("ERR:the kept bytes cannot be resumed");
        bResume = false;
    }
    return FsOpenFile(pParam->strSavePath, "wb");
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

    pFile = OpenTarget();
    if (pFile == nullptr) {
        LOG_INFO_W(L"ERR:Open file fail! (%ls)", pParam->strSavePath.c_str());
        bDiskFailed = true;
        return false;
    }
    const NetTimeLimits& limits = CurrentNetTimeLimits();
    const uint32_t now = SteadyMs();
    scheduler.Start(nFileSize, count, bResume ? &pParam->pKept->done : nullptr, now, limits.scheduler);
    gate = CNetworkGate(now ^ static_cast<uint32_t>(reinterpret_cast<uintptr_t>(this)), limits.gate);
    slots.reset(new Slot[count]);
    nSlots = count;
    auto shared = std::make_shared<Shared>();
    pShared = shared;
    bEnding = false;
    nLastByteMs = now;
    nDownloadedSize = scheduler.Done();
    if (pParam->pMeter != nullptr)
        pParam->pMeter->Start(nFileSize, nDownloadedSize);
    if (nDownloadedSize > 0) {
        LOG_INFO("resuming with %d of %d bytes kept", nDownloadedSize, nFileSize);
        Notify(kDownloadProgress, nDownloadedSize, nFileSize);
    }

    std::unique_ptr<std::thread[]> threads(new std::thread[count]);
    bool allStarted = true;
    const int32_t seg = nFileSize / count;
    for (int i = 0; i < count; ++i) {
        {
            std::lock_guard<std::mutex> lock(shared->lock);
            ++shared->nRunning;
        }
        if (!fnStartThread(i, [this, shared, i] { Work(shared, i); }, threads[i])) {
            // Without this worker its range (and the later ones) cannot be
            // fetched: they fail for good, nobody takes them over, and the
            // download fails once the workers already running have ended.
            LOG_INFO("ERR:start download thread %d fail!", i);
            std::lock_guard<std::mutex> lock(shared->lock);
            --shared->nRunning;
            for (int j = i; j < count; ++j) {
                shared->ended[j] = true;
                scheduler.Fail(j);
            }
            allStarted = false;
            break;
        }
        const int32_t last = i == count - 1 ? nFileSize - 1 : (i + 1) * seg - 1;
        DebugTrace("[%d] %d ~ %d,length = %d\n", i, i * seg, last, last - i * seg + 1);
    }

    LOG_INFO("WaitForMultipleObjects...\n");
    WatchWorkers(shared);
    // Every worker has ended, or is blocked in a read and detached.
    int detached = 0;
    for (int i = 0; i < count; ++i) {
        if (!threads[i].joinable())
            continue;
        bool join;
        {
            std::lock_guard<std::mutex> lock(shared->lock);
            join = shared->ended[i];
        }
        if (join) {
            threads[i].join();
        } else {
            threads[i].detach();
            ++detached;
        }
    }
    LOG_INFO("WaitForMultipleObjects end! WaitRet=%d\n", 0);
    if (detached > 0)
        LOG_INFO("%d worker(s) left behind in a blocked read", detached);

    bool success = allStarted && scheduler.Complete() && !bDiskFailed.load();
    nDownloadedSize = scheduler.Done();
    if (std::fclose(pFile) != 0) {
        success = false;
        bDiskFailed = true;
    }
    pFile = nullptr;
    if (pParam->pMeter != nullptr)
        pParam->pMeter->SetWaiting(false);
    KeepProgress(success);
    slots.reset();
    nSlots = 0;
    pShared.reset();
    return success;
}

void CHttpDownload::KeepProgress(bool success)
{
    // Only a failed download of a file with a validator leaves something a
    // later call can safely resume.
    DownloadKept* kept = pParam->pKept;
    if (kept == nullptr)
        return;
    *kept = DownloadKept();
    if (success || strValidator.empty() || bRestart.load() || scheduler.Done() == 0)
        return;
    kept->nSize = nFileSize;
    kept->strValidator = strValidator;
    kept->done = scheduler.DoneSpans();
}

void CHttpDownload::WatchWorkers(const std::shared_ptr<Shared>& shared)
{
    // Each attempt's byte count is sampled kSpeedSteps times per window; an
    // attempt that brought fewer than the lowest speed's bytes since the
    // sample a window back is abandoned, and every attempt once the download
    // stops. Closing the request from here ends a read blocked on a silent
    // server (on Windows; under Wine the read stays blocked, and the worker
    // is left behind when nothing else is left).
    const NetTimeLimits& limits = CurrentNetTimeLimits();
    constexpr uint32_t kSteps = Slot::kSpeedSteps;
    const uint32_t step = (limits.nLowSpeedMs + kSteps - 1) / kSteps;
    std::unique_lock<std::mutex> lock(shared->lock);
    uint32_t lastTickMs = SteadyMs();
    for (;;) {
        // A tick, or sooner when a worker ends (the last one ends the round).
        shared->wake.wait_for(lock, std::chrono::milliseconds(limits.nWatchMs));
        const bool stopped = Stopped();
        int reading = 0;
        for (int i = 0; i < nSlots; ++i)
            reading += shared->inRead[i] && !shared->ended[i];
        if (shared->nRunning == 0 || ((stopped || scheduler.NothingLeft()) && reading == shared->nRunning)) {
            // The round ends here, in the same hold of the lock: a worker
            // still reading finds bClosed when its read returns.
            shared->bClosed = true;
            bEnding = true;
            for (int i = 0; i < nSlots; ++i)
                AbortSlot(i);
            shared->wake.notify_all();
            return;
        }
        const uint32_t now = SteadyMs();
        if (now - lastTickMs < limits.nWatchMs)
            continue;   // woken early: the samples keep their pace
        lastTickMs = now;
        if (pParam->pMeter != nullptr)
            pParam->pMeter->SetWaiting(gate.Closed());
        for (int i = 0; i < nSlots; ++i) {
            Slot* slot = &slots[i];
            if (slot->pActive == nullptr)
                continue;
            if (slot->nSampledId != slot->nAttemptId) {
                slot->nSampledId = slot->nAttemptId;
                slot->nSampleCount = 0;
            }
            if (!stopped && !slot->bSlow && (slot->nSampleCount == 0 || now - slot->nSampleMs >= step)) {
                const int32_t bytes = slot->nAttemptBytes;
                const int32_t back = slot->samples[(slot->nSampleCount + 1) % (kSteps + 1)];
                if (slot->nSampleCount >= kSteps && bytes - back < limits.nLowSpeedBytes) {
                    LOG_INFO("ERR:[Thread][%d] %d bytes in %u ms: too slow, the attempt is abandoned",
                             i, bytes - back,
                             static_cast<unsigned>(limits.nLowSpeedMs));
                    slot->bSlow = true;
                }
                slot->samples[slot->nSampleCount++ % (kSteps + 1)] = bytes;
                slot->nSampleMs = now;
            }
            // Repeated on every tick until the worker lets go of the request.
            if (stopped || slot->bSlow)
                slot->pActive->Abort();
        }
        if (stopped)
            shared->wake.notify_all();
    }
}

void CHttpDownload::AbortSlot(int index)
{
    Slot* slot = &slots[index];
    if (slot->pActive != nullptr)
        slot->pActive->Abort();
}

void CHttpDownload::SetWaiting(bool waiting)
{
    if (pParam->pMeter != nullptr)
        pParam->pMeter->SetWaiting(waiting);
}

bool CHttpDownload::PassGate(std::unique_lock<std::mutex>& lock, int index, bool& probe)
{
    // While there is no network the workers wait here; one goes as the probe.
    const uint32_t tick = CurrentNetTimeLimits().nWatchMs;
    for (;;) {
        if (Stopped())
            return false;
        uint32_t waitMs = 0;
        const CNetworkGate::Pass pass = gate.Enter(SteadyMs(), waitMs);
        if (pass != CNetworkGate::kWait) {
            probe = pass == CNetworkGate::kProbe;
            if (probe)
                LOG_INFO("[Thread][%d][%d] probing the network", static_cast<int>(CurrentThreadIdForLog()), index);
            return true;
        }
        pShared->wake.wait_for(lock, std::chrono::milliseconds(waitMs < tick ? waitMs : tick));
    }
}

void CHttpDownload::WaitAtGate(uint32_t now, uint32_t retryAfterMs, bool probe, int index, const char* stack,
                               int status, unsigned error)
{
    const int threadId = static_cast<int>(CurrentThreadIdForLog());
    const uint32_t wait = gate.NoNetwork(now, nLastByteMs.load(), retryAfterMs, probe);
    SetWaiting(true);
    if (status != 0)
        LOG_INFO("[Thread][%d][%d][%s] no network (status %d): waiting %u ms", threadId, index, stack, status, wait);
    else
        LOG_INFO("[Thread][%d][%d][%s] no network (error %u): waiting %u ms", threadId, index, stack, error, wait);
}

void CHttpDownload::MoveToSource(int index, int from, int next, const wchar_t* why)
{
    const int threadId = static_cast<int>(CurrentThreadIdForLog());
    const Source& was = sources[static_cast<size_t>(from)];
    const Source& now = sources[static_cast<size_t>(next)];
    if (now.nUrl == was.nUrl)
        LOG_INFO("[Thread][%d][%d] the final URL failed, once more through the original URL", threadId, index);
    else
        LOG_INFO_W(L"[Thread][%d][%d] %ls at %ls: bytes %d-%d go on from %ls", threadId, index, why,
                   ProxyKeyOf(was.strUrl).c_str(), scheduler.Position(index),
                   scheduler.Position(index) + scheduler.Left(index) - 1, ProxyKeyOf(now.strUrl).c_str());
    scheduler.Move(index, next);
    nUrlInUse = now.nUrl;
}

void CHttpDownload::BecomeSingle(int index, const std::string& validator, const char* stack)
{
    LOG_INFO("[Thread][%d][%d][%s] status 200 with the whole file (%d bytes): one stream from byte 0, the other "
             "workers stop, %d bytes written before are dropped",
             static_cast<int>(CurrentThreadIdForLog()), index, stack, nFileSize, scheduler.Done());
    const bool hadBytes = scheduler.Done() > 0;
    scheduler.Single(index, SteadyMs());
    // The version now being written is the stream's.
    if (!validator.empty())
        strValidator = validator;
    for (int j = 0; j < nSlots; ++j)
        if (j != index)
            AbortSlot(j);
    nDownloadedSize = 0;
    if (pParam->pMeter != nullptr)
        pParam->pMeter->Update(0);
    if (hadBytes)
        Notify(kDownloadProgress, 0, nFileSize);
}

bool CHttpDownload::WriteChunk(int32_t offset, const char* data, int32_t size)
{
    if (std::fseek(pFile, static_cast<long>(offset), SEEK_SET) != 0)
        return false;
    if (std::fflush(pFile) != 0)
        return false;
    if (std::fwrite(data, 1, static_cast<size_t>(size), pFile) != static_cast<size_t>(size))
        return false;
    return std::fflush(pFile) == 0;
}

CHttpDownload::BodyEnd CHttpDownload::ReadBody(const std::shared_ptr<Shared>& shared, int index,
                                               CBaseRequest& request, char* buffer, int32_t offset)
{
    // Reads never ask for more than the interval still holds, so the worker
    // stops at its end, even when a take-over moved the end meanwhile; what
    // arrives past the end all the same is not written. Every chunk is
    // written and counted at once, so a cut keeps what arrived.
    Slot* slot = &slots[index];
    int32_t at = offset;
    std::unique_lock<std::mutex> lock(shared->lock);
    for (;;) {
        if (Stopped() || slot->bSlow)
            return BodyEnd::kCut;
        const int32_t room = scheduler.Writable(index, at, kDownloadBufferSize);
        if (room == 0)
            return scheduler.Left(index) == 0 ? BodyEnd::kDone : BodyEnd::kCut;
        shared->inRead[index] = true;
        lock.unlock();
        const int n = request.HttpRead(buffer, room);
        lock.lock();
        shared->inRead[index] = false;
        if (shared->bClosed)
            return BodyEnd::kGone;   // the engine may be gone: touch nothing of it
        if (n <= 0)
            return scheduler.Left(index) == 0 ? BodyEnd::kDone : BodyEnd::kCut;
        const uint32_t now = SteadyMs();
        nLastByteMs = now;
        slot->nAttemptBytes += n;
        const int32_t allowed = scheduler.Writable(index, at, n);
        if (allowed > 0) {
            if (!WriteChunk(at, buffer, allowed)) {
                LOG_INFO("ERR:[%s] write to file fail at %d", request.GetTypeName(), at);
                bDiskFailed = true;
                return BodyEnd::kDisk;
            }
            scheduler.Commit(index, allowed, now);
            nDownloadedSize = scheduler.Done();
            if (pParam->pMeter != nullptr)
                pParam->pMeter->Update(nDownloadedSize);
#ifdef PW_TEST_HOOKS
            if (fnOnWrite)
                fnOnWrite(at, allowed);
#endif
            Notify(kDownloadProgress, nDownloadedSize, nFileSize);
        }
        at += n;
        if (allowed < n)
            return scheduler.Left(index) == 0 ? BodyEnd::kDone : BodyEnd::kCut;
    }
}

void CHttpDownload::Work(const std::shared_ptr<Shared>& shared, int index)
{
    const int threadId = static_cast<int>(CurrentThreadIdForLog());
    const NetTimeLimits& limits = CurrentNetTimeLimits();
    const std::chrono::milliseconds tick(limits.nWatchMs);
    // Not zero-filled: only the pages the reads reach take memory.
    std::unique_ptr<char[]> buffer(new char[kDownloadBufferSize]);
    Slot* slot = &slots[index];
    int idle = 0;                // attempts on this interval that brought no new byte: the budget
    int32_t reached = -1;        // the furthest any attempt got into the interval (-1: none yet)
    bool otherStack = false;     // a 407: the next attempt goes over the other stack
    bool triedOther = false;
    int lastType = -1;
    std::wstring logged;         // the Range header logged last
    int hops = 0;                // sources found without network since the last answer or the gate's opening
    uint32_t gateOpens = 0;
    std::unique_lock<std::mutex> lock(shared->lock);
    for (int attempt = 0;; ++attempt) {
        // An interval: the worker's own, a free one or a take-over.
        CRangeScheduler::Grant grant;
        bool have = false;
        while (!Stopped()) {
            if (scheduler.Next(index, SteadyMs(), !gate.Closed(), grant)) {
                have = true;
                break;
            }
            if (scheduler.NothingLeft())
                break;
            shared->wake.wait_for(lock, tick);
        }
        if (!have)
            break;
        if (grant.bNew || reached < 0) {
            idle = 0;
            reached = grant.nFirst;
            triedOther = false;
            if (grant.nFrom >= 0) {
                LOG_INFO("[Thread][%d][%d] took bytes %d-%d from worker %d%s", threadId, index, grant.nFirst,
                         grant.nEnd - 1, grant.nFrom, grant.bStalled ? " (stalled)" : "");
                // A worker left with nothing stops now; one with a part left
                // stops at its new end.
                if (scheduler.Left(grant.nFrom) == 0)
                    AbortSlot(grant.nFrom);
            }
        }
        bool probe = false;
        if (!PassGate(lock, index, probe))
            break;
        // The interval may have moved while the worker waited.
        if (!scheduler.Next(index, SteadyMs(), false, grant)) {
            if (probe)
                gate.ProbeDropped();
            continue;
        }
        const RangeAsk ask{grant.nFirst, grant.nEnd - 1, nFileSize,
                           sources[static_cast<size_t>(grant.nSource)].strValidator};
        const std::wstring range = RangeHeaders(ask.nFirst, ask.nLast, std::string());
        if (range != logged) {
            LOG_INFO_W(L"[Thread][%d][%d][%ls] beging...", threadId, index, range.c_str());
            logged = range;
        }
        const int type = ChooseStack(attempt, lastType, otherStack);
        lastType = type;
        otherStack = false;
        lock.unlock();
        std::unique_ptr<CBaseRequest> request(fnCreateRequest(type));
        lock.lock();
        RangeVerdict verdict;
        bool freeOutage = false;
        bool hop = false;            // no network here: the next host
        int noNetStatus = 0;
        unsigned noNetError = 0;
        bool slow = false;
        const char* stack = "";   // the stack's name (a static text)
        if (!request) {
            // Counts as an attempt, so a factory that never delivers cannot
            // keep the worker alive for ever.
            LOG_INFO("ERR:CBaseRequest::CreateInstance fail!");
            if (probe)
                gate.ProbeDropped();
        } else {
            stack = request->GetTypeName();
            request->nMaxConnsPerServer = 50;
            request->nConnectTimeoutMs = limits.nConnectMs;
            request->nTransferTimeoutMs = limits.nTransferMs;
            request->strHeaders = RangeHeaders(ask.nFirst, ask.nLast, ask.strValidator);
            slot->pActive = request.get();
            ++slot->nAttemptId;
            slot->nAttemptBytes = 0;
            slot->bSlow = false;
            BodyEnd end = BodyEnd::kCut;
            if (!Stopped()) {
                const std::wstring url = sources[static_cast<size_t>(grant.nSource)].strUrl;
                lock.unlock();
                const bool answered = request->Request(url);
                verdict = JudgeRangeAnswer(*request, answered, ask);
                lock.lock();
                const uint32_t now = SteadyMs();
                const bool outage = verdict.eAnswer == RangeAnswer::kNoNetwork && !request->bAborted;
                if (gateOpens != nGateOpens || (answered && !outage)) {
                    gateOpens = nGateOpens;
                    hops = 0;
                }
                noNetStatus = verdict.nStatus;
                noNetError = static_cast<unsigned>(request->nSendError);
                // No network at this host while there are others: the
                // interval goes on from the next one. Only a worker that
                // found none of them answering waits at the gate.
                hop = outage && !slot->bSlow && LiveSources() > 1;
                const bool roundDone = !hop || hops + 1 >= LiveSources();
                if (hop)
                    ++hops;
                if (outage && !slot->bSlow && roundDone && now - nLastByteMs.load() < limits.nOutageMs) {
                    // No network: waited out at the gate, for free.
                    freeOutage = true;
                    WaitAtGate(now, verdict.nRetryAfterMs, probe, index, stack, noNetStatus, noNetError);
                } else if ((answered && !outage) || (outage && roundDone)) {
                    // An answer, or an outage no longer waited out: every
                    // waiting worker goes at once.
                    if (gate.Open()) {
                        ++nGateOpens;
                        scheduler.Resume(now);
                        SetWaiting(false);
                        shared->wake.notify_all();
                    }
                } else if (probe) {
                    gate.ProbeDropped();
                }
                int32_t from = ask.nFirst;
                // Another worker's stream already has the whole file: this
                // worker has nothing left, and its answer goes.
                if (verdict.eAnswer == RangeAnswer::kWholeFile && !Stopped() &&
                    (!scheduler.IsSingle() || scheduler.Left(index) > 0)) {
                    if (!scheduler.IsSingle())
                        reached = 0;
                    BecomeSingle(index, verdict.strValidator, stack);
                    if (!verdict.strValidator.empty())
                        sources[static_cast<size_t>(grant.nSource)].strValidator = verdict.strValidator;
                    verdict.eAnswer = RangeAnswer::kBody;
                    from = 0;
                }
                if (verdict.eAnswer == RangeAnswer::kBody && !Stopped()) {
                    lock.unlock();
                    end = ReadBody(shared, index, *request, buffer.get(), from);
                    if (end == BodyEnd::kGone) {
                        // The round is over and the engine may be gone.
                        request.reset();
                        std::lock_guard<std::mutex> last(shared->lock);
                        --shared->nRunning;
                        return;
                    }
                    lock.lock();
                }
                if (verdict.eAnswer == RangeAnswer::kChanged) {
                    Source& source = sources[static_cast<size_t>(grant.nSource)];
                    if (source.nUrl == sources.front().nUrl) {
                        bRestart = true;
                    } else {
                        // A mirror that now serves another version is not
                        // used any more; the download's version goes on
                        // from the next source.
                        if (source.eState != SourceState::kDropped)
                            LOG_INFO_W(L"ERR:mirror %ls answered with another version of the file: not used",
                                       ProxyKeyOf(source.strUrl).c_str());
                        source.eState = SourceState::kDropped;
                        verdict.eAnswer = RangeAnswer::kGiveUp;
                    }
                }
            }
            slow = slot->bSlow;
            slot->pActive = nullptr;
            lock.unlock();
            request.reset();
            lock.lock();
        }
        if (Stopped())
            break;
        // The interval is done, or was taken over while the attempt ran.
        if (scheduler.Left(index) == 0)
            continue;
        if (hop) {
            const int from = grant.nSource;
            const int next = NextSource(lock, from, true);
            if (Stopped())
                break;
            if (next >= 0 && scheduler.Left(index) > 0) {
                MoveToSource(index, from, next, L"no network");
                if (!freeOutage)
                    continue;   // no cost: the next host is asked at once
            } else if (!freeOutage && SteadyMs() - nLastByteMs.load() < limits.nOutageMs) {
                // The other hosts are not used after all: the gate as for one.
                freeOutage = true;
                WaitAtGate(SteadyMs(), verdict.nRetryAfterMs, false, index, stack, noNetStatus, noNetError);
            }
        }
        if (freeOutage)
            continue;   // the gate holds the next attempt
        const int32_t position = scheduler.Position(index);
        const bool progress = position > reached;
        if (progress)
            reached = position;
        unsigned pauseMs = nRetryPauseMs;
        if (*stack != 0) {
            std::atomic<int32_t>& counter = type == CBaseRequest::kTypeWinHttp ? nWinHttpFailCount : nInternetFailCount;
            ++counter;
        }
        bool giveUp = verdict.eAnswer == RangeAnswer::kGiveUp;
        if (verdict.eAnswer == RangeAnswer::kProxy) {
            // A 407 this stack could not answer: the other stack tries first,
            // unless the user refused the sign-in.
            if (!triedOther && !ProxySignInRefused()) {
                triedOther = true;
                otherStack = true;
            } else {
                giveUp = true;
            }
        }
        // An attempt that got further into the interval than any before does
        // not use up the budget, and the next one follows soon; one that the
        // lowest speed ended keeps the short pause but costs an attempt.
        if (progress) {
            pauseMs = nRetryPauseMs < kDownloadProgressPauseMs ? nRetryPauseMs : kDownloadProgressPauseMs;
            if (slow)
                ++idle;
        } else {
            ++idle;
            scheduler.SetFailing(index, true);
        }
        if (verdict.nRetryAfterMs != 0)
            pauseMs = verdict.nRetryAfterMs;
        if (giveUp)
            LOG_INFO("[Thread][%d][%d][%s] Request fail, no retry (WinHttp fail:%d, Internet fail:%d)", threadId,
                     index, stack, nWinHttpFailCount.load(), nInternetFailCount.load());
        else
            LOG_INFO("[Thread][%d][%d][%s] Request fail,  retry %d...(WinHttp fail:%d, Internet fail:%d)", threadId,
                     index, stack, attempt, nWinHttpFailCount.load(), nInternetFailCount.load());
        if (giveUp || idle > kDownloadMaxAttempt) {
            const int from = grant.nSource;
            const int next = ProxySignInRefused() ? -1 : NextSource(lock, from, false);
            if (Stopped())
                break;
            if (next >= 0) {
                // A fresh budget from the next source: the original URL
                // (and its redirects) after its final URL, then the mirrors.
                MoveToSource(index, from, next, L"failed");
                idle = 0;
                triedOther = false;
            } else {
                // The server's answer will not change, or the budget is
                // spent: the rest of the interval fails for good; the other
                // workers finish what they can.
                LOG_INFO("[Thread][%d][%d] bytes %d-%d failed for good", threadId, index,
                         scheduler.Position(index), scheduler.Position(index) + scheduler.Left(index) - 1);
                scheduler.Fail(index);
                continue;
            }
        }
        if (strValidator.empty()) {
            // Without a validator a retry cannot tell whether the file is
            // still the same: the interval starts again, its bytes uncounted.
            scheduler.TakeBack(index);
            nDownloadedSize = scheduler.Done();
            if (pParam->pMeter != nullptr)
                pParam->pMeter->Update(nDownloadedSize);
        }
        // The pause ends early when the download stops.
        shared->wake.wait_for(lock, std::chrono::milliseconds(pauseMs), [this] { return Stopped(); });
    }
    LOG_INFO_W(L"[Thread][%d][%d] SUCCCESS!", threadId, index);
    shared->ended[index] = true;
    --shared->nRunning;
    shared->wake.notify_all();
}
