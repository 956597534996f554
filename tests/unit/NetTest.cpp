// The portable part of the network module: URL and port handling, the
// request's secure-then-plain order, and the download engine's division,
// retries, back-end choice and byte accounting, driven by a scripted fake
// back-end instead of a network.
#include "net/BaseRequest.h"
#include "net/HttpBeacon.h"
#include "net/HttpDownload.h"
#include "net/HttpHeader.h"
#include "net/NetworkGate.h"
#include "net/ProxySettings.h"
#include "net/ProxySignIn.h"
#include "net/SharedAnswer.h"
#include "net/Url.h"

#include "common/NetTestSupport.h"
#include "common/TestSupport.h"
#include "logging/Assert.h"
#include "logging/Log.h"
#include "logging/PathUtil.h"
#include "logging/SecretText.h"
#include "logging/TextEncoding.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <chrono>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <mutex>
#include <memory>
#include <sstream>
#include <new>
#include <thread>

using testsupport::DescribeEvents;
using testsupport::Event;
using testsupport::EventLog;
using testsupport::LogTail;
using testsupport::MakeTempDir;
using testsupport::RecordEvent;
using testsupport::ReadFileBytes;
using testsupport::RemoveTree;

namespace {

// ---------------------------------------------------------------------------
// A scripted server shared by all fake request objects of one test.

struct FakeCall {
    int type;
    bool secure;
    std::wstring server;
    int port;
    std::wstring object;
    std::wstring method;
    std::wstring headers;
};

// What one host of the fake server does differently (mirrors).
struct FakeHost {
    bool down = false;              // every request finds no network (refused)
    int status = 0;                 // when set, every request (rangeOnly: every range request) gets it
    bool rangeOnly = false;
    std::string content;            // when set, another file
    std::string etag;               // when set, another ETag
    std::string rangeEtag;          // when set, its 206 answers carry this ETag
    int64_t dieAfter = -1;          // once this host sent that many body bytes, it is down
    int64_t sent = 0;               // body bytes this host sent (server lock)
};

struct FakeServer {
    std::mutex lock;
    std::map<std::wstring, FakeHost> hosts;   // by server name
    std::string content;
    bool winHttpDown = false;       // every WinHTTP exchange fails at SendRequest
    bool internetDown = false;
    bool secureDown = false;        // the secure attempt fails at ConnectSession
    bool sizeKnown = true;          // responses carry a Content-Length
    int headStatus = 0;             // when set, every HEAD gets this status
    std::wstring redirectTo;        // when set, files.example answers 302 to it
    int cdnRangeStatus = 0;         // when set, range requests to cdn.example get it
    bool ignoreRange = false;       // the whole file answers every request (200)
    int status = 0;                 // when set, every request gets this status and a small page
    int rangeStatus = 0;            // when set, every range request gets this status
    bool wrongContentRange = false; // a 206 names a range one byte further on
    int failFirstPerRange = 0;      // that many answers per range break off mid-body
    int cutAfter = 0;               // every body breaks off after that many bytes
    std::string etag;               // ETag of the file; If-Range with another one gets a 200
    std::string lastModified;
    // The file is replaced when this many range requests have been answered.
    int replaceAfter = -1;
    std::string newContent;
    std::string newEtag;
    int rangeRequests = 0;
    std::atomic<int64_t> bodyBytes{0};   // body bytes handed out
    int chunk = 40000;              // bytes per HttpRead
    int readDelayMs = 0;            // each HttpRead waits this long first (an Abort ends it with -1)
    bool abortIgnored = false;      // ...unless set: then only release ends the wait, as under Wine
    std::atomic<bool> release{false};
    std::atomic<int> created{0};    // request objects made and freed (on whichever thread)
    std::atomic<int> freed{0};
    int downRequests = 0;           // that many range requests find no network...
    uint32_t downError = 12029;     // ...failing with this error (12029: refused)...
    int downStatus = 0;             // ...or, when set, answered with this status
    int failAt = -1;                // range requests covering this byte get failStatus
    int failStatus = 404;
    std::string rangeEtag;          // 206 answers carry this ETag, whatever If-Range says
    int proxyTypes = 0;             // range requests over these stacks (bit 1 << type) get a 407
    bool refuseSignIn = false;      // the first request asks for a sign-in nobody gives
    uint32_t chaosSeed = 0;         // ranged answers get random speeds, stalls and cuts...
    bool chaosIgnoresAbort = false; // ...and a stalled read ends only after its time, as under Wine
    CDownloadMeter* meter = nullptr;
    std::vector<bool> waitingSeen;  // the meter's waiting flag at each range request
    std::map<std::wstring, int> rangeHits;
    std::vector<FakeCall> calls;    // completed SendRequest calls

    std::vector<FakeCall> Calls()
    {
        std::lock_guard<std::mutex> guard(lock);
        return calls;
    }
};

class CFakeRequest : public CBaseRequest {
public:
    CFakeRequest(FakeServer* server, int type) : pServer(server), nType(type) { ++pServer->created; }
    ~CFakeRequest() override
    {
        ++nDestroyed;
        ++pServer->freed;
    }

    const char* GetTypeName() override { return nType == kTypeWinHttp ? "WinHttp" : "Internet"; }

    bool GetUrlFileSize(int* size) override
    {
        if (!bSent || !pServer->sizeKnown)
            return false;
        *size = static_cast<int>(strBody.size());
        return true;
    }

    bool GetStatusCode(int* status) override
    {
        if (!bSent)
            return false;
        *status = nStatus;
        return true;
    }

    bool QueryHeader(const char* name, std::string& value) override
    {
        auto it = headers.find(name);
        if (!bSent || it == headers.end())
            return false;
        value = it->second;
        return true;
    }

    int HttpRead(void* buffer, int capacity) override
    {
        if (strMethod == L"HEAD")
            return 0;
        for (int waited = 0; waited < pServer->readDelayMs && !(pServer->abortIgnored ? pServer->release.load()
                                                                                       : bAborted.load());
             waited += 5)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (nDelayMs > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(nDelayMs));
        // A stall holds the read for up to 400 ms, or until the abort.
        if (nStallAt >= 0 && nOffset >= static_cast<size_t>(nStallAt)) {
            nStallAt = -1;
            for (int waited = 0; waited < 400 && (pServer->chaosIgnoresAbort || !bAborted.load()); waited += 2)
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        if (bAborted || (nCutAt >= 0 && nOffset >= static_cast<size_t>(nCutAt)))
            return -1;
        FakeHost* host = nullptr;
        if (pServer->hosts.count(strServerName) != 0) {
            host = &pServer->hosts[strServerName];
            std::lock_guard<std::mutex> guard(pServer->lock);
            if (host->dieAfter >= 0 && host->sent >= host->dieAfter)
                return -1;
        }
        size_t left = strBody.size() - nOffset;
        size_t n = std::min({left, static_cast<size_t>(capacity),
                             static_cast<size_t>(nChunk > 0 ? nChunk : pServer->chunk)});
        if (nCutAt >= 0)
            n = std::min(n, static_cast<size_t>(nCutAt) - nOffset);
        std::copy(strBody.begin() + nOffset, strBody.begin() + nOffset + n, static_cast<char*>(buffer));
        nOffset += n;
        pServer->bodyBytes += static_cast<int64_t>(n);
        if (host != nullptr) {
            std::lock_guard<std::mutex> guard(pServer->lock);
            host->sent += static_cast<int64_t>(n);
        }
        return static_cast<int>(n);
    }

    bool OpenSession() override { return true; }
    bool ConnectSession(bool secure) override
    {
        bSecure = secure;
        return !(secure && pServer->secureDown);
    }
    bool OpenRequest(bool) override { return true; }

    bool SendRequest() override
    {
        std::lock_guard<std::mutex> guard(pServer->lock);
        pServer->calls.push_back({nType, bSecure, strServerName, nServerPort, strObjectName, strMethod, strHeaders});
        if ((nType == kTypeWinHttp && pServer->winHttpDown) || (nType == kTypeInternet && pServer->internetDown))
            return false;
        if (pServer->meter != nullptr && !strHeaders.empty())
            pServer->waitingSeen.push_back(pServer->meter->Snapshot().bWaiting);
        if (pServer->refuseSignIn) {
            pServer->refuseSignIn = false;
            RenewProxyCredentials(L"proxy:3128", L"", 0);   // no prompt: refused
        }
        if (pServer->downRequests > 0 && !strHeaders.empty()) {
            --pServer->downRequests;
            if (pServer->downStatus == 0) {
                nSendError = pServer->downError;
                return false;
            }
            bSent = true;
            nStatus = pServer->downStatus;
            strBody = "<html>busy</html>";
            return true;
        }
        int first = 0, last = 0;
        bool ranged = std::swscanf(strHeaders.c_str(), L"Range:bytes=%d-%d", &first, &last) == 2;
        const FakeHost* host = pServer->hosts.count(strServerName) != 0 ? &pServer->hosts[strServerName] : nullptr;
        if (host != nullptr && (host->down || (host->dieAfter >= 0 && host->sent >= host->dieAfter))) {
            nSendError = 12029;
            return false;
        }
        bSent = true;
        if (host != nullptr && host->status != 0 && (ranged || !host->rangeOnly)) {
            nStatus = host->status;
            strBody = "<html>error page</html>";
            return true;
        }
        if (!strHeaders.empty() && (pServer->proxyTypes & (1 << nType)) != 0) {
            nStatus = 407;
            strBody = "<html>sign in</html>";
            return true;
        }
        if (!pServer->redirectTo.empty() && strServerName == L"files.example") {
            nStatus = 302;
            headers["Location"] = WideToUtf8(pServer->redirectTo);
            return true;
        }
        if (ranged && pServer->rangeRequests++ == pServer->replaceAfter) {
            pServer->content = pServer->newContent;
            pServer->etag = pServer->newEtag;
        }
        const std::string& all = host != nullptr && !host->content.empty() ? host->content : pServer->content;
        const std::string& etag = host != nullptr && !host->etag.empty() ? host->etag : pServer->etag;
        if (!etag.empty())
            headers["ETag"] = etag;
        if (!pServer->lastModified.empty())
            headers["Last-Modified"] = pServer->lastModified;
        size_t ifRange = strHeaders.find(L"\r\nIf-Range:");
        std::string validator = ifRange == std::wstring::npos ? "" : WideToUtf8(strHeaders.substr(ifRange + 11));
        bool changed = !validator.empty() && validator != etag && validator != pServer->lastModified;
        bool failing = ranged && pServer->rangeHits[strHeaders]++ < pServer->failFirstPerRange;
        int errorStatus = pServer->status != 0 ? pServer->status : (ranged ? pServer->rangeStatus : 0);
        if (strMethod == L"HEAD" && pServer->headStatus != 0)
            errorStatus = pServer->headStatus;
        if (ranged && strServerName == L"cdn.example" && pServer->cdnRangeStatus != 0)
            errorStatus = pServer->cdnRangeStatus;
        if (ranged && first <= pServer->failAt && pServer->failAt <= last)
            errorStatus = pServer->failStatus;
        const std::string& rangeEtag =
            host != nullptr && !host->rangeEtag.empty() ? host->rangeEtag : pServer->rangeEtag;
        if (!rangeEtag.empty() && ranged) {
            headers["ETag"] = rangeEtag;
            changed = false;
        }
        if (errorStatus != 0) {
            nStatus = errorStatus;
            strBody = "<html>error page</html>";
        } else if (ranged && !pServer->ignoreRange && !changed && first >= 0 && first <= last &&
                   static_cast<size_t>(last) < all.size()) {
            nStatus = 206;
            strBody = all.substr(first, last - first + 1);
            int shift = pServer->wrongContentRange ? 1 : 0;
            headers["Content-Range"] = "bytes " + std::to_string(first + shift) + "-" + std::to_string(last + shift) +
                                       "/" + std::to_string(all.size());
            if (failing)
                nCutAt = static_cast<int>(strBody.size() / 2);
        } else {
            nStatus = 200;
            strBody = all;
        }
        if (pServer->cutAfter > 0 && strBody.size() > static_cast<size_t>(pServer->cutAfter))
            nCutAt = nCutAt >= 0 ? std::min(nCutAt, pServer->cutAfter) : pServer->cutAfter;
        if (pServer->chaosSeed != 0 && nStatus == 206) {
            // Each answer its own speed; some cut, some stall for a while.
            std::mt19937 rng(pServer->chaosSeed + static_cast<uint32_t>(pServer->rangeRequests) * 7919u);
            nChunk = std::uniform_int_distribution<int>(1, 4000)(rng);
            nDelayMs = std::uniform_int_distribution<int>(0, 2)(rng);
            const int roll = std::uniform_int_distribution<int>(0, 9)(rng);
            const int at = std::uniform_int_distribution<int>(0, static_cast<int>(strBody.size()))(rng);
            if (roll == 0)
                nCutAt = at;
            else if (roll == 1)
                nStallAt = at;
        }
        return true;
    }

    static std::atomic<int> nDestroyed;  // requests are destroyed on the segment threads

private:
    FakeServer* pServer;
    int nType;
    bool bSecure = false;
    bool bSent = false;
    int nStatus = 0;
    std::map<std::string, std::string> headers;
    std::string strBody;
    size_t nOffset = 0;
    int nCutAt = -1;
    int nStallAt = -1;
    int nChunk = 0;
    int nDelayMs = 0;
};

std::atomic<int> CFakeRequest::nDestroyed{0};

std::string PatternBytes(size_t size)
{
    std::string bytes(size, '\0');
    uint32_t state = 12345;
    for (char& c : bytes) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(state >> 16);
    }
    return bytes;
}

// ---------------------------------------------------------------------------
// Engine runs (events and log reading in common/NetTestSupport.h).

// One engine run against a fake server, with short pauses.
struct EngineRun {
    FakeServer server;
    EventLog events;
    DownloadParam param;
    std::wstring dir;
    int result = 1;
    bool cancel = false;
    unsigned pauseMs = 1;
    CHttpDownload::WriteObserver observer;

