#include "system/PayloadVerifier.h"

#include "logging/Log.h"
#include "system/SystemInfo.h"
#include "system/WinHandle.h"

#include <windows.h>
#include <bcrypt.h>
#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <vector>

namespace {

// Revocation answers that only say the status is unknown (no list in the
// cache, the list's server not asked): alone they do not refuse a file.
bool IsUnknownRevocation(LONG status)
{
    return status == static_cast<LONG>(CERT_E_REVOCATION_FAILURE) ||
           status == static_cast<LONG>(CRYPT_E_REVOCATION_OFFLINE) ||
           status == static_cast<LONG>(CRYPT_E_NO_REVOCATION_CHECK);
}

// The refusal a failed trust verdict stands for.
PayloadResult ResultOfTrustStatus(LONG status)
{
    switch (static_cast<HRESULT>(status)) {
    case TRUST_E_BAD_DIGEST:
    case CRYPT_E_HASH_VALUE:
        return kPayload_BadDigest;
    case CERT_E_UNTRUSTEDROOT:
    case CERT_E_CHAINING:
    case CERT_E_UNTRUSTEDTESTROOT:
    case CERT_E_EXPIRED:
    case CERT_E_VALIDITYPERIODNESTING:
    case CERT_E_REVOKED:
    case CERT_E_WRONG_USAGE:
    case CERT_E_CRITICAL:
    case CERT_E_PURPOSE:
    case CERT_E_ROLE:
    case CERT_E_PATHLENCONST:
    case CERT_E_MALFORMED:
    case CERT_E_UNTRUSTEDCA:
    case CERT_E_INVALID_POLICY:
    case CERT_E_INVALID_NAME:
    case CRYPT_E_REVOKED:
    case TRUST_E_EXPLICIT_DISTRUST:
    case TRUST_E_CERT_SIGNATURE:
    case TRUST_E_BASIC_CONSTRAINTS:
    case TRUST_E_FINANCIAL_CRITERIA:
    case TRUST_E_TIME_STAMP:
    case TRUST_E_COUNTER_SIGNER:
        return kPayload_UntrustedChain;
    default:
        // TRUST_E_NOSIGNATURE, an unknown subject form, a signature that
        // cannot be decoded: nothing usable was found.
        return kPayload_NoSignature;
    }
}

// Owns the state of one trust verdict; closing it frees the provider data
// the signer was read from.
class CTrustVerdict {
public:
    CTrustVerdict(const std::wstring& path, HANDLE file)
    {
        fileInfo.cbStruct = sizeof(fileInfo);
        fileInfo.pcwszFilePath = path.c_str();
        fileInfo.hFile = file;
        data.cbStruct = sizeof(data);
        data.dwUIChoice = WTD_UI_NONE;
        data.fdwRevocationChecks = WTD_REVOKE_WHOLECHAIN;
        data.dwUnionChoice = WTD_CHOICE_FILE;
        data.pFile = &fileInfo;
        data.dwStateAction = WTD_STATEACTION_VERIFY;
        // Revocation lists only from the local cache: the answer never waits
        // on the network.
        data.dwProvFlags = WTD_CACHE_ONLY_URL_RETRIEVAL | WTD_REVOCATION_CHECK_CHAIN_EXCLUDE_ROOT;
        GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
        lStatus = WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
    }
    ~CTrustVerdict()
    {
        data.dwStateAction = WTD_STATEACTION_CLOSE;
        GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
        WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
    }
    CTrustVerdict(const CTrustVerdict&) = delete;
    CTrustVerdict& operator=(const CTrustVerdict&) = delete;

    LONG Status() const { return lStatus; }
    // The first signer as the verdict saw it; null when there is none.
    CRYPT_PROVIDER_SGNR* Signer() const
    {
        CRYPT_PROVIDER_DATA* provider = WTHelperProvDataFromStateData(data.hWVTStateData);
        if (provider == nullptr)
            return nullptr;
        CRYPT_PROVIDER_SGNR* signer = WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0);
        if (signer == nullptr || signer->csCertChain == 0 || signer->pasCertChain == nullptr ||
            signer->pasCertChain[0].pCert == nullptr)
            return nullptr;
        return signer;
    }
    // The certificate stores of the signature (the signer's intermediates).
    std::vector<HCERTSTORE> Stores() const
    {
        std::vector<HCERTSTORE> stores;
        if (CRYPT_PROVIDER_DATA* provider = WTHelperProvDataFromStateData(data.hWVTStateData))
            stores.assign(provider->pahStores, provider->pahStores + provider->chStores);
        return stores;
    }

private:
    WINTRUST_FILE_INFO fileInfo = {};
    WINTRUST_DATA data = {};
    LONG lStatus = 0;
};

