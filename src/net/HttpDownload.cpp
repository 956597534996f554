#include "net/HttpDownload.h"

#include "logging/Assert.h"
#include "logging/FileSystem.h"
#include "logging/Log.h"
#include "logging/PathUtil.h"
#include "net/HttpHeader.h"

#include <chrono>
#include <ctime>
#include <cwchar>
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

} // namespace

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
    return Cancelled() || bGiveUp.load();
}

int CHttpDownload::Download()
{
    LOG_INFO("Download....");
    time_t begin = time(nullptr);
    Notify(kDownloadStart, 0, 0);
    int ret = DownloadImp();
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
    if (!GetDownloadFileSize()) {
        LOG_INFO("ERR:GetDownloadFileSize fail!");
        return kDownloadNoSize;
    }
    Notify(kDownloadSize, nFileSize, 0);
    if (!DownLoadContent()) {
        LOG_INFO("ERR:DownLoadContent fail!");
        return kDownloadFailed;
    }
    return kDownloadOk;
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

bool QueryRemoteFileSize(const CHttpDownload::RequestFactory& factory, const std::wstring& url, int32_t& size)
{
    // WinHTTP answers a HEAD; WinINet is asked with a GET whose body is
    // abandoned with the object. Only a success status with a length of at
    // least one byte is a size: an error page's length is not the file's.
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
        if (!IsSuccessStatus(status)) {
            LOG_INFO("ERR:[%s] GetUrlFileSize: status %d", request->GetTypeName(), status);
            continue;
        }
        int value = 0;
        if (!request->GetUrlFileSize(&value) || value < 1) {
            LOG_INFO("ERR:[%s] GetUrlFileSize: no usable Content-Length (status %d)", request->GetTypeName(), status);
            continue;
        }
        size = value;
        return true;
    }
    return false;
}

int32_t GetRemoteFileSize(const std::wstring& url)
{
    int32_t size = 0;
    if (!QueryRemoteFileSize(&CBaseRequest::CreateInstance, url, size))
        return 0;
    return size;
}

bool CHttpDownload::GetDownloadFileSize()
{
    LOG_INFO("GetDownloadFileSize....");
    return QueryRemoteFileSize(fnCreateRequest, pParam->strDownloadUrl, nFileSize);
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

    FILE* file = FsOpenFile(pParam->strSavePath, "wb");
    if (file == nullptr) {
        LOG_INFO_W(L"ERR:Open file fail! (%ls)", pParam->strSavePath.c_str());
        return false;
    }
    std::mutex writeLock;

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
        DownloadThreadParam* raw = record.get();
        records.push_back(std::move(record));
        std::function<void()> join;
        if (!fnStartThread(i, [this, raw] { DownloadThreadProc(raw); }, join)) {
            // Without this worker its range stays empty: the download fails,
            // but only after the workers already running have ended.
            LOG_INFO("ERR:start download thread %d fail!", i);
            allStarted = false;
            break;
        }
        joiners.push_back(std::move(join));
        DebugTrace("[%d] %d ~ %d,length = %d\n", i, raw->nStart, raw->nStart + raw->nLength - 1, raw->nLength);
    }

    LOG_INFO("WaitForMultipleObjects...\n");
    for (auto& join : joiners)
        join();
    LOG_INFO("WaitForMultipleObjects end! WaitRet=%d\n", 0);

    bool success = allStarted;
    for (const auto& record : records)
        success = success && record->bSuccess;
    records.clear();
    if (std::fclose(file) != 0)
        success = false;
    return success;
}

