#include "config/ResourcePackage.h"

#include "config/LanguageManager.h"
#include "logging/Log.h"

bool LoadRawResource(HMODULE module, int id, std::string& bytes)
{
    bytes.clear();
    if (module == nullptr)
        module = GetModuleHandleW(nullptr);
    HRSRC info = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
    if (info == nullptr) {
        LOG_INFO("FindResourceW failed for resource %d, error %lu", id, GetLastError());
        return false;
    }
    HGLOBAL loaded = LoadResource(module, info);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    const DWORD size = SizeofResource(module, info);
    if (data == nullptr) {
        LOG_INFO("LoadResource failed for resource %d, error %lu", id, GetLastError());
        return false;
    }
    bytes.assign(static_cast<const char*>(data), size);
    return true;
}

bool LoadResZipFile(const std::wstring& packageFolder, HMODULE module)
{
    LOG_INFO("LoadResZipFile");
    std::string bytes;
    const bool found = LoadRawResource(module, kPackageResourceId, bytes);
    const ExtractResult result = ExtractArchiveToFolder(bytes.data(), bytes.size(), packageFolder);
    if (found && result.opened)
        LOG_INFO("package: %d files, %d folders, %d entries skipped", result.written, result.folders,
                 result.skipped);
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