    explicit EngineRun(const std::string& hint)
    {
        dir = MakeTempDir(hint);
        param.strDownloadUrl = L"https://files.example/pkg/setup.exe";
        param.strSavePath = dir + L"\\out\\setup.exe";
        param.pUserData = &events;
        nWinHttpFailCount = 0;
        nInternetFailCount = 0;
        TestNetTimeLimits() = NetTimeLimits();
        TestNetTimeLimits().nWatchMs = 10;
    }
    ~EngineRun()
    {
        // A call the engine abandoned frees its request on its own thread
        // once it returns: the server must outlive it.
        server.release = true;
        for (int i = 0; i < 2000 && server.freed.load() != server.created.load(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        EXPECT_EQ(server.freed.load(), server.created.load()) << "request objects never freed";
        TestNetTimeLimits() = NetTimeLimits();
        RemoveTree(dir);
    }

    int Run(CHttpDownload::ThreadStarter starter = nullptr)
    {
        CHttpDownload download(&param, &RecordEvent, &cancel);
        download.SetRequestFactory([this](int type) { return new CFakeRequest(&server, type); });
        download.SetRetryPause(pauseMs);
        if (starter)
            download.SetThreadStarter(starter);
        if (observer)
            download.SetWriteObserver(observer);
        result = download.Download();
        return result;
    }

    std::string FileBytes() const { return ReadFileBytes(param.strSavePath); }

    std::vector<FakeCall> RangeCalls()
    {
        std::vector<FakeCall> ranges;
        for (const FakeCall& call : server.Calls())
            if (!call.headers.empty())
                ranges.push_back(call);
        return ranges;
    }

    std::vector<int> EventKinds()
    {
        std::vector<int> kinds;
        for (const Event& e : events.events)
            if (kinds.empty() || kinds.back() != e.event)
                kinds.push_back(e.event);
        return kinds;
    }
};

} // namespace

// ---------------------------------------------------------------------------
// URL handling

TEST(NetUrl, ParseUrlSplitsServerAndObject)
{
    struct Case {
        const wchar_t* url;
        bool ok;
        const wchar_t* server;
        const wchar_t* object;
    };
    const Case cases[] = {
        {L"https://HOST/a/b?c=1", true, L"HOST", L"a/b?c=1"},
        {L"http://host/setup.exe", true, L"host", L"setup.exe"},
        {L"https://localhost:47443/files/a.bin", true, L"localhost:47443", L"files/a.bin"},
        {L"https://host/", true, L"host", L""},
        {L"HTTPS://host/a#part", true, L"host", L"a"},   // the scheme in any case; no fragment is sent
        {L"https://cdn.example/f?src=http://x/y", true, L"cdn.example", L"f?src=http://x/y"},
        {L"https://host", false, L"<unset>", L"<unset>"},
        {L"https://host?a=/b", false, L"<unset>", L"<unset>"},
        {L"https://u:p@host/a", false, L"<unset>", L"<unset>"},   // a sign-in in the URL: refused
        {L"host/a", true, L"<unset>", L"<unset>"},          // no scheme: names stay as they were
        {L"xhttp://host/a", true, L"<unset>", L"<unset>"},  // the scheme is read at the start only
        {L"", true, L"<unset>", L"<unset>"},
    };
    for (const Case& c : cases) {
        std::wstring server = L"<unset>";
        std::wstring object = L"<unset>";
        EXPECT_EQ(CBaseRequest::ParseUrl(c.url, server, object), c.ok) << WideToUtf8(c.url);
        EXPECT_EQ(server, c.server) << WideToUtf8(c.url);
        EXPECT_EQ(object, c.object) << WideToUtf8(c.url);
    }
}

// Every normal and abnormal example of reference resolution in RFC 3986
// (5.4.1, 5.4.2), against its base "http://a/b/c/d;p?q".
TEST(NetUrl, ReferencesResolveAsTheStandardsExamplesSay)
{
    const wchar_t* const cases[][2] = {
        {L"g:h", L"g:h"}, {L"g", L"http://a/b/c/g"}, {L"./g", L"http://a/b/c/g"},
        {L"g/", L"http://a/b/c/g/"}, {L"/g", L"http://a/g"}, {L"//g", L"http://g"},
        {L"?y", L"http://a/b/c/d;p?y"}, {L"g?y", L"http://a/b/c/g?y"}, {L"#s", L"http://a/b/c/d;p?q#s"},
        {L"g#s", L"http://a/b/c/g#s"}, {L"g?y#s", L"http://a/b/c/g?y#s"}, {L";x", L"http://a/b/c/;x"},
        {L"g;x", L"http://a/b/c/g;x"}, {L"g;x?y#s", L"http://a/b/c/g;x?y#s"}, {L"", L"http://a/b/c/d;p?q"},
        {L".", L"http://a/b/c/"}, {L"./", L"http://a/b/c/"}, {L"..", L"http://a/b/"},
        {L"../", L"http://a/b/"}, {L"../g", L"http://a/b/g"}, {L"../..", L"http://a/"},
        {L"../../", L"http://a/"}, {L"../../g", L"http://a/g"},
        // abnormal
        {L"../../../g", L"http://a/g"}, {L"../../../../g", L"http://a/g"}, {L"/./g", L"http://a/g"},
        {L"/../g", L"http://a/g"}, {L"g.", L"http://a/b/c/g."}, {L".g", L"http://a/b/c/.g"},
        {L"g..", L"http://a/b/c/g.."}, {L"..g", L"http://a/b/c/..g"}, {L"./../g", L"http://a/b/g"},
        {L"./g/.", L"http://a/b/c/g/"}, {L"g/./h", L"http://a/b/c/g/h"}, {L"g/../h", L"http://a/b/c/h"},
        {L"g;x=1/./y", L"http://a/b/c/g;x=1/y"}, {L"g;x=1/../y", L"http://a/b/c/y"},
        {L"g?y/./x", L"http://a/b/c/g?y/./x"}, {L"g?y/../x", L"http://a/b/c/g?y/../x"},
        {L"g#s/./x", L"http://a/b/c/g#s/./x"}, {L"g#s/../x", L"http://a/b/c/g#s/../x"},
        {L"http:g", L"http:g"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(WideToUtf8(ResolveUrl(L"http://a/b/c/d;p?q", c[0])), WideToUtf8(c[1])) << WideToUtf8(c[0]);
}

TEST(NetUrl, SplitServerPortTakesOnlyValidPorts)
{
    struct Case {
        const wchar_t* server;
        const wchar_t* host;
        int port;
    };
    const Case cases[] = {
        {L"localhost:47443", L"localhost", 47443},
        {L"a.example:1", L"a.example", 1},
        {L"a.example:65535", L"a.example", 65535},
        {L"a.example", L"a.example", 0},
        {L"a.example:", L"a.example:", 0},
        {L"a.example:0", L"a.example:0", 0},
        {L"a.example:65536", L"a.example:65536", 0},
        {L"a.example:8o", L"a.example:8o", 0},
        {L"a.example:99999999999", L"a.example:99999999999", 0},
        {L":80", L":80", 0},
        {L"", L"", 0},
    };
    for (const Case& c : cases) {
        std::wstring host;
        int port = -1;
        CBaseRequest::SplitServerPort(c.server, host, port);
        EXPECT_EQ(host, c.host) << WideToUtf8(c.server);
        EXPECT_EQ(port, c.port) << WideToUtf8(c.server);
    }
}

TEST(NetUrl, RedirectsResolveAgainstTheUrlAndKeepTheScheme)
{
    struct Case {
        const wchar_t* location;
        const wchar_t* next;   // null: refused
    };
    const Case cases[] = {
        {L"https://cdn.example/f/setup.exe", L"https://cdn.example/f/setup.exe"},
        {L"/other/setup.exe?v=2", L"https://files.example:444/other/setup.exe?v=2"},
        {L"//cdn.example:8443/setup.exe", L"https://cdn.example:8443/setup.exe"},
        {L"setup2.exe?token=1", L"https://files.example:444/pkg/setup2.exe?token=1"},   // nginx: return 302 setup2.exe
        {L"../x/./setup.exe", L"https://files.example:444/x/setup.exe"},
        {L"?q", L"https://files.example:444/pkg/setup.exe?q"},
        {L"HTTPS://CDN.Example/F.exe#part", L"https://cdn.example/F.exe"},   // scheme and host in lower case
        {L"https://cdn.example", L"https://cdn.example/"},
        {L"https://u:p@cdn.example/setup.exe", nullptr},   // a sign-in in the URL
        {L"http://cdn.example/setup.exe", nullptr},        // HTTPS to plain HTTP
        {L"ftp://cdn.example/setup.exe", nullptr},
        {L"https:///setup.exe", nullptr},                  // no host
        {L"", nullptr},
    };
    for (const Case& c : cases) {
        std::wstring next = L"<unset>";
        bool ok = CBaseRequest::ResolveRedirect(L"https://files.example:444/pkg/setup.exe?a=/b", c.location, next);
        EXPECT_EQ(ok, c.next != nullptr) << WideToUtf8(c.location);
        if (ok && c.next != nullptr) {
            EXPECT_EQ(next, c.next) << WideToUtf8(c.location);
        }
    }
}

// The proxy a request goes through: the one the sign-in is for, shown as
// host and port, and nothing when it goes direct.
TEST(NetProxy, RealmAndProxyServerAreReadFromTheirText)
{
    EXPECT_EQ(ProxyRealmOf("Basic realm=\"Office proxy\""), L"Office proxy");
    EXPECT_EQ(ProxyRealmOf("Digest realm=\"corp\", nonce=\"x\""), L"corp");
    EXPECT_EQ(ProxyRealmOf("NTLM"), L"");
    struct Case {
        const wchar_t* proxy;   // null: direct
        const wchar_t* bypass;
        const wchar_t* host;
        bool secure;
        const wchar_t* through;
    };
    const Case cases[] = {
        {L"proxy.example:3128", L"", L"files.example", true, L"proxy.example:3128"},
        {L"proxy.example", L"", L"files.example", true, L"proxy.example:80"},
        {L"http=a.example:80;https=b.example:443", L"", L"files.example", true, L"b.example:443"},
        {L"http=a.example:80;https=b.example:443", L"", L"files.example", false, L"a.example:80"},
        {L"ftp=c:21 http=a:81", L"", L"files.example", true, L""},   // no entry for https: direct
        {L"https=http://b.example:8080", L"", L"files.example", true, L"b.example:8080"},
        {L"p:1", L"*.example;<local>", L"Files.EXAMPLE", true, L""},
        {L"p:1", L"*.example;<local>", L"intranet", true, L""},
        {L"p:1", L"*.example;<local>", L"files.example.org", true, L"p:1"},
        {L"p:1", L"https://10.*, localhost", L"10.0.0.8", true, L""},
        {nullptr, L"", L"files.example", true, L""},
    };
    for (const Case& c : cases) {
        ProxyChoice choice;
        choice.bDirect = c.proxy == nullptr;
        choice.strProxy = c.proxy != nullptr ? c.proxy : L"";
        choice.strBypass = c.bypass;
        EXPECT_EQ(ProxyServerFor(choice, c.host, c.secure), c.through)
            << WideToUtf8(choice.strProxy) << " " << WideToUtf8(c.host);
    }
    EXPECT_EQ(ProxyKeyOf(L"HTTPS://H.example:1/a/b"), L"https://h.example:1");
    EXPECT_EQ(UrlForLog(L"https://u:p@h.example:1/a/b?token=SECRET#f"), L"https://h.example:1/a/b");
    EXPECT_EQ(UrlForLog(L"setup.exe?token=SECRET"), L"setup.exe");
}

// A proxy script is waited for at most its limit, and a cancel ends the
// wait at once; either way the evaluation is left to finish on its own.
std::atomic<bool> gScriptReleased{false};

TEST(NetProxy, ScriptEvaluationEndsAtItsLimitOrAtOnceOnCancel)
{
    ProxyScriptCall stalled = [](const ProxyScriptQuestion&, ProxyChoice&, unsigned long&) {
        while (!gScriptReleased.load())
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return false;
    };
    ProxyScriptQuestion question;
    question.strUrl = L"https://files.example/setup.exe";
    ProxyChoice choice;
    unsigned long error = 0;
    auto started = std::chrono::steady_clock::now();
    auto elapsedMs = [&started] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started)
            .count();
    };
    EXPECT_EQ(EvaluateWithin(stalled, question, 300, ProxyCancel(), choice, error), kScript_TimedOut);
    // Generous bounds for a loaded machine: the evaluation itself never
    // returns, and the cancel's limit is a minute.
    EXPECT_GE(elapsedMs(), 300);
    EXPECT_LT(elapsedMs(), 10000);

    started = std::chrono::steady_clock::now();
    std::atomic<bool> cancel{false};
    std::thread canceller([&cancel] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        cancel = true;
    });
    EXPECT_EQ(EvaluateWithin(stalled, question, 60000, ProxyCancel{&ProxyCancelAtomic, &cancel}, choice, error),
              kScript_Cancelled);
    canceller.join();
    EXPECT_LT(elapsedMs(), 10000);
    gScriptReleased = true;

