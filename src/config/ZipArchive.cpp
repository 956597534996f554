#include "config/ZipArchive.h"

#include "logging/FileSystem.h"
#include "logging/TextEncoding.h"

#include <unzip.h>

#include <cstdio>
#include <cstring>
#include <new>

namespace {

// minizip reads the archive through these callbacks from a memory block.
struct MemoryStream {
    const std::vector<unsigned char>* data = nullptr;
    uint64_t position = 0;
};

voidpf ZCALLBACK MemOpen(voidpf opaque, const void*, int)
{
    // No exception may pass through the archive library's C frames: a
    // stream that cannot be made fails the open.
    auto* stream = new (std::nothrow) MemoryStream;
    if (stream == nullptr)
        return nullptr;
    stream->data = static_cast<const std::vector<unsigned char>*>(opaque);
    return stream;
}

uLong ZCALLBACK MemRead(voidpf, voidpf handle, void* buffer, uLong size)
{
    auto* stream = static_cast<MemoryStream*>(handle);
    const uint64_t total = stream->data->size();
    if (stream->position >= total)
        return 0;
    uint64_t count = total - stream->position;
    if (count > size)
        count = size;
    std::memcpy(buffer, stream->data->data() + stream->position, static_cast<size_t>(count));
    stream->position += count;
    return static_cast<uLong>(count);
}

uLong ZCALLBACK MemWrite(voidpf, voidpf, const void*, uLong) { return 0; }

ZPOS64_T ZCALLBACK MemTell(voidpf, voidpf handle)
{
    return static_cast<MemoryStream*>(handle)->position;
}

long ZCALLBACK MemSeek(voidpf, voidpf handle, ZPOS64_T offset, int origin)
{
    auto* stream = static_cast<MemoryStream*>(handle);
    const uint64_t total = stream->data->size();
    uint64_t base = 0;
    switch (origin) {
    case ZLIB_FILEFUNC_SEEK_SET: base = 0; break;
    case ZLIB_FILEFUNC_SEEK_CUR: base = stream->position; break;
    case ZLIB_FILEFUNC_SEEK_END: base = total; break;
    default: return -1;
    }
    if (offset > total || base + offset > total)
        return -1;
    stream->position = base + offset;
    return 0;
}

int ZCALLBACK MemClose(voidpf, voidpf handle)
{
    delete static_cast<MemoryStream*>(handle);
    return 0;
}

int ZCALLBACK MemError(voidpf, voidpf) { return 0; }

std::wstring FoldName(const std::wstring& name)
{
    std::wstring out = name;
    for (wchar_t& c : out) {
        if (c == L'\\')
            c = L'/';
        else if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c - L'A' + L'a');
    }
    return out;
}

} // namespace

struct CZipArchive::State {
    std::vector<unsigned char> bytes;
    unzFile handle = nullptr;
    std::vector<Entry> entries;
    std::vector<unz64_file_pos> positions;
    std::vector<std::wstring> foldedNames;
};

CZipArchive::CZipArchive() = default;

CZipArchive::~CZipArchive()
{
    Close();
}

bool CZipArchive::OpenFile(const std::wstring& path)
{
    Close();
    std::string bytes;
    if (!FsReadFile(path, bytes))
        return false;
    return OpenMemory(bytes.data(), bytes.size());
}

