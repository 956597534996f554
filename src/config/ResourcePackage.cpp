#include "config/ResourcePackage.h"

#include "config/TextUtil.h"
#include "config/ZipArchive.h"
#include "logging/FileSystem.h"
#include "logging/Log.h"
#include "logging/PathUtil.h"
#include "system/SystemInfo.h"

#include <zlib.h>

#include <cstdio>
#include <cstring>

namespace {

std::wstring ParentFolder(const std::wstring& path)
{
    const size_t pos = path.rfind(L'\\');
    return pos == std::wstring::npos ? std::wstring() : path.substr(0, pos);
}

std::string TagBytes(const void* data, size_t size)
{
    if (data == nullptr)
        return std::string();
    // A longer resource is cut so the buffer keeps its terminating zero.
    const size_t used = std::min(size, kCustomTagBuffer - 1);
    const char* bytes = static_cast<const char*>(data);
    const size_t length = strnlen(bytes, used);
    return std::string(bytes, length);
}

// Whether the file at `path` already holds the entry's bytes: the same size,
// and the CRC-32 the archive records for them. Reading the file is much
// cheaper than writing it again, and a changed or cut file fails the test.
bool HoldsEntry(const std::wstring& path, const CZipArchive::Entry& entry)
{
    uint64_t size = 0;
    if (!FsFileSize(path, size) || size != entry.size)
        return false;
    std::string bytes;
    if (!FsReadFile(path, bytes, entry.size) || bytes.size() != entry.size)
        return false;
    const uLong crc = crc32_z(crc32(0, nullptr, 0), reinterpret_cast<const Bytef*>(bytes.data()), bytes.size());
    return static_cast<uint32_t>(crc) == entry.crc;
}

} // namespace

ExtractResult ExtractArchiveToFolder(const void* data, size_t size, const std::wstring& folder,
                                     const ExtractOptions& options)
{
    ExtractResult result;
    std::wstring root = NormalizePath(folder);
    if (root.empty())
        return result;
    CreateDirectoryChain(root);
    if (root.back() != L'\\')
        root += L'\\';

    CZipArchive archive;
    if (!archive.OpenMemory(data, size)) {
        LOG_INFO("the archive (%lu bytes) cannot be opened", static_cast<unsigned long>(size));
        return result;
    }
    result.opened = true;
    const int count = archive.Count();
    for (int i = 0; i < count; ++i) {
        CZipArchive::Entry entry;
        if (!archive.GetEntry(i, entry) || (options.accept && !options.accept(entry.name)))
            continue;
        // A ":" would name a drive or an alternate data stream on Windows.
        if (!IsSafeEntryName(entry.name) || entry.name.find(L':') != std::wstring::npos) {
            LOG_INFO_W(L"skipped package entry with an unsafe name: %ls", entry.name.c_str());
            ++result.skipped;
            continue;
        }
        const std::wstring target = root + ReplaceAll(entry.name, L"/", L"\\");
        if (entry.isDirectory || (options.emptyFileIsFolder && entry.size == 0)) {
            bool made;
            if (options.createParents) {
                made = CreateDirectoryChain(target);
            } else {
                std::wstring path = target;
                if (!path.empty() && path.back() == L'\\')
                    path.pop_back();
                made = FsIsDirectory(path) || FsCreateDirectory(path);
            }
            if (made) {
                ++result.folders;
            } else {
                LOG_INFO_W(L"the folder %ls cannot be created", target.c_str());
                ++result.skipped;
            }
            continue;
        }
        if (HoldsEntry(target, entry)) {
            ++result.unchanged;
            continue;
        }
        std::string bytes;
        if (!archive.Read(i, bytes)) {
            LOG_INFO_W(L"skipped damaged package entry: %ls", entry.name.c_str());
            ++result.skipped;
            continue;
        }
        if (options.createParents)
            CreateDirectoryChain(ParentFolder(target));
        if (FsWriteFile(target, bytes)) {
            ++result.written;
        } else {
            LOG_INFO_W(L"the file %ls cannot be written", target.c_str());
            ++result.skipped;
        }
    }
    return result;
}

std::wstring DecodeCustomTag(const void* data, size_t size)
{
    return ReplaceAll(AnsiToWide(TagBytes(data, size)), L"\r\n", L"");
}

std::string CustomTagLogText(const void* data, size_t size)
{
    return TagBytes(data, size);
}
