// The language manager over small packages written by each test, and over
// the shipped package sources; plus its string helpers.
#include "common/TestSupport.h"
#include "config/LanguageManager.h"
#include "config/TextUtil.h"
#include "logging/PathUtil.h"
#include "logging/TextEncoding.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::string Utf16File(const std::wstring& text)
{
    std::string bytes = "\xFF\xFE";
    for (wchar_t c : text) {
        const unsigned long cp = static_cast<unsigned long>(c);
        bytes += static_cast<char>(cp & 0xFF);
        bytes += static_cast<char>((cp >> 8) & 0xFF);
    }
    return bytes;
}

const wchar_t kLanguageTable[] =
    L"[Language]\r\n1033=English\r\n1031=German\r\n1025=Arabic\r\n1065=arabic\r\n1049=Missing\r\n";

const wchar_t kProductInfo[] =
    L"[PRODUCT]\r\nSTR_GA_TTTLE=Brisklane Pathwick\r\nSTR_PRODUCT_NAME=Brisklane Pathwick\r\n"
    L"STR_DIR1_NAME=Brisklane\r\nSTR_DIR2_NAME=Brisklane Pathwick\r\nSTR_EXE_NAME=Pathwick.exe\r\n"
    L"STR_LISENCE_COLOR=#68D1AB\r\nSTR_BRAND_NAME=Brisklane\r\nSTR_RUN_AS_ADMIN=1\r\n";

// A package folder with language.ini, productInfo.ini and the given
// language folders; every language gets the same texts with its name.
class PackageFolder {
public:
    explicit PackageFolder(const std::string& hint) : root(testsupport::MakeTempDir(hint) + L"\\") {}
    ~PackageFolder() { testsupport::RemoveTree(StripTrailingSeparator(root)); }

    void Write(const std::wstring& relative, const std::string& bytes)
    {
        const std::wstring path = root + relative;
        CreateDirectoryChain(path.substr(0, path.rfind(L'\\')));
        ASSERT_TRUE(testsupport::WriteFileBytes(path, bytes)) << WideToUtf8(path);
    }
    void WriteUtf16(const std::wstring& relative, const std::wstring& text) { Write(relative, Utf16File(text)); }
    void WriteStandard(const std::wstring& productInfo = kProductInfo)
    {
        Write(L"language.ini", WideToUtf8(kLanguageTable));
        WriteUtf16(L"productInfo.ini", productInfo);
        for (const wchar_t* lang : {L"English", L"German", L"Arabic"}) {
            WriteUtf16(std::wstring(lang) + L"\\text.ini",
                       L"[LANSTR]\r\nSTR_NAME=" + std::wstring(lang) + L"\r\nSTR_MESSAGEBOX_TITLE=PRODUCT Setup\r\n"
                       L"STR_LISENCE=I've read and agreed to {c COLOR}BRAND License Agreement{/c}");
            WriteUtf16(std::wstring(lang) + L"\\UrlInfo.ini",
                       L"[URL]\r\nSTR_DOWN_URL=https://dl.example/x86-" + std::wstring(lang) +
                           L"\r\nSTR_DOWN_URL_X64=https://dl.example/x64-" + lang +
                           L"\r\nSTR_LICENCE_URL=https://p.example/producturl?key=license_agreement&lang=" + lang +
                           L"\r\nSTR_INSTALL_URL=https://p.example/installed?lang=" + lang + L"\r\n");
        }
    }

    std::wstring root;   // ends with "\"
};

LanguageSystemFacts Facts(const wchar_t* code, bool x64 = false)
{
    LanguageSystemFacts facts;
    const std::wstring lcid = code;
    facts.uiLanguageCode = [lcid] { return lcid; };
    facts.isNativeX64 = [x64] { return x64; };
    return facts;
}

} // namespace

