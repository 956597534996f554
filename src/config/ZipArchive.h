// Read-only access to a ZIP archive held in memory, over minizip: the entry
// list in archive order, look-up by name, and inflating one entry. Used for
// the resource package and the skin archive.
//
// CZipArchive owns a copy of the archive bytes and the minizip handle.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CZipArchive {
public:
    struct Entry {
        std::wstring name;        // as stored, "/" separators
        uint64_t size = 0;        // uncompressed
        uint64_t compressedSize = 0;
        uint32_t crc = 0;         // CRC-32 of the uncompressed bytes
        uint32_t externalAttributes = 0;
        bool isDirectory = false; // name ends in "/"
    };

    CZipArchive();
    ~CZipArchive();
    CZipArchive(const CZipArchive&) = delete;
    CZipArchive& operator=(const CZipArchive&) = delete;

    // Reads the whole file and opens it; false when the file cannot be read
    // or is not a ZIP archive.
    bool OpenFile(const std::wstring& path);
    // Copies the block and opens it.
    bool OpenMemory(const void* data, size_t size);
    void Close();
    bool IsOpen() const;

    int Count() const;
    bool GetEntry(int index, Entry& entry) const;

    // Index of the entry whose name equals the given one ignoring ASCII case,
    // with "\" read as "/"; -1 when none does.
    int Find(const std::wstring& name) const;

    // Inflates one entry. False on a damaged entry, a CRC mismatch, or an
    // entry larger than maxSize.
    bool Read(int index, std::string& bytes, uint64_t maxSize = kDefaultMaxEntrySize) const;

    static constexpr uint64_t kDefaultMaxEntrySize = 256ull << 20;

private:
    struct State;
    std::unique_ptr<State> state;
};

// Whether an entry name stays inside the folder it is extracted to: not
// absolute, no drive letter, no ".." component.
bool IsSafeEntryName(const std::wstring& name);
