// The package and the custom tag as the built installer carries them: read
// back from PathwickSetup.exe, listed, extracted and loaded.
#include "common/TestSupport.h"
#include "config/DeploymentSettings.h"
#include "config/LanguageManager.h"
#include "config/ResourcePackage.h"
#include "config/TextUtil.h"
#include "config/ZipArchive.h"
#include "logging/PathUtil.h"
#include "logging/TextEncoding.h"
#include "system/WinHandle.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <set>
#include <vector>

namespace {

const char* const kLanguages[] = {"ChineseTW", "Dutch", "English", "French", "German",
                                  "Italian", "Japanese", "Korean", "Portuguese", "Spanish"};

CScopedModule OpenSetupExe()
{
    const std::wstring path = testsupport::HostPath(PW_SETUP_EXE);
    return CScopedModule(LoadLibraryExW(path.c_str(), nullptr,
                                        LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
}

// Files below a folder, as relative paths with "/" separators.
void ListFiles(const std::wstring& root, const std::wstring& relative, std::set<std::string>& files)
{
    WIN32_FIND_DATAW data;
    CScopedFindHandle find(FindFirstFileW((root + L"\\" + relative + L"*").c_str(), &data));
    if (!find)
        return;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..")
            continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            ListFiles(root, relative + name + L"\\", files);
        else
            files.insert(WideToUtf8(ReplaceAll(relative + name, L"\\", L"/")));
    } while (FindNextFileW(find.Get(), &data));
}

std::string Join(const std::set<std::string>& names)
{
    std::string out;
    for (const std::string& name : names)
        out += name + "\n";
    return out;
}

const std::wstring kSourcePackage = testsupport::HostPath(std::string(PW_SOURCE_DIR) + "/resources/package");
const std::wstring kStagedPackage = testsupport::HostPath(std::string(PW_BINARY_DIR) + "/resources/package");

} // namespace

TEST(ResourcePackageWin, ExecutableCarriesPackageAndTag)
{
    CScopedModule exe = OpenSetupExe();
    ASSERT_TRUE(exe) << "cannot open " << PW_SETUP_EXE << ", error " << GetLastError();

    std::string tag;
    ASSERT_TRUE(LoadRawResource(exe.Get(), kCustomTagResourceId, tag));
    EXPECT_EQ(tag, "com_english\r\n");

    std::string package;
    ASSERT_TRUE(LoadRawResource(exe.Get(), kPackageResourceId, package));
    EXPECT_EQ(package, testsupport::ReadFileBytes(
                           testsupport::HostPath(std::string(PW_BINARY_DIR) + "/resources/package.zip")));
    // The end record closes the archive with a zero comment length.
    ASSERT_GE(package.size(), 22u);
    EXPECT_EQ(package.substr(package.size() - 22, 4), "PK\x05\x06");
    EXPECT_EQ(package.substr(package.size() - 2), std::string(2, '\0'));

    CZipArchive archive;
    ASSERT_TRUE(archive.OpenMemory(package.data(), package.size()));
    std::set<std::string> folders;
    std::set<std::string> files;
    for (int i = 0; i < archive.Count(); ++i) {
        CZipArchive::Entry entry;
        ASSERT_TRUE(archive.GetEntry(i, entry));
        const std::string name = WideToUtf8(entry.name);
        EXPECT_EQ(name.find('\\'), std::string::npos) << name;
        if (entry.isDirectory) {
            EXPECT_EQ(entry.size, 0u) << name;
            folders.insert(name);
        } else {
            std::string bytes;
            EXPECT_TRUE(archive.Read(i, bytes)) << name;
            EXPECT_EQ(bytes.size(), entry.size) << name;
            files.insert(name);
        }
    }
    std::set<std::string> expectedFolders;
    std::set<std::string> expectedFiles = {"language.ini", "productInfo.ini"};
    for (const char* lang : kLanguages) {
        expectedFolders.insert(std::string(lang) + "/");
        for (const char* name : {"text.ini", "UrlInfo.ini", "pr_1.png", "pr_2.png", "pr_3.png", "pr_4.png"})
            expectedFiles.insert(std::string(lang) + "/" + name);
    }
    EXPECT_EQ(Join(folders), Join(expectedFolders));
    EXPECT_EQ(Join(files), Join(expectedFiles));
}

TEST(ResourcePackageWin, ExtractingYieldsExactlyThePackageFiles)
{
    CScopedModule exe = OpenSetupExe();
    ASSERT_TRUE(exe);
    const std::wstring root = testsupport::MakeTempDir("extract-exe");
    const std::wstring folder = root + L"\\corvane_down\\PathwickSetup\\language\\";
    ASSERT_TRUE(LoadResZipFile(folder, exe.Get()));
    // A second run overwrites in place.
    ASSERT_TRUE(LoadResZipFile(folder, exe.Get()));

    std::set<std::string> extracted;
    ListFiles(StripTrailingSeparator(folder), L"", extracted);
    std::set<std::string> source;
    ListFiles(kSourcePackage, L"", source);
    std::set<std::string> staged;
    ListFiles(kStagedPackage, L"", staged);
    EXPECT_EQ(Join(extracted), Join(staged));
    // Every source file is there, and the only additions are the generated URL files.
    for (const std::string& name : extracted) {
        const std::wstring wide = Utf8ToWide(name);
        const std::string bytes = testsupport::ReadFileBytes(folder + wide);
        if (source.count(name)) {
            EXPECT_EQ(bytes, testsupport::ReadFileBytes(kSourcePackage + L"\\" + wide)) << name;
        } else {
            EXPECT_NE(name.find("/UrlInfo.ini"), std::string::npos) << name << " is not a package source";
            EXPECT_EQ(bytes, testsupport::ReadFileBytes(kStagedPackage + L"\\" + wide)) << name;
        }
    }
    for (const std::string& name : source)
        EXPECT_TRUE(extracted.count(name)) << name << " missing from the extracted package";
    testsupport::RemoveTree(root);
}

TEST(ResourcePackageWin, EveryLanguageLoadsFromTheExtractedPackage)
{
    CScopedModule exe = OpenSetupExe();
    ASSERT_TRUE(exe);
    const std::wstring root = testsupport::MakeTempDir("languages-exe");
    const std::wstring folder = root + L"\\language\\";
    ASSERT_TRUE(LoadResZipFile(folder, exe.Get()));

    const wchar_t* codes[] = {L"1028", L"1043", L"1033", L"1036", L"1031", L"1040", L"1041", L"1042", L"2070", L"3082"};
    for (size_t i = 0; i < sizeof(codes) / sizeof(codes[0]); ++i) {
        for (bool x64 : {false, true}) {
            LanguageSystemFacts facts;
            const std::wstring code = codes[i];
            facts.uiLanguageCode = [code] { return code; };
            facts.isNativeX64 = [x64] { return x64; };
            LanguageManager manager(facts);
            manager.Init(folder);
            const std::wstring lang = Utf8ToWide(kLanguages[i]);
            ASSERT_EQ(manager.GetLanguageName(), lang);
            EXPECT_EQ(LoadDomainFile(manager, exe.Get()), L"com_english");
            for (const wchar_t* key : {L"STR_INSTALL", L"STR_BROWSE", L"STR_LISENCE", L"STR_CUSTOMIZE_INSTALL",
                                       L"STR_INSTALL_PATH", L"STR_SELECT_FOLDER", L"STR_STORAGE",
                                       L"STR_PATH_INVALID", L"STR_INSTALLING", L"STR_HIDE",
                                       L"STR_MESSAGEBOX_TITLE", L"STR_NETWORK_ERROR", L"STR_OPERATE_TIP",
                                       L"STR_SOFT_RUN", L"STR_CLOSE_TIP1", L"STR_CLOSE_TIP2", L"STR_START"})
                EXPECT_FALSE(manager.GetText(key).empty()) << kLanguages[i] << " " << WideToUtf8(key);
            const std::wstring download = manager.GetDownloadUrl();
            EXPECT_EQ(download, std::wstring(L"https://") + kDownloadHost + L"/pathwick/brisklane-pathwick.exe");
            const std::wstring licence = manager.GetLicenseUrl();
            const std::wstring licenceTail =
                L"/producturl?key=license_agreement&pid=380&lang=" + lang + L"&custom=com_english";
            ASSERT_GE(licence.size(), licenceTail.size());
            EXPECT_EQ(licence, std::wstring(L"https://") + kProductUrlHost + licenceTail);
            const std::wstring install = manager.GetInstallUrl();
            const std::wstring installTail = L"/producturl?key=installed&pid=380&lang=" + lang + L"&custom=com_english";
            ASSERT_GE(install.size(), installTail.size());
            EXPECT_EQ(install, std::wstring(L"https://") + kProductUrlHost + installTail);
        }
    }
    testsupport::RemoveTree(root);
}

TEST(ResourcePackageWin, MissingResourcesGiveEmptyValues)
{
    // This test program carries neither resource.
    const std::wstring root = testsupport::MakeTempDir("no-resource");
    const std::wstring folder = root + L"\\language\\";
    EXPECT_FALSE(LoadResZipFile(folder, nullptr));
    std::set<std::string> files;
    ListFiles(StripTrailingSeparator(folder), L"", files);
    EXPECT_TRUE(files.empty()) << Join(files);
    EXPECT_TRUE(PathExists(folder));

    LanguageManager manager;
    manager.Init(folder);
    manager.SetCustomTag(L"stale");
    EXPECT_EQ(LoadDomainFile(manager, nullptr), L"");
    EXPECT_EQ(manager.GetCustomTag(), L"");
    EXPECT_EQ(manager.GetText(L"STR_INSTALL"), L"");
    EXPECT_EQ(manager.GetDownloadUrl(), L"");
    testsupport::RemoveTree(root);
}
