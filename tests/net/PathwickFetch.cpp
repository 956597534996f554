// Command-line harness around the download engine, for tests and benchmarks.
//   pathwick-fetch.exe URL OUTFILE [workers] [--stack=winhttp|internet] [--pause=MS] [--warm] [--cancel-after=MS]
//                      [--sign-in=USER:PASSWORD[:PASSWORD...]]
// Prints every engine event as one line and, last, "size_ms <n>" (from the
// start to the size event; -1 when there was none) and "elapsed_ms <n>". Exits
// with 0 when the download succeeded, 1 when it failed, 2 on bad usage.
// --stack pins every request to one back-end; --pause shortens the pause
// between the attempts of a range (2000 ms by default). --warm loads the TLS
// stack before the clock starts, as the installer does while its home page
// shows, and prints "warm_ms <n>" (what that took). --cancel-after raises the
// cancel flag from another thread that many milliseconds after the start.
// --sign-in answers a proxy's questions: the Nth with the Nth password (the
// last one repeated), printing "sign-in <N> <proxy> <realm>" for each.
#include "net/BaseRequest.h"
#include "net/HttpDownload.h"
#include "net/ProxySignIn.h"
#include "net/SecureChannel.h"

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <thread>
#include <vector>

namespace {

ULONGLONG gBegin = 0;
long long gSizeMs = -1;

void PrintEvent(int event, int value1, int value2, void*)
{
    switch (event) {
    case kDownloadStart:
        std::printf("event 0 start\n");
        break;
    case kDownloadSize:
        gSizeMs = static_cast<long long>(GetTickCount64() - gBegin);
        std::printf("event 1 size %d\n", value1);
        break;
    case kDownloadProgress:
        std::printf("event 2 progress %d %d\n", value1, value2);
        break;
    case kDownloadEnd:
        std::printf("event 3 end %d %d\n", value1, value2);
        break;
    default:
        std::printf("event %d %d %d\n", event, value1, value2);
    }
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    DownloadParam param;
    int positional = 0;
    int stack = -1;
    long pause = -1;
    bool warm = false;
    long cancelAfter = -1;
    std::wstring signIn;
    for (int i = 1; i < argc; ++i) {
        std::wstring arg = argv[i];
        if (arg == L"--stack=winhttp")
            stack = CBaseRequest::kTypeWinHttp;
        else if (arg == L"--stack=internet")
            stack = CBaseRequest::kTypeInternet;
        else if (arg.rfind(L"--pause=", 0) == 0)
            pause = std::wcstol(arg.c_str() + 8, nullptr, 10);
        else if (arg.rfind(L"--cancel-after=", 0) == 0)
            cancelAfter = std::wcstol(arg.c_str() + 15, nullptr, 10);
        else if (arg == L"--warm")
            warm = true;
        else if (arg.rfind(L"--sign-in=", 0) == 0)
            signIn = arg.substr(10);
        else if (positional == 0 && ++positional)
            param.strDownloadUrl = arg;
        else if (positional == 1 && ++positional)
            param.strSavePath = arg;
        else if (positional == 2 && ++positional)
            param.nDownloadThread = static_cast<int32_t>(std::wcstol(arg.c_str(), nullptr, 10));
        else
            positional = 99;
    }
    if (positional < 2 || positional > 3) {
        std::fprintf(stderr, "usage: pathwick-fetch URL OUTFILE [workers] [--stack=winhttp|internet] [--pause=MS] "
                             "[--warm] [--cancel-after=MS] [--sign-in=USER:PASSWORD...]\n");
        return 2;
    }
    // Full buffering would hold the event lines back until the end.
    std::setvbuf(stdout, nullptr, _IOLBF, 1 << 16);

    if (!signIn.empty()) {
        std::vector<std::wstring> parts;
        for (size_t at = 0, next; at <= signIn.size(); at = next + 1) {
            next = signIn.find(L':', at);
            if (next == std::wstring::npos)
                next = signIn.size();
            parts.push_back(signIn.substr(at, next - at));
        }
        SetProxyCredentialPrompt([parts](const std::wstring& host, const std::wstring& realm, int attempt,
                                         std::wstring& user, CSecretText& password) {
            std::printf("sign-in %d %ls %ls\n", attempt, host.c_str(), realm.c_str());
            user = parts[0];
            password = CSecretText(parts[parts.size() > 1 ? std::min<size_t>(attempt, parts.size() - 1) : 0]);
            return parts.size() > 1;
        });
    }
    bool cancel = false;
    CHttpDownload download(&param, &PrintEvent, &cancel);
    if (stack >= 0)
        download.SetRequestFactory([stack](int) { return CBaseRequest::CreateInstance(stack); });
    if (pause >= 0)
        download.SetRetryPause(static_cast<unsigned>(pause));
    if (warm) {
        const ULONGLONG begin = GetTickCount64();
        const bool loaded = WarmUpSecureChannel();
        std::printf("warm_ms %llu%s\n", static_cast<unsigned long long>(GetTickCount64() - begin),
                    loaded ? "" : " (not loaded)");
    }
    gBegin = GetTickCount64();
    std::thread canceller;
    if (cancelAfter >= 0)
        canceller = std::thread([&cancel, cancelAfter] {
            Sleep(static_cast<DWORD>(cancelAfter));
            __atomic_store_n(&cancel, true, __ATOMIC_RELAXED);
        });
    int result = download.Download();
    if (canceller.joinable())
        canceller.join();
    std::printf("size_ms %lld\n", gSizeMs);
    std::printf("elapsed_ms %llu\n", static_cast<unsigned long long>(GetTickCount64() - gBegin));
    std::fflush(stdout);
    return result == kDownloadOk ? 0 : 1;
}
