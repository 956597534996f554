// The platform's own stack as a yardstick for the download engine: one
// WinHTTP GET over TLS read in a plain loop into a file, nothing else.
//   winhttp_get.exe https://HOST:PORT/PATH OUTFILE
// Prints "bytes <n>" and "elapsed_ms <n>" (from before the session opens to
// the file's close); exits 0 on a complete 200 answer, 1 otherwise, 2 on bad
// usage.
#include <windows.h>
#include <winhttp.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Handle {
    HINTERNET h = nullptr;
    ~Handle()
    {
        if (h != nullptr)
            WinHttpCloseHandle(h);
    }
};

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: winhttp_get URL OUTFILE\n");
        return 2;
    }
    URL_COMPONENTS parts = {};
    parts.dwStructSize = sizeof(parts);
    wchar_t host[256] = {};
    wchar_t path[2048] = {};
    parts.lpszHostName = host;
    parts.dwHostNameLength = 256;
    parts.lpszUrlPath = path;
    parts.dwUrlPathLength = 2048;
    if (!WinHttpCrackUrl(argv[1], 0, 0, &parts)) {
        std::fprintf(stderr, "bad URL\n");
        return 2;
    }
    ULONGLONG begin = GetTickCount64();
    Handle session, connect, request;
    session.h = WinHttpOpen(nullptr, WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
    if (session.h != nullptr)
        connect.h = WinHttpConnect(session.h, host, parts.nPort, 0);
    DWORD flags = parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0;
    if (connect.h != nullptr)
        request.h = WinHttpOpenRequest(connect.h, L"GET", path, nullptr, WINHTTP_NO_REFERER,
                                       WINHTTP_DEFAULT_ACCEPT_TYPES, flags);
    DWORD status = 0;
    DWORD length = sizeof(status);
    if (request.h == nullptr || !WinHttpSendRequest(request.h, WINHTTP_NO_ADDITIONAL_HEADERS, 0, nullptr, 0, 0, 0) ||
        !WinHttpReceiveResponse(request.h, nullptr) ||
        !WinHttpQueryHeaders(request.h, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &length, WINHTTP_NO_HEADER_INDEX) ||
        status != 200) {
        std::fprintf(stderr, "request failed: error %lu, status %lu\n", GetLastError(), status);
        return 1;
    }
    FILE* out = _wfopen(argv[2], L"wb");
    if (out == nullptr) {
        std::fprintf(stderr, "cannot open the output file\n");
        return 1;
    }
    std::vector<char> buffer(102400);
    unsigned long long total = 0;
    bool ok = true;
    for (;;) {
        DWORD read = 0;
        if (!WinHttpReadData(request.h, buffer.data(), static_cast<DWORD>(buffer.size()), &read)) {
            ok = false;
            break;
        }
        if (read == 0)
            break;
        if (std::fwrite(buffer.data(), 1, read, out) != read) {
            ok = false;
            break;
        }
        total += read;
    }
    ok = std::fclose(out) == 0 && ok;
    std::printf("bytes %llu\nelapsed_ms %llu\n", total, static_cast<unsigned long long>(GetTickCount64() - begin));
    return ok ? 0 : 1;
}
