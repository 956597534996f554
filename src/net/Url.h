// URLs as a standards-conforming client reads them: a reference split into
// its five parts (scheme, authority, path, query, fragment) and put back
// together, and a reference resolved against the URL it came with (a
// redirect's Location against the request's URL), dot segments included.
// Pure text, portable; the request code decides what it accepts.
//
// Classes in this file: UrlParts.
#pragma once

#include <string>

// The parts of a reference; a part that is absent differs from an empty one
// ("?" has an empty query, "" none).
struct UrlParts {
    bool bScheme = false;
    bool bAuthority = false;
    bool bQuery = false;
    bool bFragment = false;
    std::wstring strScheme;      // without its ":"
    std::wstring strAuthority;   // without its "//": [user information "@"] host [":" port]
    std::wstring strPath;        // may be empty
    std::wstring strQuery;       // without its "?"
    std::wstring strFragment;    // without its "#"
};

// Every text is some reference, so the split cannot fail: "g:h" has the
// scheme "g", "//g" an authority, "g?y#s" a path, a query and a fragment.
UrlParts SplitUrl(const std::wstring& reference);
std::wstring JoinUrl(const UrlParts& parts);

// The path without its "." and ".." segments ("/a/b/../c/./d" gives "/a/c/d";
// ".." never climbs above the root).
std::wstring RemoveDotSegments(const std::wstring& path);

// The target of reference read against base, an absolute URL: "g" against
// "http://a/b/c/d;p?q" gives "http://a/b/c/g", "//g" gives "http://g",
// "?y" gives "http://a/b/c/d;p?y". A reference with a scheme stands alone.
std::wstring ResolveUrl(const std::wstring& base, const std::wstring& reference);

// ASCII letters in lower case; schemes and host names compare so.
std::wstring AsciiLower(std::wstring text);

// The length of the "http://" or "https://" that url starts with, in any
// letter case (7 or 8); 0 for any other start.
size_t HttpSchemeLength(const std::wstring& url);
// Where the server part that starts at `from` ends: the first "/", "?" or
// "#" after it, or the end of url.
size_t ServerEnd(const std::wstring& url, size_t from);