TEST(LanguageManager, ChoosesTheLanguageFromTheUiLanguage)
{
    PackageFolder package("langchoice");
    package.WriteStandard();
    struct Case { const wchar_t* code; const wchar_t* language; bool rtl; const wchar_t* text; };
    const Case cases[] = {
        {L"1033", L"English", false, L"English"},
        {L"1031", L"German", false, L"German"},
        {L"2057", L"English", false, L"English"},   // no row: the default stays
        {L"1025", L"Arabic", true, L"Arabic"},
        {L"1065", L"arabic", false, nullptr},       // only the exact name is right-to-left
        {L"1049", L"Missing", false, L""},          // named folder absent: no fallback
        {L"", L"English", false, L"English"},
    };
    for (const Case& c : cases) {
        LanguageManager manager(Facts(c.code));
        manager.Init(package.root);
        EXPECT_EQ(manager.GetLanguageName(), c.language) << WideToUtf8(c.code);
        EXPECT_EQ(manager.IsRtl(), c.rtl) << WideToUtf8(c.code);
        // (Folder names ignore case on Windows, so "arabic" may find "Arabic".)
        if (c.text != nullptr) {
            EXPECT_EQ(manager.GetText(L"STR_NAME"), c.text) << WideToUtf8(c.code);
        }
    }
}

TEST(LanguageManager, SubstitutesPlaceholdersInOrder)
{
    PackageFolder package("placeholders");
    package.WriteStandard();
    LanguageManager manager(Facts(L"1033"));
    manager.Init(package.root);
    EXPECT_EQ(manager.GetText(L"STR_MESSAGEBOX_TITLE"), L"Brisklane Pathwick Setup");
    EXPECT_EQ(manager.GetText(L"STR_LISENCE"), L"I've read and agreed to {c #68D1AB}Brisklane License Agreement{/c}");
    EXPECT_EQ(manager.GetText(L"str_name"), L"");   // keys match case-sensitively
    EXPECT_EQ(manager.GetText(L"STR_MB"), L"");

    // A product name holding "COLOR" and "BRAND" is substituted again by
    // the later steps.
    PackageFolder odd("placeholders-odd");
    odd.WriteStandard(L"[PRODUCT]\r\nSTR_PRODUCT_NAME=COLOR BRAND\r\nSTR_LISENCE_COLOR=red\r\nSTR_BRAND_NAME=Acme\r\n");
    odd.WriteUtf16(L"German\\text.ini",
                   L"[LANSTR]\r\nSTR_LISENCE={c COLOR}BRAND-Lizenzvereinbarung{/c}\r\nSTR_T=PRODUCT\r\n");
    LanguageManager german(Facts(L"1031"));
    german.Init(odd.root);
    EXPECT_EQ(german.GetText(L"STR_T"), L"red Acme");
    EXPECT_EQ(german.GetText(L"STR_LISENCE"), L"{c red}Acme-Lizenzvereinbarung{/c}");
}

TEST(LanguageManager, EmptyBrandReadsCorvane)
{
    for (const wchar_t* productInfo : {L"[PRODUCT]\r\nSTR_BRAND_NAME=\r\n", L"[PRODUCT]\r\nSTR_EXE_NAME=a.exe\r\n"}) {
        PackageFolder package("brand");
        package.WriteStandard(productInfo);
        LanguageManager manager(Facts(L"1033"));
        manager.Init(package.root);
        EXPECT_EQ(manager.GetBrandName(), L"Corvane");
        EXPECT_EQ(manager.GetText(L"STR_LISENCE"), L"I've read and agreed to {c }Corvane License Agreement{/c}");
    }
}

