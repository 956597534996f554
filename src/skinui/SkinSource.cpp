#include "skinui/SkinSource.h"

#include "skinui/SkinMarkup.h"

#include "config/ResourcePackage.h"
#include "config/ZipArchive.h"
#include "logging/FileSystem.h"
#include "logging/Log.h"
#include "logging/PathUtil.h"

#include <cstdio>
#include <memory>
#include <vector>

namespace SkinUI {

namespace {

// Archive item names are looked up in the ANSI code page with at most 255
// characters; longer names are never found.
constexpr size_t kMaxItemNameLength = 255;

struct SkinSourceState {
#ifdef _WIN32
    HINSTANCE hInstance = nullptr;
    HINSTANCE hResourceInstance = nullptr;
#endif
    std::wstring strPath;
    std::wstring strArchive;
    bool bCached = true;
    std::unique_ptr<CZipArchive> archive;   // kept when caching
    const void* pMemory = nullptr;          // the "membuffer" block
    size_t nMemorySize = 0;
};

SkinSourceState& State()
{
    static SkinSourceState state;
    return state;
}

bool OpenSourceArchive(CZipArchive& archive)
{
    SkinSourceState& s = State();
    if (s.strArchive == CSkinSource::kMemoryArchiveName)
        return archive.OpenMemory(s.pMemory, s.nMemorySize);
    return archive.OpenFile(s.strPath + s.strArchive);
}

SkinReadStatus ReadFromFolder(const std::wstring& path, std::string& bytes, uint64_t maxSize)
{
    FILE* file = FsOpenFile(path, "rb");
    if (file == nullptr)
        return SkinReadStatus::OpenFailed;
    std::unique_ptr<FILE, int (*)(FILE*)> owner(file, &std::fclose);
    if (std::fseek(file, 0, SEEK_END) != 0)
        return SkinReadStatus::ReadFailed;
    const long size = std::ftell(file);
    if (size < 0)
        return SkinReadStatus::ReadFailed;
    if (size == 0)
        return SkinReadStatus::Empty;
    if (static_cast<uint64_t>(size) > maxSize)
        return SkinReadStatus::TooLarge;
    std::fseek(file, 0, SEEK_SET);
    bytes.resize(static_cast<size_t>(size));
    const size_t got = std::fread(&bytes[0], 1, bytes.size(), file);
    if (got != bytes.size()) {
        bytes.clear();
        return SkinReadStatus::ReadFailed;
    }
    return SkinReadStatus::Ok;
}

SkinReadStatus ReadFromArchive(const CZipArchive& archive, const std::wstring& name, std::string& bytes,
                               uint64_t maxSize)
{
    if (name.size() > kMaxItemNameLength)
        return SkinReadStatus::ItemNotFound;
    const int index = archive.Find(name);
    if (index < 0)
        return SkinReadStatus::ItemNotFound;
    CZipArchive::Entry entry;
    if (!archive.GetEntry(index, entry))
        return SkinReadStatus::ItemNotFound;
    if (entry.size == 0)
        return SkinReadStatus::Empty;
    if (entry.size > maxSize)
        return SkinReadStatus::TooLarge;
    if (!archive.Read(index, bytes, maxSize))
        return SkinReadStatus::InflateFailed;
    return SkinReadStatus::Ok;
}

// How layout files reach the markup parser: from the skin folder, the kept
// archive, or an archive opened for this read.
bool LoadMarkupFromSource(CSkinMarkup& markup, const std::wstring& name, int encoding)
{
    SkinSourceState& s = State();
    if (s.strArchive.empty())
        return markup.LoadFromPath(s.strPath + name, encoding);
    if (s.bCached && s.archive)
        return markup.LoadFromArchive(s.archive.get(), name, encoding);
    if (s.strArchive == CSkinSource::kMemoryArchiveName) {
        CZipArchive archive;
        const bool open = archive.OpenMemory(s.pMemory, s.nMemorySize);
        return markup.LoadFromArchive(open ? &archive : nullptr, name, encoding);
    }
    return markup.LoadFromArchiveFile(s.strPath + s.strArchive, name, encoding);
}

// The markup parser reads through this source from the first change on.
void InstallMarkupSource()
{
    static bool installed = false;
    if (!installed) {
        CSkinMarkup::SetFileSource(&LoadMarkupFromSource);
        installed = true;
    }
}

} // namespace

const wchar_t* const CSkinSource::kMemoryArchiveName = L"membuffer";

const wchar_t* SkinReadStatusMessage(SkinReadStatus status)
{
    switch (status) {
    case SkinReadStatus::Ok: return L"";
    case SkinReadStatus::OpenFailed: return L"Error opening file";
    case SkinReadStatus::Empty: return L"File is empty";
    case SkinReadStatus::TooLarge: return L"File too large";
    case SkinReadStatus::ReadFailed: return L"Could not read file";
    case SkinReadStatus::ArchiveOpenFailed: return L"Error opening zip file";
    case SkinReadStatus::ItemNotFound: return L"Could not find ziped file";
    case SkinReadStatus::InflateFailed: return L"Could not unzip file";
    }
    return L"";
}

#ifdef _WIN32
void CSkinSource::SetModule(HINSTANCE module) { State().hInstance = module; }
HINSTANCE CSkinSource::GetModule() { return State().hInstance; }
void CSkinSource::SetResourceModule(HINSTANCE module) { State().hResourceInstance = module; }

HINSTANCE CSkinSource::GetResourceModule()
{
    return State().hResourceInstance != nullptr ? State().hResourceInstance : State().hInstance;
}

std::wstring CSkinSource::GetModuleFolder()
{
    if (State().hInstance == nullptr)
        return L"";
    wchar_t buffer[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameW(State().hInstance, buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        LOG_INFO("GetModuleFileNameW failed, error %lu", static_cast<unsigned long>(GetLastError()));
        return L"";
    }
    std::wstring path(buffer, length);
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

bool CSkinSource::SetSkinArchiveResource(LPCWSTR id, LPCWSTR type)
{
    auto bytes = std::make_unique<std::string>();
    if (!LoadResourceBytes(GetResourceModule(), id, type, *bytes) || bytes->empty())
        return false;
    // The copies stay until the process ends, as the archive may read them.
    static std::vector<std::unique_ptr<std::string>> kept;
    kept.push_back(std::move(bytes));
    return SetSkinArchive(kept.back()->data(), kept.back()->size());
}
#endif

void CSkinSource::SetSkinPath(const std::wstring& path)
{
    InstallMarkupSource();
    std::wstring value = path;
    if (!value.empty() && value.back() != L'\\' && value.back() != L'/')
        value += L'\\';
    State().strPath = value;
}

const std::wstring& CSkinSource::GetSkinPath() { return State().strPath; }

bool CSkinSource::SetSkinArchive(const std::wstring& name, bool cached)
{
    InstallMarkupSource();
    SkinSourceState& s = State();
    if (s.strArchive == name && s.bCached == cached)
        return !cached || s.archive != nullptr;
    s.archive.reset();
    s.pMemory = nullptr;
    s.nMemorySize = 0;
    s.strArchive = name;
    s.bCached = cached;
    if (!cached || name.empty())
        return true;
    auto archive = std::make_unique<CZipArchive>();
    if (!archive->OpenFile(s.strPath + name)) {
        LOG_INFO_W(L"the skin archive %ls cannot be opened", (s.strPath + name).c_str());
        return false;
    }
    s.archive = std::move(archive);
    return true;
}

bool CSkinSource::SetSkinArchive(const void* data, size_t size)
{
    InstallMarkupSource();
    SkinSourceState& s = State();
    if (s.strArchive == kMemoryArchiveName)
        return false;
    s.archive.reset();
    s.strArchive = kMemoryArchiveName;
    s.pMemory = data;
    s.nMemorySize = size;
    if (!s.bCached)
        return true;
    auto archive = std::make_unique<CZipArchive>();
    if (!archive->OpenMemory(data, size)) {
        LOG_INFO("the skin archive in memory (%lu bytes) cannot be opened", static_cast<unsigned long>(size));
        return false;
    }
    s.archive = std::move(archive);
    return true;
}

const std::wstring& CSkinSource::GetSkinArchive() { return State().strArchive; }
bool CSkinSource::IsSkinArchiveCached() { return State().bCached; }
CZipArchive* CSkinSource::GetSkinArchiveHandle() { return State().archive.get(); }

SkinReadStatus CSkinSource::ReadSkinFile(const std::wstring& name, std::string& bytes, uint64_t maxSize)
{
    bytes.clear();
    SkinSourceState& s = State();
    if (s.strArchive.empty())
        return ReadFromFolder(s.strPath + name, bytes, maxSize);
    if (s.bCached && s.archive)
        return ReadFromArchive(*s.archive, name, bytes, maxSize);
    // Not cached (or the kept archive failed to open): open it for this read.
    CZipArchive archive;
    if (!OpenSourceArchive(archive))
        return SkinReadStatus::ArchiveOpenFailed;
    return ReadFromArchive(archive, name, bytes, maxSize);
}

void CSkinSource::ResetSkinSource()
{
    InstallMarkupSource();
    SkinSourceState& s = State();
    s.archive.reset();
    s.strArchive.clear();
    s.strPath.clear();
    s.bCached = true;
    s.pMemory = nullptr;
    s.nMemorySize = 0;
}

bool ExtractArchiveToFolder(const void* data, size_t size, const std::wstring& folder)
{
    if (!CreateDirectoryChain(folder) || !FsIsDirectory(NormalizePath(folder))) {
        LOG_INFO_W(L"the folder %ls cannot be created", folder.c_str());
        return false;
    }
    ExtractOptions options;
    options.createParents = false;
    options.emptyFileIsFolder = true;
    return ::ExtractArchiveToFolder(data, size, folder, options).opened;
}

} // namespace SkinUI
