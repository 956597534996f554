// One blocking HTTP request over one of two interchangeable back-ends
// (WinHTTP, WinINet). A request object owns its session, connection and
// request handles and closes them in its destructor; it serves exactly one
// request, one call at a time, on the thread that made it.
//
// Classes in this file: CBaseRequest. The back-ends are CWinHttpRequest
// (WinHttpRequest.h) and CInternetRequest (InternetRequest.h), Windows only.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "net/ProxySettings.h"

class CBaseRequest {
public:
    enum { kTypeWinHttp = 0, kTypeInternet = 1 };

    CBaseRequest();
    virtual ~CBaseRequest();
    CBaseRequest(const CBaseRequest&) = delete;
    CBaseRequest& operator=(const CBaseRequest&) = delete;

    // Back-end name for log lines: "WinHttp" or "Internet".
    virtual const char* GetTypeName() = 0;
    // Content-Length of the response; valid after Request returned true.
    // False when it is absent, not a plain decimal number or above 2^31 - 1.
    virtual bool GetUrlFileSize(int* size) = 0;
    // Bytes read into buffer, 0 at the end of the body, -1 on error.
    virtual int HttpRead(void* buffer, int capacity) = 0;
    virtual bool OpenSession() = 0;
    virtual bool ConnectSession(bool secure) = 0;
    virtual bool OpenRequest(bool secure) = 0;
    virtual bool SendRequest() = 0;
    // The response's status code (200, 206, 404...); valid after Request
    // returned true. False when the stack cannot tell it.
    virtual bool GetStatusCode(int* status) = 0;
    // The text of one response header by name ("ETag", "Content-Range"); false
    // when the response has none. A missing header is not logged: callers ask
    // for optional ones.
    virtual bool QueryHeader(const char* name, std::string& value) = 0;
    // Closes the request handle, from any thread (Abort).
    virtual void CloseRequestHandle() {}

    // Ends the exchange from another thread by closing the request handle:
    // a read blocked on a silent server fails, and Request makes no further
    // attempt. Safe to repeat. (Wine's stacks keep a handle in use open
    // until the blocked call returns, at the latest at the receive limit;
    // the download engine does not wait for such a call.)
    void Abort()
    {
        bAborted = true;
        CloseRequestHandle();
    }
    // The last Request found no network: the name did not resolve or the
    // server could not be reached (the same error codes on both stacks).
    bool NoConnection() const { return nSendError == 12007 || nSendError == 12029; }

    // Type 0 gives a CWinHttpRequest, 1 a CInternetRequest (Windows build);
    // anything else raises the assertion dialog and gives null. The caller
    // owns the object.
    static CBaseRequest* CreateInstance(int type);

    // Splits the URL and runs a secure attempt, then a plain one on the same
    // object when the secure one failed. True once response headers arrived,
    // whatever their status: the caller reads the status before the body.
    // Redirects are followed here, not by the stacks: at most
    // kMaxRedirects, to the same scheme only; a redirect beyond that is
    // handed back as the answer. strFinalUrl is the URL that answered.
    // The plain attempt is made only for a URL that no redirect has led to
    // in this process: a redirect's target, asked again later (the ranges
    // go to the size query's final URL), gets its secure attempt alone.
    bool Request(const std::wstring& url);
    bool RequestOnce(const std::wstring& url, bool plainAllowed);
    bool RequestImp(bool secure, const std::wstring& server, const std::wstring& object);

    // Server name and object name (path and query without the leading "/"
    // and without a fragment) of an "http://" or "https://" URL, the scheme
    // read at the start only, in any letter case. A URL without such a
    // scheme leaves both unchanged and yields true; one without a "/" after
    // the server, or with user information ("https://u:p@host/"), yields
    // false.
    static bool ParseUrl(const std::wstring& url, std::wstring& server, std::wstring& object);

    // "host:port" gives the host and the port; a server name without a valid
    // port (1..65535, digits only) is returned whole with port 0.
    static void SplitServerPort(const std::wstring& server, std::wstring& host, int& port);

    static constexpr int kMaxRedirects = 5;
    // The URL a redirect's Location leads to from base: the reference
    // resolved against base, with the scheme and host in lower case, "/"
    // for an empty path and no fragment. False when it is not an http or
    // https URL of base's scheme, names no host, carries user information,
    // or the Location is empty.
    static bool ResolveRedirect(const std::wstring& base, const std::wstring& location, std::wstring& next);

    // Process-wide WinINet options (null handle).
    static bool QueryInternetOpt(uint32_t option, std::string& bytes);
    static bool InternetSetOpt(uint32_t option, uint32_t value);

    // Set by the caller before Request.
    std::wstring strMethod;
    std::wstring strHeaders;
    // Set by Request (the host alone when the URL names a port).
    std::wstring strObjectName;
    std::wstring strServerName;
    // Set by OpenSession: the proxy settled for strUrl's server. Set by
    // OpenRequest: the proxy this attempt goes through ("host:port"), empty
    // when it goes direct. A 407 is answered only through a proxy and only
    // to that proxy; a server reached directly gets no sign-in at all, not
    // even the user's own Windows one.
    ProxyChoice proxyChoice;
    std::wstring strViaProxy;
    // Set by SendRequest when it failed: the stack's error code.
    uint32_t nSendError = 0;
    std::atomic<bool> bAborted{false};
    std::wstring strUrl;        // the URL of the attempt running now (its proxy)
    std::wstring strFinalUrl;   // the URL that gave the answer, after redirects
    // Owned platform handles; null when not open.
    void* hSession = nullptr;
    void* hConnect = nullptr;
    void* hRequest = nullptr;
    // The time limits the back-end sets on its session (milliseconds).
    uint32_t nConnectTimeoutMs = 15000;
    uint32_t nTransferTimeoutMs = 30000;
    // Proxy sign-in on the open request handle: the generation of the
    // credentials sent (ProxySignIn.h), and whether the user's own Windows
    // sign-in was offered.
    int nProxySent = 0;
    bool bProxyAutoTried = false;
    // Pushed into WinINet's per-server connection limits when non-zero.
    int32_t nMaxConnsPerServer = 0;
    // The port written in the URL, 0 when there was none: the back-ends then
    // use 443 for a secure and 80 for a plain connection (WinINet: 443).
    int nServerPort = 0;
};

// Logs one line for a failed platform call: its name, the error code and the
// code's text from messageModule (the WinINet message table).
void ShowApiError(const char* apiName, uint32_t errorCode, void* messageModule, const char* context);

// "Pathwick-Setup/<version> (Windows NT <major>.<minor>)", sent by every request.
const wchar_t* RequestUserAgent();

// The current thread's id as the log lines print it.
unsigned long CurrentThreadIdForLog();
