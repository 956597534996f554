// Decides whether a downloaded program may be run: it must carry a valid
// Authenticode signature whose digest matches the file, whose signer chains
// to a root this machine trusts, whose signer's common name is the expected
// publisher (and organisation and country, when given), when a pin is given
// whose root certificate has the pinned SHA-256, and when a lowest version is
// given whose file version (the signed version resource's fixed part) is at
// least that. The system's own verdict is asked first; the chain is then
// built again here, because a verdict alone has been seen to accept a signer
// under an unknown root. The lowest version refuses an older signed
// installer, which would otherwise pass every other check.
//
// Nothing here keeps state. The verdict texts and the pin parser are
// portable; VerifyPayload exists in the Windows build only and may run on any
// thread (it reads the file and the certificate stores, and never waits on
// the network: revocation is asked of the local cache only, and an unknown
// revocation status alone does not refuse a file). It waits up to 15 s for
// a file another program holds without sharing (a virus scanner).
//
// Classes in this file: PayloadPolicy, PayloadVerdict.
#pragma once

#include <array>
#include <cstdint>
#include <string>

enum PayloadResult {
    kPayload_Accepted = 0,
    kPayload_NoSignature = 1,     // no signature, or one that cannot be read
    kPayload_BadDigest = 2,       // the file changed after it was signed
    kPayload_UntrustedChain = 3,  // the signer does not chain to a trusted root (or is revoked, expired, not for code)
    kPayload_WrongPublisher = 4,  // signed by someone else
    kPayload_RootNotPinned = 5,   // the chain ends at a root other than the pinned one
    kPayload_TooOld = 6,          // older than the lowest accepted version, or without a version
    kPayload_Unreadable = 7,      // the file cannot be opened (missing, or held by another program for 15 s)
};

// "accepted", "no signature", "bad digest", "untrusted chain",
// "wrong publisher", "root not pinned", "older than the lowest version",
// "cannot be read".
const char* PayloadResultText(PayloadResult result);

using Sha256Digest = std::array<uint8_t, 32>;

// Reads 64 hexadecimal digits (either case, nothing else) into digest. False
// for any other text, the empty one included.
bool ParseSha256Hex(const std::wstring& text, Sha256Digest& digest);

// Reads a file version "a[.b[.c[.d]]]" (decimal parts of 0 to 65535,
// missing ones 0) into the 64-bit form of VS_FIXEDFILEINFO (a in the top 16
// bits). False, version untouched, for anything else: blanks, signs, empty
// or too many parts, the empty text.
bool ParseFileVersion(const std::wstring& text, uint64_t& version);

struct PayloadPolicy {
    std::wstring strPublisher;    // the signer's subject common name, compared exactly
    std::wstring strRootSha256;   // 64 hex digits pinning the root; empty: any trusted root
    std::wstring strOrganization; // the signer's subject organisation (O); empty: not compared
    std::wstring strCountry;      // the signer's subject country (C); empty: not compared
    std::wstring strMinVersion;   // the lowest file version accepted (ParseFileVersion); empty: any
};

struct PayloadVerdict {
    PayloadResult eResult = kPayload_NoSignature;
    // The code behind a refusal: the verdict's HRESULT, the chain's error
    // status bits, or the platform error of a failing call; 0 when accepted.
    uint32_t nError = 0;
    std::wstring strSigner;       // the signer's common name, once known
    bool Accepted() const { return eResult == kPayload_Accepted; }
};

#ifdef _WIN32
// Checks the file as described at the top. An empty publisher, a malformed
// pin or a malformed lowest version refuses every file (wrong publisher,
// root not pinned, older than the lowest version).
PayloadVerdict VerifyPayload(const std::wstring& path, const PayloadPolicy& policy);
#endif
