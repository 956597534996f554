#include "system/PayloadVerifier.h"

#include <cwchar>

const char* PayloadResultText(PayloadResult result)
{
    switch (result) {
    case kPayload_Accepted: return "accepted";
    case kPayload_NoSignature: return "no signature";
    case kPayload_BadDigest: return "bad digest";
    case kPayload_UntrustedChain: return "untrusted chain";
    case kPayload_WrongPublisher: return "wrong publisher";
    case kPayload_RootNotPinned: return "root not pinned";
    case kPayload_TooOld: return "older than the lowest version";
    case kPayload_Unreadable: return "cannot be read";
    }
    return "unknown";
}

bool ParseSha256Hex(const std::wstring& text, Sha256Digest& digest)
{
    if (text.size() != 2 * digest.size())
        return false;
    for (wchar_t c : text) {
        const bool hex = (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
        if (!hex)
            return false;
    }
    for (size_t i = 0; i < digest.size(); ++i)
        digest[i] = static_cast<uint8_t>(std::wcstoul(text.substr(2 * i, 2).c_str(), nullptr, 16));
    return true;
}

bool ParseFileVersion(const std::wstring& text, uint64_t& version)
{
    uint64_t parsed = 0;
    int parts = 0;
    size_t i = 0;
    while (parts < 4) {
        uint32_t part = 0;
        const size_t first = i;
        for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
            part = part * 10 + static_cast<uint32_t>(text[i] - L'0');
            if (part > 0xFFFF)
                return false;
        }
        if (i == first)
            return false;
        parsed |= static_cast<uint64_t>(part) << (48 - 16 * parts);
        ++parts;
        if (i == text.size()) {
            version = parsed;
            return true;
        }
        if (text[i] != L'.')
            return false;
        ++i;
    }
    return false;
}
