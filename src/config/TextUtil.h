// Small wide-string helpers of the localisation code: substitution, splitting
// at a separator and appending the custom tag to product URLs.
#pragma once

#include <string>

// Replaces every occurrence of `pattern`, left to right; the search resumes
// after the inserted text, so replacement text is never searched again. An
// empty pattern changes nothing.
std::wstring ReplaceAll(const std::wstring& text, const std::wstring& pattern, const std::wstring& replacement);

// Splits at the first occurrence of `separator`: `before` is the text up to
// it, `after` the text following it. Without an occurrence `before` is the
// whole text, `after` is empty and the result is false.
bool SplitAtFirst(const std::wstring& text, const std::wstring& separator, std::wstring& before, std::wstring& after);

// url + "&custom=" + tag when both are non-empty and the url holds "key=";
// "" for an empty url; the url unchanged otherwise.
std::wstring AppendCustomTag(const std::wstring& url, const std::wstring& tag);
