#include "config/TextUtil.h"

std::wstring ReplaceAll(const std::wstring& text, const std::wstring& pattern, const std::wstring& replacement)
{
    if (pattern.empty())
        return text;
    std::wstring out = text;
    size_t pos = out.find(pattern);
    while (pos != std::wstring::npos) {
        out.replace(pos, pattern.size(), replacement);
        pos = out.find(pattern, pos + replacement.size());
    }
    return out;
}

bool SplitAtFirst(const std::wstring& text, const std::wstring& separator, std::wstring& before, std::wstring& after)
{
    const size_t pos = separator.empty() ? std::wstring::npos : text.find(separator);
    if (pos == std::wstring::npos) {
        before = text;
        after.clear();
        return false;
    }
    before = text.substr(0, pos);
    after = text.substr(pos + separator.size());
    return true;
}

std::wstring AppendCustomTag(const std::wstring& url, const std::wstring& tag)
{
    if (url.empty())
        return std::wstring();
    if (tag.empty() || url.find(L"key=") == std::wstring::npos)
        return url;
    return url + L"&custom=" + tag;
}