void CHttpDownload::DownloadThreadProc(DownloadThreadParam* record)
{
    unsigned long threadId = CurrentThreadIdForLog();
    wchar_t header[64] = {};
    std::swprintf(header, 64, L"Range:bytes=%d-%d", record->nStart, record->nStart + record->nLength - 1);
    LOG_INFO_W(L"[Thread][%d][%d][%ls] beging...", static_cast<int>(threadId), record->nIndex, header);

    bool success = false;
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

        std::unique_ptr<CBaseRequest> request(fnCreateRequest(type));
        if (!request) {
            // Counts as an attempt, so a factory that never delivers cannot
            // keep the worker alive for ever.
            LOG_INFO("ERR:CBaseRequest::CreateInstance fail!");
        } else {
            request->nMaxConnsPerServer = 50;
            request->strHeaders = header;
            AttemptOutcome outcome = kAttemptRetry;
            if (request->Request(pParam->strDownloadUrl)) {
                outcome = CheckRangeAnswer(request.get(), record);
                if (outcome == kAttemptReadBody)
                    outcome = ReadUrlContent(request.get(), record) ? kAttemptDone : kAttemptRetry;
            }
            if (outcome == kAttemptDone) {
                success = true;
                break;
            }
            std::atomic<int32_t>& counter = (type == CBaseRequest::kTypeWinHttp) ? nWinHttpFailCount : nInternetFailCount;
            ++counter;
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
            request.reset();
        }
        if (attempt >= kDownloadMaxAttempt)
            break;
        // The pause is cut short when the caller cancels or another range
        // has failed for good.
        auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(nRetryPauseMs);
        while (!Stopped() && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(nRetryPauseMs < 20 ? nRetryPauseMs : 20));
    }
    record->bSuccess = success;
    LOG_INFO_W(L"[Thread][%d][%d] SUCCCESS!", static_cast<int>(threadId), record->nIndex);
}

CHttpDownload::AttemptOutcome CHttpDownload::CheckRangeAnswer(CBaseRequest* request, DownloadThreadParam* record)
{
    // The status and Content-Range decide before a byte of the body is
    // written: a body that merely has the right length may be an error page
    // or another part of the file.
    const char* type = request->GetTypeName();
    int status = 0;
    if (!request->GetStatusCode(&status))
        return kAttemptRetry;
    const int32_t first = record->nStart;
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
        // A whole-file answer fits only a range that is the whole file.
        if (record->nStart == 0 && record->nLength == nFileSize)
            return kAttemptReadBody;
        LOG_INFO("ERR:[%s] status 200 to Range:bytes=%d-%d: the server ignores ranges", type, first, last);
        return kAttemptGiveUp;
    }
    LOG_INFO("ERR:[%s] status %d", type, status);
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

bool CHttpDownload::ReadUrlContent(CBaseRequest* request, DownloadThreadParam* record)
{
    std::vector<char> buffer(kDownloadBufferSize);
    int32_t total = 0;     // bytes received
    int32_t written = 0;   // bytes written and counted
    bool writeFailed = false;
    int n = Stopped() ? 0 : request->HttpRead(buffer.data(), kDownloadBufferSize);
    while (n > 0) {
        total += n;
        // A body longer than its range (a server that ignored the Range
        // header) must not overwrite the ranges after it.
        if (total > record->nLength)
            break;
        {
            std::lock_guard<std::mutex> lock(*record->pWriteLock);
            writeFailed = !WriteChunk(record, record->nStart + written, buffer.data(), n);
            if (!writeFailed) {
                nDownloadedSize += n;
                Notify(kDownloadProgress, nDownloadedSize, nFileSize);
            }
        }
        if (writeFailed)
            break;
        written += n;
        n = Stopped() ? 0 : request->HttpRead(buffer.data(), kDownloadBufferSize);
    }
    if (!writeFailed && total == record->nLength)
        return true;

    // Take back what this attempt counted; the next attempt fetches the
    // whole range again and overwrites it.
    if (writeFailed)
        LOG_INFO("ERR:[%s] write to file fail at %d", request->GetTypeName(), record->nStart + written);
    {
        std::lock_guard<std::mutex> lock(*record->pWriteLock);
        nDownloadedSize -= written;
    }
    LOG_INFO("ERR:[%s] download Fail ,dstSize: %d !=  downloadingSize: %d)", request->GetTypeName(), record->nLength,
             total);
    return false;
}