    auto answer = [](const ProxyScriptQuestion& q, ProxyChoice& c, unsigned long&) {
        c.bDirect = false;
        c.strProxy = q.strUrl == L"https://files.example/setup.exe" ? L"p:1" : L"wrong question";
        return true;
    };
    EXPECT_EQ(EvaluateWithin(answer, question, 60000, ProxyCancel(), choice, error), kScript_Answered);
    EXPECT_EQ(choice.strProxy, L"p:1");
    auto refuse = [](const ProxyScriptQuestion&, ProxyChoice&, unsigned long& code) {
        code = 12167;
        return false;
    };
    EXPECT_EQ(EvaluateWithin(refuse, question, 60000, ProxyCancel(), choice, error), kScript_Failed);
    EXPECT_EQ(error, 12167u);
}

// A password leaves no copy behind: wiped in place (the whole buffer, not
// only its length), when moved from, and when destroyed.
TEST(NetProxy, PasswordIsOverwrittenBeforeItsMemoryGoes)
{
    auto holds = [](const void* memory, size_t bytes, const std::wstring& text) {
        const std::string raw(static_cast<const char*>(memory), bytes);
        const std::string needle(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
        return raw.find(needle) != std::string::npos;
    };
    std::wstring plain = L"a-password-long-enough-for-the-heap";
    plain = L"pw";   // shorter text over the longer: its tail stays behind the terminator
    const wchar_t* buffer = plain.data();
    const size_t capacity = plain.capacity();
    WipeText(plain);
    EXPECT_FALSE(holds(buffer, capacity * sizeof(wchar_t), L"heap"));

    // Short texts live inside the object; a plain move zeroes only the
    // first character ("\0w1" stays), so the tail is what is looked for.
    CSecretText moved(std::wstring(L"pw1"));
    CSecretText taken(std::move(moved));
    EXPECT_FALSE(holds(&moved, sizeof(moved), L"w1"));
    EXPECT_EQ(taken.Text(), L"pw1");

    alignas(CSecretText) unsigned char storage[sizeof(CSecretText)];
    auto* secret = new (storage) CSecretText(std::wstring(L"pw2"));
    secret->~CSecretText();
    EXPECT_FALSE(holds(storage, sizeof(storage), L"w2"));
}

// Five workers refused at once ask one question between them; a refused
// answer asks again, at most three times a download; cancel and a missing
// prompt refuse the sign-in, and the next download may ask again.
TEST(NetProxy, SignInAsksOncePerRefusalAndAtMostThreeTimes)
{
    ClearProxyCredentials();
    BeginProxySignIn();
    std::atomic<int> asked{0};
    std::vector<int> attempts;   // written by one asker at a time
    bool cancel = false;
    SetProxyCredentialPrompt([&](const std::wstring& host, const std::wstring& realm, int attempt,
                                 std::wstring& user, CSecretText& password) {
        EXPECT_EQ(host, L"proxy:3128");
        EXPECT_EQ(realm, L"Office");
        attempts.push_back(attempt);
        ++asked;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        user = L"u";
        password = CSecretText(L"p" + std::to_wstring(attempt));
        return !cancel;
    });
    std::vector<std::thread> workers;
    for (int i = 0; i < 5; ++i)
        workers.emplace_back([] { EXPECT_TRUE(RenewProxyCredentials(L"proxy:3128", L"Office", 0)); });
    for (std::thread& t : workers)
        t.join();
    std::wstring user;
    CSecretText password;
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(GetProxyCredentials(user, password), 1);
    EXPECT_EQ(password.Text(), L"p1");
    EXPECT_TRUE(RenewProxyCredentials(L"proxy:3128", L"Office", 1));    // refused: the second question
    EXPECT_TRUE(RenewProxyCredentials(L"proxy:3128", L"Office", 1));    // already renewed by then
    EXPECT_TRUE(RenewProxyCredentials(L"proxy:3128", L"Office", 2));
    EXPECT_FALSE(RenewProxyCredentials(L"proxy:3128", L"Office", 3));   // three refused: no fourth question
    EXPECT_EQ(asked, 3);
    EXPECT_TRUE(ProxySignInRefused());
    BeginProxySignIn();
    cancel = true;
    EXPECT_FALSE(RenewProxyCredentials(L"proxy:3128", L"Office", 3));
    EXPECT_EQ(asked, 4);
    EXPECT_EQ(GetProxyCredentials(user, password), 3);   // a cancel keeps what was given
    EXPECT_EQ(attempts, (std::vector<int>{1, 2, 3, 1}));
    SetProxyCredentialPrompt(nullptr);
    BeginProxySignIn();
    EXPECT_FALSE(RenewProxyCredentials(L"proxy:3128", L"Office", 3));
    ClearProxyCredentials();
    EXPECT_EQ(GetProxyCredentials(user, password), 0);
    EXPECT_EQ(user + password.Text(), L"");
}

TEST(NetHeader, ParsersTakeOnlyWellFormedValues)
{
    // Each text goes through every parser; the columns say what each makes
    // of it (-1: refused).
    struct Case {
        const char* text;
        int64_t length;      // ParseContentLength
        int64_t rangeLast;   // ParseContentRange: the last byte (first 0, total 1000)
        int64_t date;        // ParseHttpDate
        int64_t retryMs;     // ParseRetryAfter, now = 784111777, cap 30000
    };
    const Case cases[] = {
        {"1234", 1234, -1, -1, 30000},
        {"2147483648", 2147483648LL, -1, -1, 30000},   // a length, but too large for a size
        {" 3 ", 3, -1, -1, 3000},
        {"-5", -1, -1, -1, -1},
        {"99999999999999999999", -1, -1, -1, -1},
        {"bytes 0-332/1000", -1, 332, -1, -1},
        {"bytes 0-1000/1000", -1, -1, -1, -1},      // past the end
        {"bytes 0-999/*", -1, -1, -1, -1},          // the total must be known
        {"Sun, 06 Nov 1994 08:49:42 GMT", -1, -1, 784111782, 5000},
        {"Sunday, 06-Nov-94 08:49:37 GMT", -1, -1, 784111777, 0},
        {"Sun Nov  6 08:49:37 1994", -1, -1, 784111777, 0},
        {"Thu, 29 Feb 2024 23:59:59 GMT", -1, -1, 1709251199, 30000},
        {"Sun, 32 Nov 1994 08:49:37 GMT", -1, -1, -1, -1},
        {"Sun, 06 Nov 1994 08:49:37 CET", -1, -1, -1, -1},
    };
    for (const Case& c : cases) {
        int64_t length = -1;
        ParseContentLength(c.text, length);
        EXPECT_EQ(length, c.length) << c.text;
        int length32 = -1;
        ParseContentLength32(c.text, length32);
        EXPECT_EQ(length32, c.length <= INT32_MAX ? c.length : -1) << c.text;
        HttpContentRange range;
        bool isRange = ParseContentRange(c.text, range);
        EXPECT_EQ(isRange ? range.nLast : -1, c.rangeLast) << c.text;
        int64_t date = -1;
        ParseHttpDate(c.text, date);
        EXPECT_EQ(date, c.date) << c.text;
        uint32_t delay = 0;
        bool isDelay = ParseRetryAfter(c.text, 784111777, 30000, delay);
        EXPECT_EQ(isDelay ? static_cast<int64_t>(delay) : -1, c.retryMs) << c.text;
    }
    // A strong ETag first, else a valid Last-Modified date, else nothing.
    const char* date = "Sun, 06 Nov 1994 08:49:37 GMT";
    EXPECT_EQ(ChooseIfRangeValidator("\"5f-3a\"", date), "\"5f-3a\"");
    EXPECT_EQ(ChooseIfRangeValidator("W/\"5f-3a\"", date), date);
    EXPECT_EQ(ChooseIfRangeValidator("5f-3a", "not a date"), "");
}

TEST(NetRequest, SecureAttemptThenPlainOnTheSameObjectAndPort)
{
    struct Case {
        const wchar_t* url;
        bool secureDown;
        const wchar_t* host;
        int port;
        std::vector<bool> attempts;   // secure flag of each SendRequest
    };
    const Case cases[] = {
        {L"https://localhost:47443/a/b", false, L"localhost", 47443, {true}},
        {L"https://localhost:47443/a/b", true, L"localhost", 47443, {false}},
        {L"http://files.example/a/b", true, L"files.example", 0, {false}},
        {L"https://files.example/a/b", false, L"files.example", 0, {true}},
    };
    for (const Case& c : cases) {
        FakeServer server;
        server.secureDown = c.secureDown;
        CFakeRequest request(&server, CBaseRequest::kTypeWinHttp);
        EXPECT_TRUE(request.Request(c.url));
        std::vector<FakeCall> calls = server.Calls();
        ASSERT_EQ(calls.size(), c.attempts.size()) << WideToUtf8(c.url);
        for (size_t i = 0; i < calls.size(); ++i) {
            EXPECT_EQ(calls[i].secure, c.attempts[i]);
            EXPECT_EQ(calls[i].server, c.host);
            EXPECT_EQ(calls[i].port, c.port);
            EXPECT_EQ(calls[i].object, L"a/b");
            EXPECT_EQ(calls[i].method, L"GET");
        }
    }
}

TEST(NetRequest, BothAttemptsFailingFailTheRequest)
{
    FakeServer server;
    server.winHttpDown = true;
    CFakeRequest request(&server, CBaseRequest::kTypeWinHttp);
    EXPECT_FALSE(request.Request(L"https://h/x"));
    std::vector<FakeCall> calls = server.Calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_TRUE(calls[0].secure);
    EXPECT_FALSE(calls[1].secure);
    EXPECT_FALSE(request.Request(L"https://no-slash"));
    EXPECT_EQ(server.Calls().size(), 2u);   // a failed split makes no exchange
}

namespace {
std::vector<std::string> gAssertTexts;
bool RecordAssert(const std::string& text, const std::string&)
{
    gAssertTexts.push_back(text);
    return false;
}
} // namespace

TEST(NetRequest, CreateInstanceRefusesUnknownTypes)
{
    gAssertTexts.clear();
    AssertHook previous = SetAssertHook(&RecordAssert);
    CBaseRequest* unknown = CBaseRequest::CreateInstance(2);
#ifdef _WIN32
    std::unique_ptr<CBaseRequest> winHttp(CBaseRequest::CreateInstance(0));
    std::unique_ptr<CBaseRequest> internet(CBaseRequest::CreateInstance(1));
    ASSERT_TRUE(winHttp && internet);
    EXPECT_STREQ(winHttp->GetTypeName(), "WinHttp");
    EXPECT_STREQ(internet->GetTypeName(), "Internet");
    EXPECT_EQ(winHttp->strMethod, L"GET");
    EXPECT_TRUE(winHttp->strHeaders.empty());
    int size = 0;
    EXPECT_FALSE(winHttp->GetUrlFileSize(&size));   // no request yet
    EXPECT_FALSE(internet->GetUrlFileSize(&size));
#endif
    SetAssertHook(previous);
    EXPECT_EQ(unknown, nullptr);
    ASSERT_FALSE(gAssertTexts.empty());
    EXPECT_NE(gAssertTexts.back().find("ERR:un support type 2"), std::string::npos) << gAssertTexts.back();
    EXPECT_NE(gAssertTexts.back().find("CBaseRequest::CreateInstance"), std::string::npos) << gAssertTexts.back();
}

// Callers that come while the question is being asked take its answer; a
// caller after it asks again.
TEST(NetRequest, SharedAnswerAsksOnceForCallersThatWait)
{
    CSharedAnswer shared;
    std::atomic<int> calls{0};
    std::mutex gate;
    std::unique_lock<std::mutex> closed(gate);
    auto ask = [&] {
        ++calls;
        std::lock_guard<std::mutex> pass(gate);  // held until the others wait
        return true;
    };
    std::vector<std::thread> callers;
    std::atomic<int> yes{0};
    callers.emplace_back([&] { yes += shared.Get(ask); });
    while (calls.load() == 0)
        std::this_thread::yield();
    for (int i = 0; i < 4; ++i)
        callers.emplace_back([&] { yes += shared.Get(ask); });
    // Without sharing, the four never wait: they ask, and the count shows it.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (shared.Waiting() < 4 && std::chrono::steady_clock::now() < until)
        std::this_thread::yield();
    closed.unlock();
    for (auto& caller : callers)
        caller.join();
    EXPECT_EQ(calls.load(), 1);
    EXPECT_EQ(yes.load(), 5);
    EXPECT_FALSE(shared.Get([&] { ++calls; return false; }));
    EXPECT_EQ(calls.load(), 2);
}

// ---------------------------------------------------------------------------
// Download engine

TEST(NetDownload, ThousandBytesInThreeRangesArriveWithExactHeaders)
{
    EngineRun run("net-1000");
    run.server.content = PatternBytes(1000);
    run.server.chunk = 100;
    run.param.nDownloadThread = 3;
    ASSERT_EQ(run.Run(), 0);
    EXPECT_EQ(run.FileBytes(), run.server.content);

    std::vector<std::wstring> headers;
    for (const FakeCall& call : run.RangeCalls()) {
        headers.push_back(call.headers);
        EXPECT_EQ(call.method, L"GET");
    }
    std::sort(headers.begin(), headers.end());
    EXPECT_EQ(headers, (std::vector<std::wstring>{L"Range:bytes=0-332", L"Range:bytes=333-665", L"Range:bytes=666-999"}));

    // The size query: one WinHTTP HEAD without a Range header.
    std::vector<FakeCall> calls = run.server.Calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls[0].method, L"HEAD");
    EXPECT_EQ(calls[0].type, CBaseRequest::kTypeWinHttp);

    // Events: start, size, progress rising to the total, end with 0.
    std::vector<Event>& ev = run.events.events;
    EXPECT_EQ(run.EventKinds(), (std::vector<int>{0, 1, 2, 3})) << DescribeEvents(ev);
    EXPECT_EQ(ev[1].value1, 1000);
    int last = 0;
    for (const Event& e : ev) {
        if (e.event != kDownloadProgress)
            continue;
        EXPECT_GT(e.value1, last);
        EXPECT_LE(e.value1, 1000);
        EXPECT_EQ(e.value2, 1000);
        last = e.value1;
    }
    EXPECT_EQ(last, 1000);
    EXPECT_EQ(ev.back().value1, 0);
    EXPECT_EQ(nWinHttpFailCount.load() + nInternetFailCount.load(), 0);
}

TEST(NetDownload, DivisionGivesTheLastWorkerTheRemainder)
{
    struct Case {
        int size;
        int workers;
        std::vector<std::wstring> headers;   // sorted
    };
    const Case cases[] = {
        {10, 1, {L"Range:bytes=0-9"}},
        {11, 2, {L"Range:bytes=0-4", L"Range:bytes=5-10"}},
        // Smaller than the worker count: one worker per byte, never an
        // empty range ("bytes=0--1").
        {2, 5, {L"Range:bytes=0-0", L"Range:bytes=1-1"}},
    };
    for (const Case& c : cases) {
        EngineRun run("net-div");
        run.server.content = PatternBytes(static_cast<size_t>(c.size));
        run.param.nDownloadThread = c.workers;
        EXPECT_EQ(run.Run(), 0) << c.size << "/" << c.workers;
        EXPECT_EQ(run.FileBytes(), run.server.content);
        std::vector<std::wstring> headers;
        for (const FakeCall& call : run.RangeCalls())
            headers.push_back(call.headers);
        std::sort(headers.begin(), headers.end());
        EXPECT_EQ(headers, c.headers) << c.size << "/" << c.workers;
    }
}

TEST(NetDownload, WorkerCountIsClampedToSixtyFourAndLogged)
{
    LogTail log;
    EngineRun run("net-64");
    run.server.content = PatternBytes(6400);
    run.param.nDownloadThread = 100;
    ASSERT_EQ(run.Run(), 0);
    EXPECT_EQ(run.FileBytes(), run.server.content);
    EXPECT_EQ(run.RangeCalls().size(), 64u);
    EXPECT_EQ(log.Count("DownLoadContent: ThreadNum = 64 (request thread num = 100)"), 1u) << log.Text();
    EXPECT_EQ(log.Count("SUCCCESS!"), 64u);
    EXPECT_EQ(log.Count("HttpDownload,ret = 0 (time = "), 1u);
}

TEST(NetDownload, InvalidParametersEndWithMinusOneAndNoSizeEvent)
{
    struct Case {
        int workers;
        std::wstring url;
        bool pathWithoutSeparator;
        const char* line;
    };
    const Case cases[] = {
        {0, L"https://h/f", false, "ERR:invalid param (nDownloadThread = 0)"},
        {-3, L"https://h/f", false, "ERR:invalid param (nDownloadThread = -3)"},
        {5, L"", false, "ERR:invalid param (strDownloadUrl)"},
        {5, L"https://h/f", true, "ERR:make dir () fail!"},
    };
    for (const Case& c : cases) {
        LogTail log;
        EngineRun run("net-param");
        run.server.content = "abc";
        run.param.nDownloadThread = c.workers;
        run.param.strDownloadUrl = c.url;
        if (c.pathWithoutSeparator)
            run.param.strSavePath = L"setup.exe";
        EXPECT_EQ(run.Run(), -1) << c.line;
        EXPECT_EQ(run.EventKinds(), (std::vector<int>{0, 3})) << DescribeEvents(run.events.events);
        EXPECT_EQ(run.events.events.back().value1, -1);
        EXPECT_TRUE(run.server.Calls().empty());
        EXPECT_EQ(log.Count(c.line), 1u) << log.Text();
        EXPECT_EQ(log.Count("ERR:CheckParam fail!"), 1u);
    }
}

TEST(NetDownload, SavePathIsNormalisedAndItsFolderCreated)
{
    EngineRun run("net-mkdir");
    run.server.content = PatternBytes(300);
    run.param.strSavePath = run.dir + L"/a//b/setup.exe";
    ASSERT_EQ(run.Run(), 0);
    EXPECT_EQ(run.param.strSavePath, run.dir + L"\\a\\b\\setup.exe");
    EXPECT_EQ(run.FileBytes(), run.server.content);
}

TEST(NetDownload, UncreatableFolderFailsWithMinusOne)
{
    EngineRun run("net-nodir");
    // A folder below an ordinary file can never be made.
    ASSERT_TRUE(testsupport::WriteFileBytes(run.dir + L"\\plainfile", "x"));
    run.param.strSavePath = run.dir + L"\\plainfile\\sub\\setup.exe";
    run.server.content = "abc";
    EXPECT_EQ(run.Run(), -1);
    EXPECT_TRUE(run.server.Calls().empty());
}

TEST(NetDownload, UnknownSizeEndsWithMinusThreeAfterBothBackEnds)
{
    LogTail log;
    EngineRun run("net-nosize");
    run.server.content = "abc";
    run.server.sizeKnown = false;
    run.server.ignoreRange = true;
    EXPECT_EQ(run.Run(), -3);
    EXPECT_EQ(run.EventKinds(), (std::vector<int>{0, 3})) << DescribeEvents(run.events.events);
    std::vector<FakeCall> calls = run.server.Calls();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].type, CBaseRequest::kTypeWinHttp);
    EXPECT_EQ(calls[0].method, L"HEAD");
    EXPECT_EQ(calls[2].type, CBaseRequest::kTypeInternet);
    EXPECT_EQ(calls[2].method, L"GET");
    EXPECT_EQ(log.Count("ERR:GetDownloadFileSize fail!"), 1u);
}

