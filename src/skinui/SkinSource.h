// Where the skin's files come from: one process-wide skin source (the module,
// the skin folder, and optionally one skin ZIP archive read from a file or
// from memory, kept open between reads when caching is on), the read of one
// skin file from that source, and the extraction of a whole archive into a
// folder.
//
// CSkinSource holds only static state; the window host derives from it (via
// CSkinResources), so CWindowHostUI::SetSkinPath and friends are these
// operations. It owns the cached archive (a CZipArchive). All calls run on the
// UI thread.
//
// Classes in this file: CSkinSource. Free functions: SkinReadStatusMessage,
// ExtractArchiveToFolder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

class CZipArchive;

namespace SkinUI {

// Outcome of reading one skin file. Every failure has the message the markup
// loader reports for it (SkinReadStatusMessage).
enum class SkinReadStatus {
    Ok,
    OpenFailed,        // "Error opening file" (skin folder)
    Empty,             // "File is empty"
    TooLarge,          // "File too large"
    ReadFailed,        // "Could not read file" (skin folder, short read)
    ArchiveOpenFailed, // "Error opening zip file"
    ItemNotFound,      // "Could not find ziped file"
    InflateFailed,     // "Could not unzip file"
};

// The loader's message for a status; "" for Ok.
const wchar_t* SkinReadStatusMessage(SkinReadStatus status);

class CSkinSource {
public:
    // Largest skin file (layout) that is read: a file of more bytes, or an
    // archive item of this size + 1 or more, is "File too large".
    static constexpr uint64_t kMaxSkinFileSize = 4194304;
    // The marker name of an archive held in memory.
    static const wchar_t* const kMemoryArchiveName; // "membuffer"

#ifdef _WIN32
    static void SetModule(HINSTANCE module);
    static HINSTANCE GetModule();
    // The module searched for resources; the instance when none is set.
    static void SetResourceModule(HINSTANCE module);
    static HINSTANCE GetResourceModule();
    // Folder of the instance's file with a trailing "\"; "" without instance.
    static std::wstring GetModuleFolder();
    // The skin archive stored as a resource of the resource module (type
    // "ZIPRES", identifier 104 in this program): copied into memory that is
    // kept for the process lifetime and handed to SetSkinArchive(data, size).
    // False, with the skin source unchanged, when the resource is missing or
    // empty (or a memory archive is set already).
    static bool SetSkinArchiveResource(LPCWSTR id, LPCWSTR type = L"ZIPRES");
#endif

    // Stores the skin folder; a non-empty path that does not end in "\" or
    // "/" gets a "\" appended.
    static void SetSkinPath(const std::wstring& path);
    static const std::wstring& GetSkinPath();

    // An archive file below the skin path. Nothing happens when the same name
    // and cache mode are set already; otherwise a kept archive is closed and,
    // in cache mode, the archive is opened at once and kept. Returns false
    // only when caching and the archive cannot be opened (the name stays set,
    // so later reads report "Error opening zip file").
    static bool SetSkinArchive(const std::wstring& name, bool cached);
    static bool SetSkinArchive(const wchar_t* name, bool cached)
    {
        return SetSkinArchive(std::wstring(name != nullptr ? name : L""), cached);
    }
    // An archive held in memory ("membuffer"). Ignored (returns false) while
    // a memory archive is set already. The block must stay valid while the
    // archive is in use; the caller keeps it for the process lifetime.
    static bool SetSkinArchive(const void* data, size_t size);
    static const std::wstring& GetSkinArchive();
    static bool IsSkinArchiveCached();
    // The kept archive; nullptr when none is open.
    static CZipArchive* GetSkinArchiveHandle();

    // Reads one skin file: from the skin folder (skin path + name) when no
    // archive is set, else the archive item of that name (case ignored, "\"
    // read as "/", names of 256 characters or more never found). A file or
    // item larger than maxSize is TooLarge.
    static SkinReadStatus ReadSkinFile(const std::wstring& name, std::string& bytes,
                                       uint64_t maxSize = kMaxSkinFileSize);

    // Back to the start state: no archive, empty path, caching on. The
    // module handles stay. Used by tests and at process end.
    static void ResetSkinSource();
};

// Creates the folder (with its parents) and writes every item of the archive
// below it, in archive order: an item of size 0 becomes a directory, any other
// item is written to folder + "\" + name with "/" turned into "\", replacing a
// file of that name; files do not create their parent folders. Items whose
// names would leave the folder ("..", absolute, drive) or hold a ":" are
// skipped. Write failures are logged, not reported; false only when the block
// is not an archive or the folder cannot be created. The extraction loop is
// ::ExtractArchiveToFolder (config/ResourcePackage.h).
bool ExtractArchiveToFolder(const void* data, size_t size, const std::wstring& folder);

} // namespace SkinUI
