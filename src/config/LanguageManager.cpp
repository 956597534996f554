#include "config/LanguageManager.h"

#include "config/IniFile.h"
#include "config/TextUtil.h"
#include "logging/Log.h"

#ifdef _WIN32
#include "system/SystemInfo.h"
#endif

LanguageSystemFacts LanguageSystemFacts::FromSystem()
{
    LanguageSystemFacts facts;
#ifdef _WIN32
    facts.uiLanguageCode = [] { return GetUiLanguageCode(); };
    facts.isNativeX64 = [] { return IsNativeX64(); };
#else
    facts.uiLanguageCode = [] { return std::wstring(L"1033"); };
    facts.isNativeX64 = [] { return false; };
#endif
    return facts;
}

LanguageManager::LanguageManager() : facts(LanguageSystemFacts::FromSystem()) {}

LanguageManager::LanguageManager(LanguageSystemFacts injected) : facts(std::move(injected))
{
    const LanguageSystemFacts system = LanguageSystemFacts::FromSystem();
    if (!facts.uiLanguageCode)
        facts.uiLanguageCode = system.uiLanguageCode;
    if (!facts.isNativeX64)
        facts.isNativeX64 = system.isNativeX64;
}

void LanguageManager::Init(const std::wstring& packageFolder)
{
    strCustomTag.clear();
    bRtl = false;
    strPackageDir = packageFolder;
    InitCurrentLanguage();
    // Product values first: the text substitution reads them.
    LoadProductInfo();
    LoadUrlInfo();
    LoadTexts();
}

void LanguageManager::SetCustomTag(const std::wstring& tag)
{
    strCustomTag = tag;
}

void LanguageManager::InitCurrentLanguage()
{
    strLanguage = L"English";
    const std::wstring code = facts.uiLanguageCode();
    LOG_INFO_W(L"Language Code:%ls", code.c_str());
    const std::wstring name = ReadIniString(strPackageDir + L"language.ini", L"Language", code);
    if (!name.empty())
        strLanguage = name;
    if (strLanguage == L"Arabic")
        bRtl = true;
}

void LanguageManager::LoadProductInfo()
{
    ReadIniSection(strPackageDir + L"productInfo.ini", L"PRODUCT", mapProduct);
}

void LanguageManager::LoadUrlInfo()
{
    ReadIniSection(strPackageDir + strLanguage + L"\\UrlInfo.ini", L"URL", mapUrls);
}

void LanguageManager::LoadTexts()
{
    ReadIniSection(strPackageDir + strLanguage + L"\\text.ini", L"LANSTR", mapTexts);
    const std::wstring product = GetProductName();
    const std::wstring color = GetLicenseColor();
    const std::wstring brand = GetBrandName();
    // The steps run in sequence, so a product name holding "COLOR" or
    // "BRAND" is substituted again by the later steps.
    for (auto& entry : mapTexts) {
        std::wstring value = ReplaceAll(entry.second, L"PRODUCT", product);
        value = ReplaceAll(value, L"COLOR", color);
        value = ReplaceAll(value, L"BRAND", brand);
        entry.second = value;
    }
}

std::wstring LanguageManager::ProductValue(const std::wstring& key) const
{
    const auto it = mapProduct.find(key);
    return it == mapProduct.end() ? std::wstring() : it->second;
}

std::wstring LanguageManager::UrlValue(const std::wstring& key) const
{
    const auto it = mapUrls.find(key);
    return it == mapUrls.end() ? std::wstring() : it->second;
}

std::wstring LanguageManager::GetText(const std::wstring& key) const
{
    const auto it = mapTexts.find(key);
    return it == mapTexts.end() ? std::wstring() : it->second;
}

std::wstring LanguageManager::GetProductName() const { return ProductValue(L"STR_PRODUCT_NAME"); }
std::wstring LanguageManager::GetLicenseColor() const { return ProductValue(L"STR_LISENCE_COLOR"); }
std::wstring LanguageManager::GetExeName() const { return ProductValue(L"STR_EXE_NAME"); }
std::wstring LanguageManager::GetGaTitle() const { return ProductValue(L"STR_GA_TTTLE"); }

std::wstring LanguageManager::GetBrandName() const
{
    const std::wstring brand = ProductValue(L"STR_BRAND_NAME");
    return brand.empty() ? std::wstring(L"Corvane") : brand;
}

std::wstring LanguageManager::GetInstallSubfolder() const
{
    std::wstring folder;
    const std::wstring dir1 = ProductValue(L"STR_DIR1_NAME");
    const std::wstring dir2 = ProductValue(L"STR_DIR2_NAME");
    if (!dir1.empty())
        folder += dir1 + L"\\";
    if (!dir2.empty())
        folder += dir2 + L"\\";
    return folder;
}

std::wstring LanguageManager::GetProductExePath() const
{
    return GetInstallSubfolder() + GetExeName();
}

std::wstring LanguageManager::GetDownloadUrl() const
{
    return UrlValue(facts.isNativeX64() ? L"STR_DOWN_URL_X64" : L"STR_DOWN_URL");
}

std::vector<std::wstring> LanguageManager::GetDownloadUrls() const
{
    std::vector<std::wstring> urls{GetDownloadUrl()};
    if (urls.front() != UrlValue(L"STR_DOWN_URL"))
        return urls;
    for (const wchar_t* key : {L"STR_DOWN_URL_2", L"STR_DOWN_URL_3"}) {
        const std::wstring url = UrlValue(key);
        if (!url.empty())
            urls.push_back(url);
    }
    return urls;
}

std::wstring LanguageManager::GetLicenseUrl() const
{
    return AppendCustomTag(UrlValue(L"STR_LICENCE_URL"), strCustomTag);
}

std::wstring LanguageManager::GetInstallUrl() const
{
    return AppendCustomTag(UrlValue(L"STR_INSTALL_URL"), strCustomTag);
}

bool LanguageManager::IsRunAsAdmin() const
{
    const auto it = mapProduct.find(L"STR_RUN_AS_ADMIN");
    return it == mapProduct.end() || it->second != L"0";
}

std::wstring LanguageManager::GetLanguageName() const { return strLanguage; }
std::wstring LanguageManager::GetCustomTag() const { return strCustomTag; }
bool LanguageManager::IsRtl() const { return bRtl; }