TEST(NetDownload, UnopenableTargetIsADiskFailureBeforeAnyRange)
{
    LogTail log;
    EngineRun run("net-noopen");
    run.server.content = "abc";
    // The target names an existing folder, which cannot be opened as a file.
    ASSERT_TRUE(CreateDirectoryChain(run.dir + L"\\x"));
    run.param.strSavePath = run.dir + L"\\x";
    EXPECT_EQ(run.Run(), kDownloadDiskFailed);
    EXPECT_EQ(run.EventKinds(), (std::vector<int>{0, 1, 3}));
    EXPECT_TRUE(run.RangeCalls().empty());
    EXPECT_EQ(log.Count("ERR:Open file fail! ("), 1u) << log.Text();
    EXPECT_EQ(log.Count("the disk failed, no retry"), 1u);
}

TEST(NetDownload, RangeAnswersAreJudgedByStatusBeforeTheBody)
{
    // Per case: how the server answers, the result, and how many range
    // requests each of the five workers made at most (1: given up at once,
    // 11: every attempt retried).
    struct Case {
        const char* name;
        int rangeStatus;
        bool ignoreRange;
        bool wrongContentRange;
        int result;
        size_t maxPerRange;
        const char* line;
    };
    const Case cases[] = {
        {"403", 403, false, false, -4, 1, "] status 403"},
        {"206 naming another range", 0, false, true, -4, 1, "is not bytes "},
        {"500", 500, false, false, -4, 11, "status 500"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LogTail log;
        EngineRun run("net-status");
        run.server.content = PatternBytes(5000);
        run.server.rangeStatus = c.rangeStatus;
        run.server.ignoreRange = c.ignoreRange;
        run.server.wrongContentRange = c.wrongContentRange;
        run.param.nDownloadThread = 5;
        EXPECT_EQ(run.Run(), c.result);
        std::map<std::wstring, size_t> perRange;
        for (const FakeCall& call : run.RangeCalls())
            ++perRange[call.headers];
        for (const auto& range : perRange) {
            if (c.maxPerRange == 11) {
                EXPECT_EQ(range.second, 11u) << WideToUtf8(range.first);
            } else {
                EXPECT_LE(range.second, 1u) << WideToUtf8(range.first);
            }
        }
        if (c.maxPerRange == 11) {
            EXPECT_EQ(perRange.size(), 5u);
        } else {
            EXPECT_EQ(log.Count("Request fail,  retry"), 0u) << log.Text();
        }
        EXPECT_GE(log.Count(c.line), 1u) << log.Text();
        // Nothing of an error page or a wrong range reaches the file.
        for (const Event& e : run.events.events)
            EXPECT_NE(e.event, kDownloadProgress) << DescribeEvents(run.events.events);
    }
}

// A 200 whose length is the size is the whole current file, whatever was
// asked: from a server that ignores Range, and from a farm whose members
// answer If-Range with their own ETag. One worker reads it from byte 0 and
// the others stop. A 206 with another ETag is another version: start over.
TEST(NetDownload, WholeFileAnswerIsOneStreamAndAnotherVersionStartsOver)
{
    struct Case {
        const char* name;
        bool ignoreRange;
        std::string rangeEtag;     // the ETag range answers carry
        bool replaceFirst;         // If-Range fails: the farm case
        const char* line;
    };
    const Case cases[] = {
        {"server ignoring Range", true, "", false, "status 200 with the whole file (50000 bytes): one stream"},
        {"farm member with another ETag", false, "", true, "status 200 with the whole file (50000 bytes): one stream"},
        {"206 with another ETag", false, "\"other\"", false, "ERR:file changed on the server, download starts over (1)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LogTail log;
        EngineRun run("net-whole");
        run.server.content = PatternBytes(50000);
        run.server.chunk = 1000;
        run.server.etag = "\"v1\"";
        run.server.ignoreRange = c.ignoreRange;
        run.server.rangeEtag = c.rangeEtag;
        if (c.replaceFirst) {
            // Same bytes, another member's ETag from the first range request on.
            run.server.replaceAfter = 0;
            run.server.newContent = run.server.content;
            run.server.newEtag = "\"member-2\"";
        }
        run.param.nDownloadThread = 5;
        ASSERT_EQ(run.Run(), c.rangeEtag.empty() ? 0 : -4) << log.Text();
        EXPECT_GE(log.Count(c.line), 1u) << log.Text();
        if (c.rangeEtag.empty()) {
            EXPECT_EQ(run.FileBytes(), run.server.content);
            EXPECT_EQ(log.Count("file changed on the server"), 0u);
        } else {
            // Every round meets the other version: never mixed, never written
            // (each restart shows 0 bytes).
            EXPECT_EQ(log.Count("download starts over (3)"), 1u) << log.Text();
            for (const Event& e : run.events.events)
                EXPECT_FALSE(e.event == kDownloadProgress && e.value1 != 0) << DescribeEvents(run.events.events);
        }
    }
}

TEST(NetDownload, RangeRetryDoesNotDoubleCountBytes)
{
    EngineRun run("net-retry");
    run.server.content = PatternBytes(300000);
    run.server.chunk = 10000;
    run.server.failFirstPerRange = 2;
    run.param.nDownloadThread = 3;
    ASSERT_EQ(run.Run(), 0);
    EXPECT_EQ(run.FileBytes(), run.server.content);
    EXPECT_EQ(run.RangeCalls().size(), 9u);
    EXPECT_EQ(nWinHttpFailCount.load() + nInternetFailCount.load(), 6);

    // Progress dips after each failed attempt and still ends at the total.
    int last = 0;
    int dips = 0;
    for (const Event& e : run.events.events) {
        if (e.event != kDownloadProgress)
            continue;
        EXPECT_LE(e.value1, 300000);
        if (e.value1 < last)
            ++dips;
        last = e.value1;
    }
    EXPECT_GE(dips, 1) << DescribeEvents(run.events.events);
    EXPECT_EQ(last, 300000);
}

TEST(NetDownload, FailingWinHttpMovesAttemptsToWinInet)
{
    EngineRun run("net-switch");
    run.server.content = PatternBytes(50000);
    run.server.winHttpDown = true;
    run.param.nDownloadThread = 5;
    ASSERT_EQ(run.Run(), 0);
    EXPECT_EQ(run.FileBytes(), run.server.content);

    // Only the attempts made while both counts were equal went to WinHTTP:
    // each worker's first at most; every later one went to WinINet.
    int winHttpRanges = 0;
    std::map<std::wstring, std::vector<int>> perRange;
    for (const FakeCall& call : run.RangeCalls()) {
        perRange[call.headers].push_back(call.type);
        if (call.type == CBaseRequest::kTypeWinHttp)
            ++winHttpRanges;
    }
    EXPECT_EQ(perRange.size(), 5u);
    for (const auto& range : perRange) {
        const std::vector<int>& types = range.second;
        ASSERT_FALSE(types.empty());
        EXPECT_EQ(types.back(), CBaseRequest::kTypeInternet) << WideToUtf8(range.first);
        // A WinHTTP attempt is a secure and a plain exchange.
        size_t winHttp = static_cast<size_t>(std::count(types.begin(), types.end(), CBaseRequest::kTypeWinHttp));
        EXPECT_TRUE(winHttp == 0 || winHttp == 2) << WideToUtf8(range.first);
    }
    EXPECT_EQ(winHttpRanges / 2, nWinHttpFailCount.load());
    EXPECT_GE(nWinHttpFailCount.load(), 1);
    EXPECT_EQ(nInternetFailCount.load(), 0);
}

TEST(NetDownload, EqualCountsAlternateBetweenBackEndsByAttempt)
{
    // Both back-ends break off the first two answers of the range: attempt 0
    // (tie) uses WinHTTP, which then leads, so attempt 1 uses WinINet; that
    // ties the counts again and attempt 2 (even) uses WinHTTP.
    EngineRun run("net-alternate");
    run.server.content = PatternBytes(1000);
    run.server.failFirstPerRange = 2;
    run.param.nDownloadThread = 1;
    ASSERT_EQ(run.Run(), 0);
    std::vector<int> types;
    for (const FakeCall& call : run.RangeCalls())
        types.push_back(call.type);
    EXPECT_EQ(types, (std::vector<int>{0, 1, 0}));
    EXPECT_EQ(nWinHttpFailCount.load(), 1);
    EXPECT_EQ(nInternetFailCount.load(), 1);
}

TEST(NetDownload, CountersCarryOverToTheNextDownload)
{
    EngineRun run("net-carry");
    run.server.content = PatternBytes(1000);
    run.param.nDownloadThread = 1;
    nWinHttpFailCount = 4;
    nInternetFailCount = 2;
    ASSERT_EQ(run.Run(), 0);
    std::vector<FakeCall> ranges = run.RangeCalls();
    ASSERT_EQ(ranges.size(), 1u);
    EXPECT_EQ(ranges[0].type, CBaseRequest::kTypeInternet);
}

TEST(NetDownload, RangeWithoutProgressGivesUpAfterElevenIdleAttempts)
{
    // No validator, so every retry starts its range again and is cut at the
    // same point: the first attempt got somewhere, the next eleven did not.
    LogTail log;
    EngineRun run("net-giveup");
    run.server.content = PatternBytes(1000);
    run.server.failFirstPerRange = 1000;
    run.param.nDownloadThread = 2;
    EXPECT_EQ(run.Run(), -4);
    EXPECT_EQ(run.RangeCalls().size(), 24u);
    EXPECT_EQ(log.Count("Request fail,  retry 11..."), 2u);
    EXPECT_EQ(log.Count("Request fail,  retry 12..."), 0u);
    EXPECT_EQ(log.Count("ERR:DownLoadContent fail!"), 1u);
    EXPECT_EQ(log.Count("SUCCCESS!"), 2u);   // written by every worker, whatever its outcome
}

TEST(NetDownload, RetryResumesInsideTheRangeWithIfRange)
{
    // Every body breaks off after 5000 bytes: twenty cuts per range, far more
    // than the retry budget of eleven; each attempt asks only for what is missing.
    struct Case {
        const char* etag;
        const char* lastModified;
        const wchar_t* ifRange;
    };
    const Case cases[] = {
        {"\"v1\"", "Sun, 06 Nov 1994 08:49:37 GMT", L"\r\nIf-Range:\"v1\""},
        {"", "Sun, 06 Nov 1994 08:49:37 GMT", L"\r\nIf-Range:Sun, 06 Nov 1994 08:49:37 GMT"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.etag);
        LogTail log;
        EngineRun run("net-resume");
        run.server.content = PatternBytes(300000);
        run.server.chunk = 10000;
        run.server.cutAfter = 5000;
        run.server.etag = c.etag;
        run.server.lastModified = c.lastModified;
        run.param.nDownloadThread = 3;
        ASSERT_EQ(run.Run(), 0);
        EXPECT_EQ(run.FileBytes(), run.server.content);
        // No byte was sent twice, none counted twice.
        EXPECT_EQ(run.server.bodyBytes.load(), 300000);
        std::vector<FakeCall> calls = run.RangeCalls();
        std::set<std::wstring> headers;
        for (const FakeCall& call : calls) {
            EXPECT_NE(call.headers.find(c.ifRange), std::wstring::npos) << WideToUtf8(call.headers);
            headers.insert(call.headers.substr(0, call.headers.find(L"\r\n")));
        }
        EXPECT_EQ(headers.size(), calls.size());   // no part asked for twice
        EXPECT_EQ(calls.size(), 60u);
        EXPECT_EQ(headers.count(L"Range:bytes=5000-99999"), 1u);
        EXPECT_EQ(headers.count(L"Range:bytes=295000-299999"), 1u);
        EXPECT_EQ(log.Count("[Range:bytes=75000-99999] beging..."), 1u) << log.Text();
        int last = 0;
        for (const Event& e : run.events.events) {
            if (e.event != kDownloadProgress)
                continue;
            EXPECT_GT(e.value1, last) << DescribeEvents(run.events.events);
            EXPECT_LE(e.value1, 300000);
            last = e.value1;
        }
        EXPECT_EQ(last, 300000);
    }
}

TEST(NetDownload, AttemptThatBroughtBytesIsFollowedSoon)
{
    // Two cuts, each after new bytes: the pauses are short, not 2 s.
    EngineRun run("net-quick");
    run.server.content = PatternBytes(3000);
    run.server.cutAfter = 1000;
    run.server.etag = "\"q\"";
    run.param.nDownloadThread = 1;
    run.pauseMs = kDownloadRetryPauseMs;
    auto begin = std::chrono::steady_clock::now();
    ASSERT_EQ(run.Run(), 0);
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - begin).count();
    EXPECT_EQ(run.FileBytes(), run.server.content);
    EXPECT_EQ(run.RangeCalls().size(), 3u);
    EXPECT_LT(ms, 1500) << "two pauses after progress";
}

TEST(NetDownload, FileChangedOnTheServerRestartsTheWholeDownload)
{
    LogTail log;
    EngineRun run("net-changed");
    run.server.content = PatternBytes(5000);
    run.server.etag = "\"v1\"";
    run.server.replaceAfter = 2;
    run.server.newContent = PatternBytes(7000).substr(1000);   // another 6000 bytes
    run.server.newEtag = "\"v2\"";
    run.server.chunk = 500;
    run.param.nDownloadThread = 5;
    ASSERT_EQ(run.Run(), 0);
    EXPECT_EQ(run.FileBytes(), run.server.newContent);
    EXPECT_EQ(log.Count("ERR:file changed on the server, download starts over (1)"), 1u) << log.Text();
    // Two size events, and the progress of each round stays within its size.
    std::vector<int> sizes;
    int total = 0;
    for (const Event& e : run.events.events) {
        if (e.event == kDownloadSize)
            sizes.push_back(total = e.value1);
        if (e.event == kDownloadProgress) {
            EXPECT_EQ(e.value2, total);
            EXPECT_LE(e.value1, total);
        }
    }
    EXPECT_EQ(sizes, (std::vector<int>{5000, 6000}));
    // After the restart every range request carries the new validator.
    std::vector<FakeCall> calls = run.RangeCalls();
    ASSERT_GT(calls.size(), 5u);
    for (size_t i = calls.size() - 5; i < calls.size(); ++i)
        EXPECT_NE(calls[i].headers.find(L"If-Range:\"v2\""), std::wstring::npos) << WideToUtf8(calls[i].headers);
}

TEST(NetDownload, MeterFollowsTheDownloadAndSmoothsTheRate)
{
    uint64_t now = 0;
    CDownloadMeter meter([&now] { return now; });
    DownloadSnapshot idle = meter.Snapshot();
    EXPECT_EQ(idle.nTotal, 0);
    EXPECT_EQ(idle.nSecondsLeft, -1);
    meter.Start(10000);
    for (int i = 1; i <= 3; ++i) {
        now = i * 1000;
        meter.Update(i * 1000);
    }
    DownloadSnapshot running = meter.Snapshot();
    EXPECT_EQ(running.nBytesDone, 3000);
    EXPECT_EQ(running.nElapsedMs, 3000u);
    EXPECT_DOUBLE_EQ(running.dBytesPerSecond, 1000.0);
    EXPECT_EQ(running.nSecondsLeft, 7);
    // Nothing arrives for a while: the rate falls to nothing.
    now = 9000;
    DownloadSnapshot stalled = meter.Snapshot();
    EXPECT_EQ(stalled.dBytesPerSecond, 0.0);
    EXPECT_EQ(stalled.nSecondsLeft, -1);
    // Bytes taken back start the measurement again.
    meter.Update(500);
    now = 9200;
    EXPECT_EQ(meter.Snapshot().dBytesPerSecond, 0.0);
    EXPECT_EQ(meter.Snapshot().nBytesDone, 500);

    // The engine feeds it from its workers.
    EngineRun run("net-meter");
    CDownloadMeter real;
    run.server.content = PatternBytes(50000);
    run.param.pMeter = &real;
    ASSERT_EQ(run.Run(), 0);
    DownloadSnapshot done = real.Snapshot();
    EXPECT_EQ(done.nBytesDone, 50000);
    EXPECT_EQ(done.nTotal, 50000);
}

TEST(NetDownload, WorkerThatCannotStartFailsTheDownloadAfterTheOthersEnd)
{
    LogTail log;
    EngineRun run("net-nothread");
    run.server.content = PatternBytes(4000);
    run.param.nDownloadThread = 4;
    int started = 0;
    std::atomic<int> finished{0};
    auto starter = [&](int index, std::function<void()> body, std::thread& thread) {
        if (index == 2)
            return false;
        ++started;
        thread = std::thread([&, body] {
            body();
            ++finished;
        });
        return true;
    };
    EXPECT_EQ(run.Run(starter), -4);
    EXPECT_EQ(started, 2);
    EXPECT_EQ(finished.load(), 2);   // joined before the engine returned
    EXPECT_EQ(run.RangeCalls().size(), 2u);
    EXPECT_EQ(log.Count("ERR:start download thread 2 fail!"), 1u);
}

TEST(NetDownload, CancelStopsTheWorkersBetweenReads)
{
    EngineRun run("net-cancel");
    run.server.content = PatternBytes(200000);
    run.server.chunk = 1000;
    run.param.nDownloadThread = 2;
    run.events.cancelOnProgress = &run.cancel;
    EXPECT_EQ(run.Run(), -4);
    // No retry after the cancel, and far fewer chunks than the file holds.
    EXPECT_LE(run.RangeCalls().size(), 2u);
    EXPECT_GE(run.RangeCalls().size(), 1u);
    size_t progress = 0;
    for (const Event& e : run.events.events)
        progress += e.event == kDownloadProgress;
    EXPECT_LT(progress, 10u);
}

TEST(NetDownload, CancelEndsAReadBlockedOnASilentServer)
{
    // Closing the handle ends a blocked read on Windows but not under Wine:
    // either way the download ends soon after the cancel, and a read that
    // never returns is left behind without holding the engine.
    for (bool abortIgnored : {false, true}) {
        SCOPED_TRACE(abortIgnored ? "the read ignores the abort" : "the abort ends the read");
        EngineRun run("net-cancel-stall");
        run.server.content = PatternBytes(3000);
        run.server.readDelayMs = 60000;   // headers, then nothing
        run.server.abortIgnored = abortIgnored;
        run.param.nDownloadThread = 2;
        TestNetTimeLimits().nWatchMs = 100;
        std::thread canceller([&run] {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            __atomic_store_n(&run.cancel, true, __ATOMIC_RELAXED);
        });
        auto begin = std::chrono::steady_clock::now();
        EXPECT_EQ(run.Run(), -4);
        auto ms =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - begin).count();
        canceller.join();
        EXPECT_LT(ms, 700) << "the download ended " << ms << " ms after its start, the cancel came at 200 ms";
        EXPECT_EQ(run.RangeCalls().size(), 2u);
        if (abortIgnored) {
            EXPECT_EQ(run.server.created - run.server.freed, 2) << "both reads still blocked after the end";
        }
    }
}