TEST(LanguageManager, ProductValues)
{
    PackageFolder package("product");
    package.WriteStandard();
    LanguageManager manager(Facts(L"1033"));
    manager.Init(package.root);
    EXPECT_EQ(manager.GetProductName(), L"Brisklane Pathwick");
    EXPECT_EQ(manager.GetGaTitle(), L"Brisklane Pathwick");
    EXPECT_EQ(manager.GetLicenseColor(), L"#68D1AB");
    EXPECT_EQ(manager.GetExeName(), L"Pathwick.exe");
    EXPECT_EQ(manager.GetInstallSubfolder(), L"Brisklane\\Brisklane Pathwick\\");
    EXPECT_EQ(manager.GetProductExePath(), L"Brisklane\\Brisklane Pathwick\\Pathwick.exe");

    struct Case { const wchar_t* productInfo; const wchar_t* subfolder; };
    const Case cases[] = {
        {L"[PRODUCT]\r\nSTR_DIR2_NAME=Two\r\n", L"Two\\"},
        {L"[PRODUCT]\r\nSTR_DIR1_NAME=One\r\n", L"One\\"},
        {L"[PRODUCT]\r\n", L""},
    };
    for (const Case& c : cases) {
        PackageFolder other("subfolder");
        other.WriteStandard(c.productInfo);
        LanguageManager m(Facts(L"1033"));
        m.Init(other.root);
        EXPECT_EQ(m.GetInstallSubfolder(), c.subfolder);
    }
}

TEST(LanguageManager, RunAsAdminIsFalseOnlyForZero)
{
    struct Case { const wchar_t* line; bool admin; };
    const Case cases[] = {
        {L"", true}, {L"STR_RUN_AS_ADMIN=0\r\n", false}, {L"STR_RUN_AS_ADMIN=1\r\n", true},
        {L"STR_RUN_AS_ADMIN=\r\n", true}, {L"STR_RUN_AS_ADMIN=00\r\n", true}, {L"STR_RUN_AS_ADMIN = 0 \r\n", false},
    };
    for (const Case& c : cases) {
        PackageFolder package("admin");
        package.WriteStandard(L"[PRODUCT]\r\n" + std::wstring(c.line));
        LanguageManager manager(Facts(L"1033"));
        manager.Init(package.root);
        EXPECT_EQ(manager.IsRunAsAdmin(), c.admin) << WideToUtf8(c.line);
    }
}

TEST(LanguageManager, DuplicateKeysAndTwoEqualsSigns)
{
    PackageFolder package("dups");
    package.WriteStandard();
    package.WriteUtf16(L"English\\text.ini", L"[LANSTR]\r\nSTR_A=first\r\nSTR_A=second\r\nSTR_B=x=y=z\r\n");
    LanguageManager manager(Facts(L"1033"));
    manager.Init(package.root);
    EXPECT_EQ(manager.GetText(L"STR_A"), L"first");
    EXPECT_EQ(manager.GetText(L"STR_B"), L"x=y=z");

    // A second Init keeps the values already loaded.
    package.WriteUtf16(L"English\\text.ini", L"[LANSTR]\r\nSTR_A=changed\r\nSTR_C=new\r\n");
    manager.Init(package.root);
    EXPECT_EQ(manager.GetText(L"STR_A"), L"first");
    EXPECT_EQ(manager.GetText(L"STR_C"), L"new");
}

TEST(LanguageManager, DownloadUrlFollowsBitnessWithoutFallback)
{
    PackageFolder package("bitness");
    package.WriteStandard();
    LanguageManager x86(Facts(L"1031", false));
    x86.Init(package.root);
    EXPECT_EQ(x86.GetDownloadUrl(), L"https://dl.example/x86-German");
    LanguageManager x64(Facts(L"1031", true));
    x64.Init(package.root);
    EXPECT_EQ(x64.GetDownloadUrl(), L"https://dl.example/x64-German");

    package.WriteUtf16(L"German\\UrlInfo.ini", L"[URL]\r\nSTR_DOWN_URL=https://dl.example/only32\r\n");
    LanguageManager missing(Facts(L"1031", true));
    missing.Init(package.root);
    EXPECT_EQ(missing.GetDownloadUrl(), L"");

    // Mirrors follow STR_DOWN_URL in their order, an empty one left out; a
    // 64-bit system fetching another file (STR_DOWN_URL_X64) uses none.
    using Urls = std::vector<std::wstring>;
    EXPECT_EQ(x86.GetDownloadUrls(), Urls{L"https://dl.example/x86-German"}) << "an older package: no mirrors";
    package.WriteUtf16(L"German\\UrlInfo.ini", L"[URL]\r\nSTR_DOWN_URL=https://a.example/s\r\n"
                                                L"STR_DOWN_URL_X64=https://a.example/s64\r\nSTR_DOWN_URL_2=\r\n"
                                                L"STR_DOWN_URL_3=https://c.example/s\r\n");
    LanguageManager mirrors(Facts(L"1031", false));
    mirrors.Init(package.root);
    EXPECT_EQ(mirrors.GetDownloadUrls(), (Urls{L"https://a.example/s", L"https://c.example/s"}));
    LanguageManager mirrors64(Facts(L"1031", true));
    mirrors64.Init(package.root);
    EXPECT_EQ(mirrors64.GetDownloadUrls(), Urls{L"https://a.example/s64"});
}