class CScopedChain {
public:
    CScopedChain() = default;
    ~CScopedChain()
    {
        if (pChain != nullptr)
            CertFreeCertificateChain(pChain);
    }
    CScopedChain(const CScopedChain&) = delete;
    CScopedChain& operator=(const CScopedChain&) = delete;
    PCCERT_CHAIN_CONTEXT* Receive() { return &pChain; }
    PCCERT_CHAIN_CONTEXT Get() const { return pChain; }

private:
    PCCERT_CHAIN_CONTEXT pChain = nullptr;
};

class CScopedStore {
public:
    explicit CScopedStore(HCERTSTORE store) : hStore(store) {}
    ~CScopedStore()
    {
        if (hStore != nullptr)
            CertCloseStore(hStore, 0);
    }
    CScopedStore(const CScopedStore&) = delete;
    CScopedStore& operator=(const CScopedStore&) = delete;
    HCERTSTORE Get() const { return hStore; }

private:
    HCERTSTORE hStore;
};

// The signer's chain, built here from the signature's own certificates for
// code signing at the time the signature is verified as of. Chain errors
// other than an unknown revocation status refuse the file; on success root
// is the chain's last certificate.
bool CheckChain(const CTrustVerdict& verdict, const CRYPT_PROVIDER_SGNR& signer, CScopedChain& chain,
                PCCERT_CONTEXT& root, uint32_t& error)
{
    CScopedStore extra(CertOpenStore(CERT_STORE_PROV_COLLECTION, 0, 0, 0, nullptr));
    if (extra.Get() != nullptr) {
        for (HCERTSTORE store : verdict.Stores())
            CertAddStoreToCollection(extra.Get(), store, 0, 0);
    }
    LPSTR usages[] = {const_cast<LPSTR>(szOID_PKIX_KP_CODE_SIGNING)};
    CERT_CHAIN_PARA para = {};
    para.cbSize = sizeof(para);
    para.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
    para.RequestedUsage.Usage.cUsageIdentifier = 1;
    para.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
    FILETIME asOf = signer.sftVerifyAsOf;
    if (!CertGetCertificateChain(nullptr, signer.pasCertChain[0].pCert, &asOf, extra.Get(), &para,
                                 CERT_CHAIN_REVOCATION_CHECK_CHAIN_EXCLUDE_ROOT |
                                     CERT_CHAIN_REVOCATION_CHECK_CACHE_ONLY,
                                 nullptr, chain.Receive())) {
        error = GetLastError();
        LOG_INFO("CertGetCertificateChain failed, error %lu", static_cast<unsigned long>(error));
        return false;
    }
    const DWORD tolerated = CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION;
    const DWORD status = chain.Get()->TrustStatus.dwErrorStatus & ~tolerated;
    if (status != CERT_TRUST_NO_ERROR || chain.Get()->cChain == 0 || chain.Get()->rgpChain[0]->cElement == 0) {
        error = status;
        return false;
    }
    const CERT_SIMPLE_CHAIN* simple = chain.Get()->rgpChain[0];
    root = simple->rgpElement[simple->cElement - 1]->pCertContext;
    return true;
}

// The first attribute of that kind in the certificate's subject; empty when
// it has none.
std::wstring SubjectAttributeOf(PCCERT_CONTEXT cert, const char* attribute)
{
    void* oid = const_cast<char*>(attribute);
    DWORD length = CertGetNameStringW(cert, CERT_NAME_ATTR_TYPE, 0, oid, nullptr, 0);
    if (length <= 1)
        return std::wstring();
    std::wstring name(length, L'\0');
    length = CertGetNameStringW(cert, CERT_NAME_ATTR_TYPE, 0, oid, &name[0], length);
    name.resize(length > 0 ? length - 1 : 0);
    return name;
}

// SHA-256 of the certificate's encoded form; false, logged, when the system
// cannot compute it.
bool Sha256OfCertificate(PCCERT_CONTEXT cert, Sha256Digest& digest, uint32_t& error)
{
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    NTSTATUS status = BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0);
    if (status < 0) {
        error = static_cast<uint32_t>(status);
        LOG_INFO("BCryptOpenAlgorithmProvider(SHA256) failed, status 0x%08lX", static_cast<unsigned long>(status));
        return false;
    }
    BCRYPT_HASH_HANDLE hash = nullptr;
    status = BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0);
    if (status >= 0)
        status = BCryptHashData(hash, cert->pbCertEncoded, cert->cbCertEncoded, 0);
    if (status >= 0)
        status = BCryptFinishHash(hash, digest.data(), static_cast<ULONG>(digest.size()), 0);
    if (hash != nullptr)
        BCryptDestroyHash(hash);
    BCryptCloseAlgorithmProvider(algorithm, 0);
    if (status < 0) {
        error = static_cast<uint32_t>(status);
        LOG_INFO("SHA-256 of the root certificate failed, status 0x%08lX", static_cast<unsigned long>(status));
        return false;
    }
    return true;
}