TEST(NetDownload, SlowAttemptIsAbandonedAndCostsAnAttemptEvenWithNewBytes)
{
    LogTail log;
    EngineRun run("net-slow");
    run.server.content = PatternBytes(100000);
    run.server.chunk = 10;            // 10 bytes every 20 ms: far below the lowest speed
    run.server.readDelayMs = 20;
    run.param.nDownloadThread = 1;
    TestNetTimeLimits().nLowSpeedMs = 150;
    EXPECT_EQ(run.Run(), -4);
    // Every attempt wrote new bytes, yet the budget of eleven ran out.
    EXPECT_EQ(run.RangeCalls().size(), 11u) << log.Text();
    EXPECT_EQ(log.Count("the attempt is abandoned"), 11u);
    EXPECT_GT(run.server.bodyBytes.load(), 11 * 10);
}

// The gate's probes: one at a time, every second for the first minute after
// the last byte, then 1.5 times longer up to 15 s, +-20 %; a Retry-After
// asks for more; an answer opens it. And what counts as no network.
TEST(NetGate, OneProbeAtATimeEverySecondThenLongerUpToFifteen)
{
    CNetworkGate gate(7);
    uint32_t wait = 0;
    EXPECT_EQ(gate.Enter(0, wait), CNetworkGate::kOpen);
    const uint32_t first = gate.NoNetwork(1000, 0, 0, false);
    EXPECT_GE(first, 800u);
    EXPECT_LE(first, 1200u);
    EXPECT_EQ(gate.Enter(1000, wait), CNetworkGate::kWait);
    EXPECT_EQ(wait, first);
    EXPECT_EQ(gate.NoNetwork(1001, 0, 0, false), first - 1) << "a late failure moved the probe";
    EXPECT_EQ(gate.Enter(1000 + first, wait), CNetworkGate::kProbe);
    EXPECT_EQ(gate.Enter(1000 + first, wait), CNetworkGate::kWait) << "two probes at once";
    // A long outage: the pauses between probes.
    uint32_t now = 1000 + first;
    uint32_t previous = first;
    std::string trace;
    while (now < 400000) {
        const uint32_t pause = gate.NoNetwork(now, 0, 0, true);
        trace += std::to_string(pause) + " ";
        if (now < 60000) {
            EXPECT_TRUE(pause >= 800 && pause <= 1200) << trace;
        } else {
            EXPECT_LE(pause, 18000u) << trace;
            EXPECT_GE(pause, std::min(previous, 12000u)) << trace;
        }
        previous = pause;
        now += pause;
        ASSERT_EQ(gate.Enter(now, wait), CNetworkGate::kProbe) << trace;
    }
    EXPECT_GE(previous, 12000u) << trace;
    EXPECT_GE(gate.NoNetwork(now, 0, 25000, true), 25000u) << "Retry-After";
    EXPECT_TRUE(gate.Open());
    EXPECT_EQ(gate.Enter(now, wait), CNetworkGate::kOpen);
    EXPECT_FALSE(gate.Open());
    for (uint32_t error : {12002u, 12007u, 12029u, 12030u, 12031u, 12152u})
        EXPECT_TRUE(IsNoNetworkError(error)) << error;
    for (uint32_t error : {0u, 12017u, 12157u, 12175u})
        EXPECT_FALSE(IsNoNetworkError(error)) << error;
    for (int status : {408, 429, 502, 503, 504})
        EXPECT_TRUE(IsOutageStatus(status)) << status;
    for (int status : {200, 206, 400, 404, 407, 500, 501})
        EXPECT_FALSE(IsOutageStatus(status)) << status;
}