TEST(LanguageManager, CustomTagGoesOnlyOnUrlsWithAKey)
{
    PackageFolder package("tag");
    package.WriteStandard();
    LanguageManager manager(Facts(L"1033"));
    manager.Init(package.root);
    EXPECT_EQ(manager.GetLicenseUrl(), L"https://p.example/producturl?key=license_agreement&lang=English");
    manager.SetCustomTag(L"com_english");
    EXPECT_EQ(manager.GetCustomTag(), L"com_english");
    EXPECT_EQ(manager.GetLicenseUrl(),
              L"https://p.example/producturl?key=license_agreement&lang=English&custom=com_english");
    EXPECT_EQ(manager.GetInstallUrl(), L"https://p.example/installed?lang=English");   // no "key="
    manager.Init(package.root);   // Init clears the tag
    EXPECT_EQ(manager.GetCustomTag(), L"");
}

TEST(LanguageManager, MissingPackageGivesEmptyValues)
{
    const std::wstring nowhere = testsupport::MakeTempDir("nopackage") + L"\\absent\\";
    LanguageManager manager(Facts(L"1031", true));
    manager.Init(nowhere);
    EXPECT_EQ(manager.GetLanguageName(), L"English");
    EXPECT_FALSE(manager.IsRtl());
    EXPECT_EQ(manager.GetText(L"STR_INSTALL"), L"");
    EXPECT_EQ(manager.GetDownloadUrl(), L"");
    EXPECT_EQ(manager.GetLicenseUrl(), L"");
    EXPECT_EQ(manager.GetBrandName(), L"Corvane");
    EXPECT_EQ(manager.GetInstallSubfolder(), L"");
    EXPECT_TRUE(manager.IsRunAsAdmin());
}

