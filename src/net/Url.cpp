#include "net/Url.h"

#include <algorithm>

UrlParts SplitUrl(const std::wstring& reference)
{
    UrlParts parts;
    size_t at = 0;
    // A scheme is the text before the first ":" when no "/", "?" or "#"
    // comes before it.
    const size_t colon = reference.find_first_of(L":/?#");
    if (colon != std::wstring::npos && colon > 0 && reference[colon] == L':') {
        parts.bScheme = true;
        parts.strScheme = reference.substr(0, colon);
        at = colon + 1;
    }
    if (reference.compare(at, 2, L"//") == 0) {
        const size_t end = reference.find_first_of(L"/?#", at + 2);
        parts.bAuthority = true;
        parts.strAuthority = reference.substr(at + 2, end - (at + 2));
        at = end == std::wstring::npos ? reference.size() : end;
    }
    const size_t pathEnd = std::min(reference.find_first_of(L"?#", at), reference.size());
    parts.strPath = reference.substr(at, pathEnd - at);
    at = pathEnd;
    if (at < reference.size() && reference[at] == L'?') {
        const size_t end = std::min(reference.find(L'#', at), reference.size());
        parts.bQuery = true;
        parts.strQuery = reference.substr(at + 1, end - at - 1);
        at = end;
    }
    if (at < reference.size()) {
        parts.bFragment = true;
        parts.strFragment = reference.substr(at + 1);
    }
    return parts;
}

std::wstring JoinUrl(const UrlParts& parts)
{
    std::wstring url;
    if (parts.bScheme)
        url += parts.strScheme + L":";
    if (parts.bAuthority)
        url += L"//" + parts.strAuthority;
    url += parts.strPath;
    if (parts.bQuery)
        url += L"?" + parts.strQuery;
    if (parts.bFragment)
        url += L"#" + parts.strFragment;
    return url;
}

std::wstring RemoveDotSegments(const std::wstring& path)
{
    std::wstring in = path;
    std::wstring out;
    auto dropLastSegment = [&out] {
        const size_t slash = out.rfind(L'/');
        out.erase(slash == std::wstring::npos ? 0 : slash);
    };
    while (!in.empty()) {
        if (in.compare(0, 3, L"../") == 0) {
            in.erase(0, 3);
        } else if (in.compare(0, 2, L"./") == 0) {
            in.erase(0, 2);
        } else if (in.compare(0, 3, L"/./") == 0) {
            in.erase(0, 2);
        } else if (in == L"/.") {
            in = L"/";
        } else if (in.compare(0, 4, L"/../") == 0) {
            in.erase(0, 3);
            dropLastSegment();
        } else if (in == L"/..") {
            in = L"/";
            dropLastSegment();
        } else if (in == L"." || in == L"..") {
            in.clear();
        } else {
            // The first segment, with its leading "/", moves to the output.
            const size_t next = in.find(L'/', 1);
            const size_t length = next == std::wstring::npos ? in.size() : next;
            out.append(in, 0, length);
            in.erase(0, length);
        }
    }
    return out;
}

std::wstring ResolveUrl(const std::wstring& base, const std::wstring& reference)
{
    // The reference's parts are kept or replaced by the base's, in place.
    UrlParts target = SplitUrl(reference);
    const bool ownPath = target.bScheme || target.bAuthority || !target.strPath.empty();
    if (!target.bScheme) {
        const UrlParts from = SplitUrl(base);
        if (!target.bAuthority) {
            target.bAuthority = from.bAuthority;
            target.strAuthority = from.strAuthority;
            if (target.strPath.empty()) {
                target.strPath = from.strPath;
                if (!target.bQuery) {
                    target.bQuery = from.bQuery;
                    target.strQuery = from.strQuery;
                }
            } else if (target.strPath[0] != L'/') {
                // The reference replaces the base path's last segment.
                const size_t slash = from.strPath.rfind(L'/');
                target.strPath.insert(0, from.bAuthority && from.strPath.empty()
                                             ? std::wstring(L"/")
                                             : from.strPath.substr(0, slash == std::wstring::npos ? 0 : slash + 1));
            }
        }
        target.bScheme = from.bScheme;
        target.strScheme = from.strScheme;
    }
    if (ownPath)   // a base path taken as it is keeps its dot segments
        target.strPath = RemoveDotSegments(target.strPath);
    return JoinUrl(target);
}

std::wstring AsciiLower(std::wstring text)
{
    for (wchar_t& c : text)
        if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c - L'A' + L'a');
    return text;
}

size_t HttpSchemeLength(const std::wstring& url)
{
    const std::wstring start = AsciiLower(url.substr(0, 8));
    return start.compare(0, 7, L"http://") == 0 ? 7 : start == L"https://" ? 8 : 0;
}

size_t ServerEnd(const std::wstring& url, size_t from)
{
    return std::min(url.find_first_of(L"/?#", from), url.size());
}