bool CZipArchive::OpenMemory(const void* data, size_t size)
{
    Close();
    if (data == nullptr || size == 0)
        return false;
    auto next = std::make_unique<State>();
    next->bytes.assign(static_cast<const unsigned char*>(data), static_cast<const unsigned char*>(data) + size);

    zlib_filefunc64_def functions = {};
    functions.zopen64_file = MemOpen;
    functions.zread_file = MemRead;
    functions.zwrite_file = MemWrite;
    functions.ztell64_file = MemTell;
    functions.zseek64_file = MemSeek;
    functions.zclose_file = MemClose;
    functions.zerror_file = MemError;
    functions.opaque = &next->bytes;
    next->handle = unzOpen2_64("membuffer", &functions);
    if (next->handle == nullptr)
        return false;

    // Index every entry once, so later look-ups by index are direct.
    for (int rc = unzGoToFirstFile(next->handle); rc == UNZ_OK; rc = unzGoToNextFile(next->handle)) {
        unz_file_info64 info = {};
        char name[1024] = {};
        if (unzGetCurrentFileInfo64(next->handle, &info, name, sizeof(name) - 1, nullptr, 0, nullptr, 0) != UNZ_OK)
            break;
        unz64_file_pos position = {};
        unzGetFilePos64(next->handle, &position);
        Entry entry;
        const std::string raw(name);
        // Bit 11 marks UTF-8 names; older archives use a single-byte code page,
        // read here as Latin-1 so every byte keeps a distinct character.
        if (info.flag & 0x800) {
            entry.name = Utf8ToWide(raw);
        } else {
            for (unsigned char c : raw)
                entry.name += static_cast<wchar_t>(c);
        }
        entry.size = info.uncompressed_size;
        entry.compressedSize = info.compressed_size;
        entry.crc = static_cast<uint32_t>(info.crc);
        entry.externalAttributes = static_cast<uint32_t>(info.external_fa);
        entry.isDirectory = !entry.name.empty() && (entry.name.back() == L'/' || entry.name.back() == L'\\');
        next->foldedNames.push_back(FoldName(entry.name));
        next->entries.push_back(std::move(entry));
        next->positions.push_back(position);
    }
    state = std::move(next);
    return true;
}

void CZipArchive::Close()
{
    if (state && state->handle)
        unzClose(state->handle);
    state.reset();
}

bool CZipArchive::IsOpen() const
{
    return state != nullptr;
}

int CZipArchive::Count() const
{
    return state ? static_cast<int>(state->entries.size()) : 0;
}

bool CZipArchive::GetEntry(int index, Entry& entry) const
{
    if (!state || index < 0 || index >= Count())
        return false;
    entry = state->entries[static_cast<size_t>(index)];
    return true;
}

int CZipArchive::Find(const std::wstring& name) const
{
    if (!state || name.empty())
        return -1;
    const std::wstring folded = FoldName(name);
    for (size_t i = 0; i < state->foldedNames.size(); ++i)
        if (state->foldedNames[i] == folded)
            return static_cast<int>(i);
    return -1;
}

bool CZipArchive::Read(int index, std::string& bytes, uint64_t maxSize) const
{
    bytes.clear();
    if (!state || index < 0 || index >= Count())
        return false;
    unz64_file_pos position = state->positions[static_cast<size_t>(index)];
    if (unzGoToFilePos64(state->handle, &position) != UNZ_OK)
        return false;
    if (unzOpenCurrentFile(state->handle) != UNZ_OK)
        return false;
    bool ok = true;
    char buffer[65536];
    for (;;) {
        int n = unzReadCurrentFile(state->handle, buffer, sizeof(buffer));
        if (n < 0) {
            ok = false;
            break;
        }
        if (n == 0)
            break;
        if (bytes.size() + static_cast<size_t>(n) > maxSize) {
            ok = false;
            break;
        }
        bytes.append(buffer, static_cast<size_t>(n));
    }
    // Closing checks the CRC, but only when the reader got to the size the
    // entry states: data that ends early would pass, cut short.
    if (unzCloseCurrentFile(state->handle) != UNZ_OK)
        ok = false;
    if (bytes.size() != state->entries[static_cast<size_t>(index)].size)
        ok = false;
    if (!ok)
        bytes.clear();
    return ok;
}

bool IsSafeEntryName(const std::wstring& name)
{
    if (name.empty())
        return false;
    if (name[0] == L'/' || name[0] == L'\\')
        return false;
    if (name.size() >= 2 && name[1] == L':')
        return false;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find_first_of(L"/\\", start);
        if (end == std::wstring::npos)
            end = name.size();
        if (name.compare(start, end - start, L"..") == 0)
            return false;
        start = end + 1;
    }
    return true;
}
