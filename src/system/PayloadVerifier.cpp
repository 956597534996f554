#include "system/PayloadVerifier.h"

const char* PayloadResultText(PayloadResult result)
{
    switch (result) {
    case kPayload_Accepted: return "accepted";
    case kPayload_NoSignature: return "no signature";
    case kPayload_BadDigest: return "bad digest";
    case kPayload_UntrustedChain: return "untrusted chain";
    case kPayload_WrongPublisher: return "wrong publisher";
    case kPayload_RootNotPinned: return "root not pinned";
    }
    return "unknown";
}

namespace {

int HexValue(wchar_t c)
{
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    if (c >= L'a' && c <= L'f')
        return c - L'a' + 10;
    if (c >= L'A' && c <= L'F')
        return c - L'A' + 10;
    return -1;
}

} // namespace

bool ParseSha256Hex(const std::wstring& text, Sha256Digest& digest)
{
    if (text.size() != 2 * digest.size())
        return false;
    Sha256Digest parsed{};
    for (size_t i = 0; i < parsed.size(); ++i) {
        const int high = HexValue(text[2 * i]);
        const int low = HexValue(text[2 * i + 1]);
        if (high < 0 || low < 0)
            return false;
        parsed[i] = static_cast<uint8_t>(high * 16 + low);
    }
    digest = parsed;
    return true;
}