TEST(TextUtil, ReplaceAllNeverRescansInsertedText)
{
    struct Case { const wchar_t* text; const wchar_t* pattern; const wchar_t* replacement; const wchar_t* out; };
    const Case cases[] = {
        {L"aXbXc", L"X", L"--", L"a--b--c"},
        {L"XX", L"X", L"XX", L"XXXX"},
        {L"abc", L"", L"z", L"abc"},
        {L"a\r\nb\r\n", L"\r\n", L"", L"ab"},
        {L"aaa", L"aa", L"b", L"ba"},
        {L"", L"a", L"b", L""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ReplaceAll(c.text, c.pattern, c.replacement), c.out) << WideToUtf8(c.text);
}

TEST(TextUtil, SplitAtFirstAndAppendCustomTag)
{
    std::wstring before, after;
    EXPECT_TRUE(SplitAtFirst(L"k=v=w", L"=", before, after));
    EXPECT_EQ(before, L"k");
    EXPECT_EQ(after, L"v=w");
    EXPECT_FALSE(SplitAtFirst(L"plain", L"=", before, after));
    EXPECT_EQ(before, L"plain");
    EXPECT_EQ(after, L"");
    EXPECT_TRUE(SplitAtFirst(L"=x", L"=", before, after));
    EXPECT_EQ(before, L"");
    EXPECT_EQ(after, L"x");

    struct Case { const wchar_t* url; const wchar_t* tag; const wchar_t* out; };
    const Case cases[] = {
        {L"", L"t", L""},
        {L"https://h/p?key=a", L"", L"https://h/p?key=a"},
        {L"https://h/p?key=a", L"t", L"https://h/p?key=a&custom=t"},
        {L"https://h/p?monkey=a", L"t", L"https://h/p?monkey=a&custom=t"},   // "key=" anywhere
        {L"https://h/p?id=a", L"t", L"https://h/p?id=a"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(AppendCustomTag(c.url, c.tag), c.out) << WideToUtf8(c.url);
}

TEST(LanguageManager, EveryShippedLanguageLoads)
{
    const std::wstring package = testsupport::HostPath(std::string(PW_SOURCE_DIR) + "/resources/package/");
    const wchar_t* keys[] = {
        L"STR_INSTALL", L"STR_BROWSE", L"STR_LISENCE", L"STR_CUSTOMIZE_INSTALL", L"STR_INSTALL_PATH",
        L"STR_SELECT_FOLDER", L"STR_STORAGE", L"STR_PATH_INVALID", L"STR_INSTALLING", L"STR_HIDE",
        L"STR_MESSAGEBOX_TITLE", L"STR_NETWORK_ERROR", L"STR_OPERATE_TIP", L"STR_SOFT_RUN",
        L"STR_CLOSE_TIP1", L"STR_CLOSE_TIP2", L"STR_START", L"STR_VERIFY_FAILED", L"STR_INSTALL_FAILED",
        L"STR_START_FAILED", L"STR_FREE_SPACE_FAILED",
    };
    struct Case { const wchar_t* code; const wchar_t* language; };
    const Case cases[] = {
        {L"1033", L"English"}, {L"1028", L"ChineseTW"}, {L"1043", L"Dutch"}, {L"1036", L"French"},
        {L"1031", L"German"}, {L"1040", L"Italian"}, {L"1041", L"Japanese"}, {L"3082", L"Spanish"},
        {L"2070", L"Portuguese"}, {L"1042", L"Korean"},
    };
    for (const Case& c : cases) {
        LanguageManager manager(Facts(c.code));
        manager.Init(package);
        ASSERT_EQ(manager.GetLanguageName(), c.language);
        EXPECT_FALSE(manager.IsRtl());
        for (const wchar_t* key : keys) {
            const std::wstring text = manager.GetText(key);
            EXPECT_FALSE(text.empty()) << WideToUtf8(c.language) << " " << WideToUtf8(key);
            for (const wchar_t* mark : {L"PRODUCT", L"BRAND", L"COLOR"})
                EXPECT_EQ(text.find(mark), std::wstring::npos) << WideToUtf8(c.language) << " " << WideToUtf8(key);
        }
        EXPECT_NE(manager.GetText(L"STR_MESSAGEBOX_TITLE").find(L"Brisklane Pathwick"), std::wstring::npos);
        EXPECT_NE(manager.GetText(L"STR_LISENCE").find(L"{c #68D1AB}"), std::wstring::npos);
        EXPECT_EQ(manager.GetText(L"STR_MB"), L"");
    }

    LanguageManager english(Facts(L"1033"));
    english.Init(package);
    EXPECT_EQ(english.GetText(L"STR_LISENCE"), L"I've read and agreed to {c #68D1AB}Brisklane License Agreement{/c}");
    EXPECT_EQ(english.GetText(L"STR_MESSAGEBOX_TITLE"), L"Brisklane Pathwick Setup");
    EXPECT_EQ(english.GetText(L"STR_START"), L"Start\u00a0Now");
    // The file keeps the blank after "required:"; the reader, as the system's,
    // drops blanks at the end of a value.
    EXPECT_EQ(english.GetText(L"STR_STORAGE"), L"Insuficient storage. Storage required:");
    EXPECT_EQ(english.GetProductExePath(), L"Brisklane\\Brisklane Pathwick\\Pathwick.exe");
    EXPECT_TRUE(english.IsRunAsAdmin());
    EXPECT_EQ(english.GetGaTitle(), L"Brisklane Pathwick");

    LanguageManager german(Facts(L"1031"));
    german.Init(package);
    EXPECT_NE(german.GetText(L"STR_LISENCE").find(L"{c #68D1AB}Brisklane-Lizenzvereinbarung{/c}"), std::wstring::npos);
}
