// The UI language and product configuration of one run: LanguageManager
// reads the extracted resource package (language table, product values, the
// chosen language's texts and URLs) into three maps, fills the product
// placeholders into the texts once, and answers look-ups by key. It owns
// copies of everything it read; a missing key reads as "".
//
// Filled on the UI thread before any worker starts, read-only afterwards
// (except SetCustomTag, called once right after Init).
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

// The two facts about the machine the manager needs, injectable for tests.
struct LanguageSystemFacts {
    std::function<std::wstring()> uiLanguageCode;   // decimal LCID, e.g. "1033"
    std::function<bool()> isNativeX64;
    // In the Windows build the system's answers; elsewhere "1033" and false.
    static LanguageSystemFacts FromSystem();
};

class LanguageManager {
public:
    LanguageManager();
    explicit LanguageManager(LanguageSystemFacts facts);

    // packageFolder must end with "\". Clears the custom tag and the
    // right-to-left flag, chooses the language and loads, in this order, the
    // product values, the URLs and the texts. Keys of an earlier load keep
    // their values.
    void Init(const std::wstring& packageFolder);
    void SetCustomTag(const std::wstring& tag);

    std::wstring GetText(const std::wstring& key) const;
    std::wstring GetProductName() const;
    std::wstring GetBrandName() const;      // "Corvane" when empty or missing
    std::wstring GetLicenseColor() const;
    std::wstring GetExeName() const;
    std::wstring GetGaTitle() const;
    std::wstring GetInstallSubfolder() const;   // "Dir1\Dir2\" with empty levels left out
    std::wstring GetProductExePath() const;     // relative to the install root
    std::wstring GetDownloadUrl() const;        // the x64 URL on a 64-bit system, no fallback
    // The download URL, then its mirrors (STR_DOWN_URL_2, STR_DOWN_URL_3)
    // where the package names them: mirrors of STR_DOWN_URL, so none when a
    // 64-bit system downloads another file (STR_DOWN_URL_X64).
    std::vector<std::wstring> GetDownloadUrls() const;
    std::wstring GetLicenseUrl() const;         // with the custom tag appended
    std::wstring GetInstallUrl() const;         // with the custom tag appended
    bool IsRunAsAdmin() const;                  // false only for the value "0"
    std::wstring GetLanguageName() const;
    std::wstring GetCustomTag() const;
    bool IsRtl() const;

private:
    void InitCurrentLanguage();
    void LoadProductInfo();
    void LoadUrlInfo();
    void LoadTexts();
    std::wstring ProductValue(const std::wstring& key) const;
    std::wstring UrlValue(const std::wstring& key) const;

    LanguageSystemFacts facts;

    // valid after Init
    std::map<std::wstring, std::wstring> mapTexts;
    std::map<std::wstring, std::wstring> mapUrls;
    std::map<std::wstring, std::wstring> mapProduct;
    std::wstring strPackageDir;
    std::wstring strLanguage = L"English";
    // set by SetCustomTag
    std::wstring strCustomTag;
    bool bRtl = false;
};
