// Loading the TLS stack ahead of the first secure request (Windows only).
#include "net/SecureChannel.h"

#include "logging/Log.h"
#include "net/BaseRequest.h"
#include "net/ProxySettings.h"

#include <windows.h>
#define SECURITY_WIN32
#include <schannel.h>
#include <security.h>
#include <wincrypt.h>
#include <winhttp.h>

#include <atomic>

namespace {

std::atomic<HANDLE> hWarmUpThread{nullptr};

DWORD WINAPI WarmUpThread(LPVOID parameter)
{
    if (auto prepare = reinterpret_cast<void (*)()>(parameter))
        prepare();
    const ULONGLONG begin = GetTickCount64();
    const bool ok = WarmUpSecureChannel();
    LOG_INFO("secure channel loaded: %s, %u ms", ok ? "yes" : "no",
             static_cast<unsigned>(GetTickCount64() - begin));
    return 0;
}

// The engine's first request reads the user's proxy settings through
// WinINet, then opens a WinHTTP session: both libraries are loaded here
// instead.
void LoadRequestStacks()
{
    UserProxySettings settings;
    ReadUserProxySettings(settings);
    if (HINTERNET session = WinHttpOpen(nullptr, WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                        WINHTTP_NO_PROXY_BYPASS, 0))
        WinHttpCloseHandle(session);
}

// The first handshake checks the server's chain against the trusted roots
// with the SSL policy; the first chain a process builds sets up the system's
// chain engine, which is the slow part. One of the roots stands in for the
// server's certificate.
void BuildOneChain()
{
    HCERTSTORE roots = CertOpenSystemStoreW(0, L"ROOT");
    if (roots == nullptr)
        return;
    if (PCCERT_CONTEXT root = CertEnumCertificatesInStore(roots, nullptr)) {
        CERT_CHAIN_PARA para = {};
        para.cbSize = sizeof(para);
        PCCERT_CHAIN_CONTEXT chain = nullptr;
        if (CertGetCertificateChain(nullptr, root, nullptr, nullptr, &para, 0, nullptr, &chain)) {
            CERT_CHAIN_POLICY_PARA policy = {};
            policy.cbSize = sizeof(policy);
            CERT_CHAIN_POLICY_STATUS status = {};
            status.cbSize = sizeof(status);
            CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &policy, &status);
            CertFreeCertificateChain(chain);
        }
        CertFreeCertificateContext(root);
    }
    CertCloseStore(roots, 0);
}

} // namespace

bool WarmUpSecureChannel()
{
    LoadRequestStacks();
    BuildOneChain();
    SCHANNEL_CRED settings = {};
    settings.dwVersion = SCHANNEL_CRED_VERSION;
    settings.dwFlags = SCH_CRED_NO_DEFAULT_CREDS | SCH_CRED_MANUAL_CRED_VALIDATION;
    CredHandle credentials;
    TimeStamp expiry;
    if (AcquireCredentialsHandleW(nullptr, const_cast<wchar_t*>(UNISP_NAME_W), SECPKG_CRED_OUTBOUND, nullptr,
                                  &settings, nullptr, nullptr, &credentials, &expiry) != SEC_E_OK)
        return false;

    SecBuffer token = {0, SECBUFFER_TOKEN, nullptr};
    SecBufferDesc output = {SECBUFFER_VERSION, 1, &token};
    CtxtHandle context;
    ULONG granted = 0;
    const SECURITY_STATUS status = InitializeSecurityContextW(
        &credentials, nullptr, const_cast<wchar_t*>(L"localhost"),
        ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM | ISC_REQ_CONFIDENTIALITY | ISC_REQ_MANUAL_CRED_VALIDATION, 0, 0,
        nullptr, 0, &context, &output, &granted, &expiry);
    const bool made = status == SEC_I_CONTINUE_NEEDED && token.pvBuffer != nullptr && token.cbBuffer > 0;
    if (token.pvBuffer != nullptr)
        FreeContextBuffer(token.pvBuffer);
    if (status == SEC_I_CONTINUE_NEEDED || status == SEC_E_OK)
        DeleteSecurityContext(&context);
    FreeCredentialsHandle(&credentials);
    return made;
}

void StartSecureChannelWarmUp(void (*prepare)())
{
    if (hWarmUpThread.load() != nullptr)
        return;
    HANDLE thread = CreateThread(nullptr, 0, &WarmUpThread, reinterpret_cast<LPVOID>(prepare), 0, nullptr);
    if (thread == nullptr)
        return;
    HANDLE expected = nullptr;
    if (!hWarmUpThread.compare_exchange_strong(expected, thread)) {
        // Another caller started one first; this one runs to its end alone.
        CloseHandle(thread);
    }
}

void WaitSecureChannelWarmUp(unsigned ms)
{
    if (HANDLE thread = hWarmUpThread.load())
        WaitForSingleObject(thread, ms);
}
