// Unpacking the resources the installer carries: the resource package (a ZIP
// archive, raw data 105) into the package folder, and the custom tag (raw
// data 106) into the language manager. The extraction and the tag decoding
// are portable; reading the resources of a module is Windows only.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

class LanguageManager;

// Resource identifiers of the package and the custom tag (type RT_RCDATA).
constexpr int kPackageResourceId = 105;
constexpr int kCustomTagResourceId = 106;

// The custom tag is read through a buffer of this many bytes that must keep
// its terminating zero, so at most kCustomTagBuffer - 1 bytes are used.
constexpr size_t kCustomTagBuffer = 255;

struct ExtractResult {
    bool opened = false;   // the block was a readable archive
    int written = 0;       // files written
    int unchanged = 0;     // files already there with the entry's bytes, left alone
    int folders = 0;       // folders made for directory entries
    int skipped = 0;       // entries with unsafe names or damaged data, or failed writes
};

// Writes every entry of a ZIP archive in memory below `folder`, which is
// created with its parents. Names keep their relative paths ("/" becomes
// "\"); an existing file is overwritten unless it already holds the entry's
// bytes (same size and CRC-32: a start that finds the package of the last one
// writes nothing); directory entries make folders and
// files get their parent folders made as needed. Entries whose names are
// absolute, climb out with ".." or hold a ":" are skipped and never written, as are
// entries that fail to inflate (no partial file is left for them).
struct ExtractOptions {
    // Files and folder entries get their missing parent folders made; when
    // off, an item whose folder does not exist yet is not written.
    bool createParents = true;
    // A zero-byte entry is taken as a folder entry.
    bool emptyFileIsFolder = false;
    // When set, only the entries it accepts (by their names as stored) are
    // extracted; the others are passed over without a trace.
    std::function<bool(const std::wstring&)> accept;
};
ExtractResult ExtractArchiveToFolder(const void* data, size_t size, const std::wstring& folder,
                                     const ExtractOptions& options = ExtractOptions());

// The custom tag from the resource's bytes: at most the first 254 bytes, up
// to a zero byte, read as ANSI text, with every CR LF pair removed.
std::wstring DecodeCustomTag(const void* data, size_t size);
// The same bytes as the narrow text that is logged (CR LF kept).
std::string CustomTagLogText(const void* data, size_t size);

#ifdef _WIN32
#include <windows.h>

// The bytes of a raw-data resource of `module` (the running executable for
// nullptr); false when it is missing.
bool LoadRawResource(HMODULE module, int id, std::string& bytes);

// The bytes of resource `name` (a string or MAKEINTRESOURCE id) of `type`;
// false when it is missing or cannot be loaded (bytes is then empty). Writes
// no log line, so callers report a failure in their own words.
bool LoadResourceBytes(HMODULE module, LPCWSTR name, LPCWSTR type, std::string& bytes);

// Extracts resource 105 of `module` into packageFolder (the entries
// `options` accepts; all by default). False when the resource is missing or
// is not an archive; the folder is still created.
bool LoadResZipFile(const std::wstring& packageFolder, HMODULE module = nullptr,
                    const ExtractOptions& options = ExtractOptions());
// The same without the "LoadResZipFile" record: for entries extracted later.
bool ExtractPackageResource(const std::wstring& packageFolder, HMODULE module = nullptr,
                            const ExtractOptions& options = ExtractOptions());

// Reads resource 106 of `module`, stores it as the custom tag and returns it
// ("" when the resource is missing).
std::wstring LoadDomainFile(LanguageManager& languages, HMODULE module = nullptr);
#endif
