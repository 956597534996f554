#include "config/ResourcePackage.h"

#include "config/LanguageManager.h"
#include "logging/Log.h"

namespace {

enum class ResourceRead { Ok, NotFound, NotLoaded };

ResourceRead ReadResource(HMODULE module, LPCWSTR name, LPCWSTR type, std::string& bytes)
{
    bytes.clear();
    if (module == nullptr)
        module = GetModuleHandleW(nullptr);
    HRSRC info = FindResourceW(module, name, type);
    if (info == nullptr)
        return ResourceRead::NotFound;
    HGLOBAL loaded = LoadResource(module, info);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    const DWORD size = SizeofResource(module, info);
    if (data == nullptr)
        return ResourceRead::NotLoaded;
    bytes.assign(static_cast<const char*>(data), size);
    return ResourceRead::Ok;
}

} // namespace

bool LoadResourceBytes(HMODULE module, LPCWSTR name, LPCWSTR type, std::string& bytes)
{
    return ReadResource(module, name, type, bytes) == ResourceRead::Ok;
}

bool LoadRawResource(HMODULE module, int id, std::string& bytes)
{
    switch (ReadResource(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10) /* RT_RCDATA */, bytes)) {
    case ResourceRead::NotFound:
        LOG_INFO("FindResourceW failed for resource %d, error %lu", id, GetLastError());
        return false;
    case ResourceRead::NotLoaded:
        LOG_INFO("LoadResource failed for resource %d, error %lu", id, GetLastError());
        return false;
    case ResourceRead::Ok:
        break;
    }
    return true;
}

bool LoadResZipFile(const std::wstring& packageFolder, HMODULE module, const ExtractOptions& options)
{
    LOG_INFO("LoadResZipFile");
    return ExtractPackageResource(packageFolder, module, options);
}

bool ExtractPackageResource(const std::wstring& packageFolder, HMODULE module, const ExtractOptions& options)
{
    std::string bytes;
    const bool found = LoadRawResource(module, kPackageResourceId, bytes);
    const ExtractResult result = ExtractArchiveToFolder(bytes.data(), bytes.size(), packageFolder, options);
    if (found && result.opened)
        LOG_INFO("package: %d files written, %d unchanged, %d folders, %d entries skipped", result.written,
                 result.unchanged, result.folders, result.skipped);
    return found && result.opened;
}

std::wstring LoadDomainFile(LanguageManager& languages, HMODULE module)
{
    LOG_INFO("LoadDomainFile");
    std::string bytes;
    LoadRawResource(module, kCustomTagResourceId, bytes);
    const std::wstring tag = DecodeCustomTag(bytes.data(), bytes.size());
    languages.SetCustomTag(tag);
    LOG_INFO("Domain:%s", CustomTagLogText(bytes.data(), bytes.size()).c_str());
    return tag;
}