// Whether the signer's organisation and country are the ones asked for
// (each only when asked for); a mismatch is logged.
bool SignerOrganizationMatches(PCCERT_CONTEXT signer, const PayloadPolicy& policy)
{
    const std::wstring organization = SubjectAttributeOf(signer, szOID_ORGANIZATION_NAME);
    const std::wstring country = SubjectAttributeOf(signer, szOID_COUNTRY_NAME);
    if ((policy.strOrganization.empty() || organization == policy.strOrganization) &&
        (policy.strCountry.empty() || country == policy.strCountry))
        return true;
    LOG_INFO_W(L"the signer's organisation \"%ls\" and country \"%ls\" are not the publisher's",
               organization.c_str(), country.c_str());
    return false;
}

// Whether the file's version is at least the lowest accepted one (any, when
// none is given). A file without a version, or a malformed lowest version,
// is refused; error is set then.
bool VersionAccepted(const std::wstring& path, const std::wstring& lowest, uint32_t& error)
{
    if (lowest.empty())
        return true;
    uint64_t minimum = 0;
    uint64_t version = 0;
    if (!ParseFileVersion(lowest, minimum)) {
        error = static_cast<uint32_t>(ERROR_INVALID_PARAMETER);
        return false;
    }
    if (!GetFileVersionNumber(path, version)) {
        error = GetLastError();
        if (error == 0)
            error = static_cast<uint32_t>(ERROR_RESOURCE_TYPE_NOT_FOUND);
        LOG_INFO("the installer has no file version, error %lu", static_cast<unsigned long>(error));
        return false;
    }
    if (version >= minimum)
        return true;
    error = static_cast<uint32_t>(TRUST_E_SUBJECT_NOT_TRUSTED);
    LOG_INFO_W(L"the installer's file version %u.%u.%u.%u is below the lowest accepted, %ls",
               static_cast<unsigned>(version >> 48), static_cast<unsigned>(version >> 32 & 0xFFFF),
               static_cast<unsigned>(version >> 16 & 0xFFFF), static_cast<unsigned>(version & 0xFFFF),
               lowest.c_str());
    return false;
}

} // namespace

PayloadVerdict VerifyPayload(const std::wstring& path, const PayloadPolicy& policy)
{
    PayloadVerdict verdict;
    // The verdict reads through this handle, which lets others read only:
    // nothing can change the file until the check is over. A file a scanner
    // holds is waited for; one that cannot be opened is not a refusal of
    // its signature.
    CScopedHandle file;
    uint64_t heldSince = 0;
    do
        file.Reset(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    while (!file && WaitWhileFileHeld(path, heldSince));
    if (!file) {
        verdict.eResult = kPayload_Unreadable;
        verdict.nError = GetLastError();
        return verdict;
    }
    CTrustVerdict trust(path, file.Get());
    const LONG status = trust.Status();
    if (status != ERROR_SUCCESS && !IsUnknownRevocation(status)) {
        verdict.eResult = ResultOfTrustStatus(status);
        verdict.nError = static_cast<uint32_t>(status);
        return verdict;
    }
    const CRYPT_PROVIDER_SGNR* signer = trust.Signer();
    if (signer == nullptr) {
        verdict.eResult = kPayload_NoSignature;
        verdict.nError = static_cast<uint32_t>(TRUST_E_NOSIGNATURE);
        return verdict;
    }
    verdict.strSigner = SubjectAttributeOf(signer->pasCertChain[0].pCert, szOID_COMMON_NAME);

    CScopedChain chain;
    PCCERT_CONTEXT root = nullptr;
    if (!CheckChain(trust, *signer, chain, root, verdict.nError)) {
        verdict.eResult = kPayload_UntrustedChain;
        return verdict;
    }
    if (policy.strPublisher.empty() || verdict.strSigner != policy.strPublisher ||
        !SignerOrganizationMatches(signer->pasCertChain[0].pCert, policy)) {
        verdict.eResult = kPayload_WrongPublisher;
        verdict.nError = static_cast<uint32_t>(TRUST_E_SUBJECT_NOT_TRUSTED);
        return verdict;
    }
    if (!policy.strRootSha256.empty()) {
        Sha256Digest pinned{};
        Sha256Digest actual{};
        if (!ParseSha256Hex(policy.strRootSha256, pinned) || !Sha256OfCertificate(root, actual, verdict.nError) ||
            actual != pinned) {
            verdict.eResult = kPayload_RootNotPinned;
            if (verdict.nError == 0)
                verdict.nError = static_cast<uint32_t>(CERT_E_UNTRUSTEDROOT);
            return verdict;
        }
    }
    // The version resource is part of what the signature covers.
    if (!VersionAccepted(path, policy.strMinVersion, verdict.nError)) {
        verdict.eResult = kPayload_TooOld;
        return verdict;
    }
    verdict.eResult = kPayload_Accepted;
    verdict.nError = 0;
    return verdict;
}