// Refused and dropped connections, 502s: the workers wait at the gate for
// free, the meter says so, and the download goes on with its bytes when the
// network is back. Once the last byte is older than the outage window, such
// attempts use the budget.
TEST(NetDownload, OutageIsWaitedOutAtTheGateForFree)
{
    struct Case {
        const char* name;
        uint32_t error;
        int status;
        int down;             // range requests that find no network
        uint32_t outageMs;
        int workers;
        int result;
        const char* line;
    };
    const Case cases[] = {
        {"refused", 12029, 0, 60, 60000, 5, 0, "no network (error 12029): waiting 10 ms"},
        {"dropped without an answer", 12152, 0, 60, 60000, 5, 0, "no network (error 12152): waiting 10 ms"},
        {"502 from a proxy", 0, 502, 30, 60000, 5, 0, "no network (status 502): waiting 10 ms"},
        {"longer than the window", 12029, 0, 1000, 0, 1, -4, "Request fail,  retry 10..."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LogTail log;
        EngineRun run("net-outage");
        CDownloadMeter meter;
        run.server.content = PatternBytes(30000);
        run.server.etag = "\"o\"";
        run.server.downRequests = c.down;
        run.server.downError = c.error;
        run.server.downStatus = c.status;
        run.server.meter = &meter;
        run.param.pMeter = &meter;
        run.param.nDownloadThread = c.workers;
        TestNetTimeLimits().gate.nProbeMs = 10;
        TestNetTimeLimits().nOutageMs = c.outageMs;
        EXPECT_EQ(run.Run(), c.result);
        EXPECT_GE(log.Count(c.line), 1u) << log.Text();
        if (c.result == 0) {
            EXPECT_EQ(run.FileBytes(), run.server.content);
            EXPECT_EQ(log.Count("Request fail"), 0u) << log.Text();
            EXPECT_GE(log.Count("probing the network"), 1u);
            ASSERT_GE(run.server.waitingSeen.size(), 6u);
            EXPECT_FALSE(run.server.waitingSeen[0]);
            EXPECT_GE(std::count(run.server.waitingSeen.begin(), run.server.waitingSeen.end(), true), 1)
                << "the probes, while the meter said it waits";
            EXPECT_FALSE(meter.Snapshot().bWaiting);
            EXPECT_EQ(nWinHttpFailCount.load() + nInternetFailCount.load(), 0) << "no stack blamed";
        } else {
            EXPECT_EQ(run.RangeCalls().size(), 22u);   // eleven attempts, secure and plain
        }
    }
}

// What a failed download wrote is resumed by the next call for the same
// file: after a cancel, and after one range failed for good while the other
// completed (a finished interval sends no request). Another file starts over.
TEST(NetDownload, RetryKeepsTheBytesOfTheFailedDownload)
{
    struct Case {
        const char* name;
        int failAt;                // a range covering this byte fails for good (-1: the download is cancelled)
        const char* etagOnRetry;   // the file's ETag when the caller retries
        bool resumed;
    };
    const Case cases[] = {
        {"cancelled, the same file: only the missing bytes", -1, "\"v1\"", true},
        {"one range failed for good: only that range", 150000, "\"v1\"", true},
        {"another file: everything again", -1, "\"v2\"", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EngineRun run("net-kept");
        DownloadKept kept;
        CDownloadMeter meter;
        run.server.content = PatternBytes(200000);
        run.server.etag = "\"v1\"";
        run.server.chunk = 1000;
        run.server.failAt = c.failAt;
        run.param.nDownloadThread = 2;
        run.param.pKept = &kept;
        run.param.pMeter = &meter;
        if (c.failAt < 0)
            run.events.cancelOnProgress = &run.cancel;
        ASSERT_EQ(run.Run(), -4);
        int32_t keptBytes = 0;
        for (const ByteSpan& span : kept.done)
            keptBytes += span.nEnd - span.nFirst;
        ASSERT_GT(keptBytes, 0);
        if (c.failAt >= 0) {
            EXPECT_EQ(keptBytes, 100000) << "the other range completed";
        }
        EXPECT_EQ(kept.strValidator, "\"v1\"");

        run.cancel = false;
        run.events.cancelOnProgress = nullptr;
        run.events.events.clear();
        run.server.failAt = -1;
        run.server.etag = c.etagOnRetry;
        if (!c.resumed)
            run.server.content = PatternBytes(200000).substr(7) + "1234567";
        const size_t callsBefore = run.RangeCalls().size();
        const int64_t before = run.server.bodyBytes.load();
        EXPECT_EQ(run.Run(), 0);
        EXPECT_EQ(run.FileBytes(), run.server.content);
        EXPECT_EQ(run.server.bodyBytes.load() - before, c.resumed ? 200000 - keptBytes : 200000);
        if (c.failAt >= 0) {
            EXPECT_EQ(run.RangeCalls().size() - callsBefore, 1u) << "a finished range asked again";
        }
        // The first progress shown is what was kept, and never less after it.
        int32_t shown = 0;
        for (const Event& e : run.events.events)
            if (e.event == kDownloadProgress) {
                if (shown == 0 && c.resumed) {
                    EXPECT_EQ(e.value1, keptBytes);
                }
                EXPECT_GE(e.value1, shown);
                shown = e.value1;
            }
        EXPECT_EQ(kept.nSize, 0);   // nothing left to resume after a success
        if (c.resumed) {
            std::vector<FakeCall> calls = run.RangeCalls();
            EXPECT_NE(calls.back().headers.find(L"If-Range:\"v1\""), std::wstring::npos);
        }
    }
}

TEST(NetDownload, HttpDownloadClearsTheCancelFlag)
{
    // Nothing reachable outside Windows; the engine still runs its course.
    bool cancel = true;
    DownloadParam param;
    param.nDownloadThread = 0;
    param.strDownloadUrl = L"https://h/f";
    EXPECT_FALSE(HttpDownload(&param, nullptr, &cancel));
    EXPECT_FALSE(cancel);
}

#ifndef _WIN32
// Also when a proxy sign-in was refused earlier in the same download: the
// disk is what the user must act on.
TEST(NetDownload, FailedWriteEndsTheDownloadAtOnceAsADiskFailure)
{
    SetProxyCredentialPrompt(nullptr);
    for (bool signInRefused : {false, true}) {
        SCOPED_TRACE(signInRefused ? "after a refused sign-in" : "alone");
        LogTail log;
        EngineRun run("net-full");
        run.server.content = PatternBytes(3000);
        run.server.refuseSignIn = signInRefused;
        run.param.nDownloadThread = 3;
        run.param.strSavePath = L"\\dev\\full";   // every flush fails: no space left
        EXPECT_EQ(run.Run(), kDownloadDiskFailed);
        for (const Event& e : run.events.events)
            EXPECT_NE(e.event, kDownloadProgress) << DescribeEvents(run.events.events);
        // No retry, and no stack is blamed.
        EXPECT_LE(run.RangeCalls().size(), 3u);
        EXPECT_GE(log.Count("write to file fail"), 1u);
        EXPECT_EQ(nWinHttpFailCount.load() + nInternetFailCount.load(), 0);
        EXPECT_EQ(ProxySignInRefused(), signInRefused);
    }
}
#endif

// A 407 that one stack could not answer lets the other stack try before the
// interval fails; when both meet it, the interval fails at once.
TEST(NetDownload, ProxyRefusalOnOneStackLetsTheOtherTry)
{
    for (int refusing : {1, 3}) {
        SCOPED_TRACE(refusing == 3 ? "both stacks" : "WinHTTP");
        LogTail log;
        EngineRun run("net-407");
        run.server.content = PatternBytes(3000);
        run.param.nDownloadThread = 1;
        run.server.proxyTypes = refusing;
        EXPECT_EQ(run.Run(), refusing == 3 ? -4 : 0) << log.Text();
        std::vector<int> types;
        for (const FakeCall& call : run.RangeCalls())
            types.push_back(call.type);
        EXPECT_EQ(types, (std::vector<int>{0, 1})) << log.Text();
        if (refusing == 1) {
            EXPECT_EQ(run.FileBytes(), run.server.content);
        }
    }
}

// The engine over seeded random answers: each with its own speed, some cut,
// some stalled (on odd seeds a stalled read ignores the abort, as under
// Wine), with short clocks so that idle workers take over. Every byte is
// written exactly once, progress never goes back and ends at the size.
TEST(NetDownload, RandomAnswersWriteEveryByteExactlyOnce)
{
    size_t takeOvers = 0;
    for (uint32_t seed = 1; seed <= 16; ++seed) {
        SCOPED_TRACE(seed);
        LogTail log;
        EngineRun run("net-chaos");
        const int32_t size = 20000 + static_cast<int32_t>(seed * 7919 % 50000);
        run.server.content = PatternBytes(static_cast<size_t>(size));
        run.server.etag = "\"c\"";
        run.server.chaosSeed = seed;
        run.server.chaosIgnoresAbort = seed % 2 == 1;
        run.param.nDownloadThread = 2 + static_cast<int>(seed % 5);
        SchedulerTuning& tune = TestNetTimeLimits().scheduler;
        tune.nStallMs = 60;
        tune.nSpeedWindowMs = 100;
        tune.nSpeedKnownMs = 20;
        tune.nMinTakeOver = 512;
        tune.nTakeOverWorthMs = 5;
        std::vector<int> writes(static_cast<size_t>(size), 0);
        run.observer = [&writes](int32_t offset, int32_t count) {
            for (int32_t b = offset; b < offset + count; ++b)
                ++writes[static_cast<size_t>(b)];
        };
        ASSERT_EQ(run.Run(), 0) << log.Text();
        EXPECT_EQ(run.FileBytes(), run.server.content);
        EXPECT_EQ(std::count(writes.begin(), writes.end(), 1), size) << "bytes written more or less than once";
        int last = 0;
        for (const Event& e : run.events.events) {
            if (e.event != kDownloadProgress)
                continue;
            EXPECT_GE(e.value1, last);
            last = e.value1;
        }
        EXPECT_EQ(last, size);
        takeOvers += log.Count("] took bytes ");
    }
    EXPECT_GE(takeOvers, 8u) << "the schedules took nothing over";
}

// ---------------------------------------------------------------------------
// Size probe

TEST(NetSizeProbe, WinHttpHeadFirstThenWinInetGet)
{
    // An answer without a length and a refused HEAD are asked again, on the
    // same back-end, for the first byte: the total comes from Content-Range.
    struct Case {
        bool winHttpDown;
        bool internetDown;
        bool sizeKnown;
        int status;          // 0: the file is there
        int headStatus;
        bool ignoreRange;
        size_t fileSize;
        bool ok;
        std::vector<std::wstring> methods;
        int objects;         // request objects made
    };
    const Case cases[] = {
        {false, false, true, 0, 0, false, 777, true, {L"HEAD"}, 1},
        {true, false, true, 0, 0, false, 777, true, {L"HEAD", L"HEAD", L"GET"}, 2},   // WinHTTP: secure then plain
        {true, true, true, 0, 0, false, 777, false, {L"HEAD", L"HEAD", L"GET", L"GET"}, 2},
        {false, false, false, 0, 0, false, 777, true, {L"HEAD", L"GET bytes=0-0"}, 2},
        {false, false, true, 0, 405, false, 777, true, {L"HEAD", L"GET bytes=0-0"}, 2},
        {false, false, true, 0, 501, false, 777, true, {L"HEAD", L"GET bytes=0-0"}, 2},
        // No length and ranges ignored: no size on either back-end.
        {false, false, false, 0, 0, true, 777, false, {L"HEAD", L"GET bytes=0-0", L"GET", L"GET bytes=0-0"}, 4},
        // An error page's length is not a size, nor is an empty file.
        {false, false, true, 404, 0, false, 777, false, {L"HEAD", L"GET"}, 2},
        {false, false, true, 503, 0, false, 777, false, {L"HEAD", L"GET"}, 2},
        {false, false, true, 0, 0, false, 0, false, {L"HEAD", L"GET"}, 2},
    };
    for (const Case& c : cases) {
        FakeServer server;
        server.content = PatternBytes(c.fileSize);
        server.winHttpDown = c.winHttpDown;
        server.internetDown = c.internetDown;
        server.sizeKnown = c.sizeKnown;
        server.status = c.status;
        server.headStatus = c.headStatus;
        server.ignoreRange = c.ignoreRange;
        int32_t size = -1;
        int destroyedBefore = CFakeRequest::nDestroyed;
        bool ok = QueryRemoteFileSize([&](int type) { return new CFakeRequest(&server, type); },
                                      L"https://h:8443/f.bin", size);
        EXPECT_EQ(ok, c.ok);
        EXPECT_EQ(size, c.ok ? static_cast<int32_t>(c.fileSize) : -1);
        std::vector<std::wstring> methods;
        for (const FakeCall& call : server.Calls()) {
            methods.push_back(call.headers.empty() ? call.method : call.method + L" bytes=0-0");
            EXPECT_EQ(call.port, 8443);
            EXPECT_TRUE(call.headers.empty() || call.headers == L"Range:bytes=0-0") << WideToUtf8(call.headers);
        }
        EXPECT_EQ(methods, c.methods);
        // Each request object is destroyed before the return.
        EXPECT_EQ(CFakeRequest::nDestroyed - destroyedBefore, c.objects);
    }
}

// The size query follows the redirect and keeps the final URL: the ranges
// go there directly. When the final URL fails for good, a range tries the
// original URL (and its redirect) once. A redirect loop stops after five.
TEST(NetDownload, RangesGoToTheFinalUrlAndBackToTheOriginalOnce)
{
    auto callsTo = [](const std::vector<FakeCall>& calls, const wchar_t* server) {
        return std::count_if(calls.begin(), calls.end(), [server](const FakeCall& c) { return c.server == server; });
    };
    {
        EngineRun run("net-moved");
        run.server.content = PatternBytes(5000);
        run.server.redirectTo = L"https://cdn.example/pkg/setup.exe";
        EXPECT_EQ(run.Run(), 0);
        EXPECT_EQ(run.FileBytes(), run.server.content);
        std::vector<FakeCall> calls = run.server.Calls();
        EXPECT_EQ(callsTo(calls, L"files.example"), 1);
        EXPECT_EQ(callsTo(calls, L"cdn.example"), 6);
    }
    // A status that will not change fails over at once; a budget spent at
    // the final URL gives the original URL a fresh one. The URLs' queries
    // (a signed URL's token) are never logged.
    for (int status : {404, 500}) {
        SCOPED_TRACE(status);
        LogTail log;
        EngineRun run("net-moved-fails");
        run.param.strDownloadUrl = L"https://files.example/pkg/setup.exe?token=SECRET1";
        run.server.content = PatternBytes(5000);
        run.server.redirectTo = L"https://cdn.example/pkg/setup.exe?token=SECRET2";
        run.server.cdnRangeStatus = status;
        run.param.nDownloadThread = 1;
        EXPECT_EQ(run.Run(), -4);
        std::vector<FakeCall> calls = run.server.Calls();
        // The size query; the range at the final URL, then the original and its redirect.
        const int attempts = status == 404 ? 1 : 11;
        EXPECT_EQ(callsTo(calls, L"files.example"), 1 + attempts);
        EXPECT_EQ(callsTo(calls, L"cdn.example"), 1 + attempts + attempts);
        EXPECT_EQ(log.Count("SECRET"), 0u) << log.Text();
    }
    {
        EngineRun run("net-moved-loop");
        run.server.content = PatternBytes(5000);
        run.server.redirectTo = L"https://files.example/again";
        EXPECT_EQ(run.Run(), -3);
        EXPECT_EQ(run.server.Calls().size(), 2u * (1 + CBaseRequest::kMaxRedirects));
    }
}

// Mirrors: the size query goes down the list; an interval whose host fails
// for good, or finds no network, goes on from the next host with its bytes;
// a mirror with another size or version is not used; the end of the list
// fails as one URL does. Hosts are logged, never a query.
TEST(NetDownload, MirrorsTakeOverWhatTheirHostCannotServe)
{
    // The first host answers the size query but not the ranges.
    static const auto RangesFail = [](FakeServer& s, int status) {
        s.hosts[L"files.example"].status = status;
        s.hosts[L"files.example"].rangeOnly = true;
    };
    struct Case {
        const char* name;
        std::function<void(FakeServer&)> script;
        int32_t approved;
        int result;
        std::vector<const char*> lines;   // each logged at least once
        const wchar_t* inUse;             // the URL last asked
        std::vector<const wchar_t*> unasked;
    };
    const std::string file = PatternBytes(200000);
    const Case cases[] = {
        {"first host 404", [](FakeServer& s) { s.hosts[L"files.example"].status = 404; }, -1, 0,
         {"ERR:GetDownloadFileSize fail! (https://files.example)", "GetDownloadFileSize: next host https://m2.example"},
         L"https://m2.example/setup.exe?token=SECRET", {L"m3.example"}},
        {"first host another size than approved", [](FakeServer& s) { s.hosts[L"files.example"].content = "short"; },
         200000, 0, {"ERR:https://files.example: the file is now 5 bytes, the free-space check approved 200000"},
         L"https://m2.example/setup.exe?token=SECRET", {L"m3.example"}},
        {"first host dies halfway", [](FakeServer& s) { s.hosts[L"files.example"].dieAfter = 100000; }, -1, 0,
         {"no network at https://files.example: bytes ", "mirror https://m2.example has the same file"},
         L"https://m2.example/setup.exe?token=SECRET", {L"m3.example"}},
        {"ranges refused, second mirror another file",
         [](FakeServer& s) {
             RangesFail(s, 404);
             s.hosts[L"m2.example"].content = "another file";
         },
         -1, 0,
         {"failed at https://files.example: bytes ", "ERR:mirror https://m2.example has another file (12 bytes, this "
          "download 200000): not used", "go on from https://m3.example"},
         L"https://m3.example/setup.exe", {}},
        {"second mirror another version",
         [](FakeServer& s) {
             RangesFail(s, 410);
             s.hosts[L"m2.example"].etag = "\"other\"";
         },
         -1, 0, {"ERR:mirror https://m2.example has another version of the file"}, L"https://m3.example/setup.exe",
         {}},
        {"second mirror changes its file during the download",
         [](FakeServer& s) {
             RangesFail(s, 404);
             s.hosts[L"m2.example"].rangeEtag = "\"changed\"";
         },
         -1, 0, {"ERR:mirror https://m2.example answered with another version of the file: not used"},
         L"https://m3.example/setup.exe", {}},
        {"second mirror its own ETag, the same Last-Modified",
         [](FakeServer& s) {
             RangesFail(s, 403);
             s.hosts[L"m2.example"].etag = "\"own\"";
             s.lastModified = "Tue, 01 Dec 2026 10:00:00 GMT";
         },
         -1, 0, {"mirror https://m2.example has the same file"}, L"https://m2.example/setup.exe?token=SECRET",
         {L"m3.example"}},
        {"every host fails",
         [](FakeServer& s) {
             RangesFail(s, 404);
             s.hosts[L"m2.example"].status = 403;
             s.hosts[L"m3.example"].down = true;
         },
         -1, -4, {"ERR:mirror https://m2.example gave no size: not used", "ERR:mirror https://m3.example gave no size",
                  "failed for good"},
         L"https://files.example/setup.exe?token=SECRET", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LogTail log;
        EngineRun run("net-mirrors");
        run.server.content = file;
        run.server.etag = "\"same\"";
        run.server.chunk = 5000;
        c.script(run.server);
        run.param.strDownloadUrl = L"https://files.example/setup.exe?token=SECRET";
        run.param.mirrorUrls = {L"https://m2.example/setup.exe?token=SECRET", L"", L"https://m3.example/setup.exe",
                                L"https://m3.example/setup.exe"};
        run.param.nApprovedSize = c.approved;
        std::wstring inUse;
        run.param.pUrlInUse = &inUse;
        TestNetTimeLimits().gate.nProbeMs = 10;
        EXPECT_EQ(run.Run(), c.result) << log.Text();
        if (c.result == 0) {
            EXPECT_EQ(run.FileBytes(), file);
        }
        for (const char* line : c.lines)
            EXPECT_GE(log.Count(line), 1u) << line << "\n" << log.Text();
        EXPECT_EQ(inUse, c.inUse);
        EXPECT_EQ(log.Count("SECRET"), 0u);
        std::map<std::wstring, int> asked;
        for (const FakeCall& call : run.server.Calls())
            ++asked[call.server];
        for (const wchar_t* host : c.unasked)
            EXPECT_EQ(asked[host], 0) << WideToUtf8(host);
        EXPECT_LE(run.server.bodyBytes.load(), static_cast<int64_t>(file.size()) * 21 / 20)
            << "bytes kept when an interval moves";
    }
}

// ---------------------------------------------------------------------------
// Beacon URL split

TEST(NetBeacon, SetUrlsDropsEightCharactersAndSplitsAtTheFirstSlash)
{
    CHttpBeacon* beacon = CHttpBeacon::Instance();
    EXPECT_EQ(beacon, CHttpBeacon::Instance());
    beacon->SetUrls(L"https://collector.example/collect?v=1&t=event", L"http://host.example/collect?v=1");
    EXPECT_EQ(beacon->strHost1, L"collector.example");
    EXPECT_EQ(beacon->strPath1, L"collect?v=1&t=event");
    EXPECT_EQ(beacon->strHost2, L"ost.example");   // eight characters go whatever the scheme
    EXPECT_EQ(beacon->strPath2, L"collect?v=1");

    beacon->SetUrls(L"https://localhost:47443", L"short");
    EXPECT_EQ(beacon->strHost1, L"localhost:47443");
    EXPECT_EQ(beacon->strPath1, L"localhost:47443");
    EXPECT_EQ(beacon->strHost2, L"");
    EXPECT_EQ(beacon->strPath2, L"");
    beacon->SetUrls(L"", L"");
}
