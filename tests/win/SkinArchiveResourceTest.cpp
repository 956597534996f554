// The installer executable carries its skin: the ZIPRES 104 archive holds
// every layout and image of resources/skin under the names the layouts use,
// and icon 101 and the manifest are present.

#include "config/ZipArchive.h"
#include "system/WinHandle.h"

#include "common/TestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cwctype>
#include <set>
#include <string>
#include <vector>

namespace {

const char* const kLayouts[] = {
    "main.xml", "home.xml", "banner.xml", "main_rtl.xml", "home_rtl.xml", "banner_rtl.xml",
};

std::wstring Lower(std::wstring text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
    return text;
}

std::wstring Widen(const std::string& text)
{
    return std::wstring(text.begin(), text.end());
}

// Files of the skin folder that the build packs (layouts and images), as
// archive names: "main.xml", "img/logo.png".
std::set<std::wstring> SkinFolderFiles()
{
    std::set<std::wstring> names;
    const std::wstring root = testsupport::HostPath(std::string(PW_SOURCE_DIR) + "/resources/skin");
    for (const wchar_t* sub : {L"", L"img\\"}) {
        WIN32_FIND_DATAW data;
        const std::wstring pattern = root + L"\\" + sub + L"*";
        CScopedFindHandle find(FindFirstFileW(pattern.c_str(), &data));
        if (!find.Valid())
            continue;
        do {
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                continue;
            const std::wstring name = Lower(data.cFileName);
            const bool packed = name.size() > 4 && (name.compare(name.size() - 4, 4, L".xml") == 0 ||
                                                    name.compare(name.size() - 4, 4, L".png") == 0);
            if (packed)
                names.insert(std::wstring(*sub ? L"img/" : L"") + data.cFileName);
        } while (FindNextFileW(find.Get(), &data));
    }
    return names;
}

// Every "<something>.png" a layout names, in either separator form, with
// "\" turned into "/" as the framework does before looking it up.
std::vector<std::wstring> ImagesNamedIn(const std::string& layout)
{
    std::vector<std::wstring> images;
    size_t at = 0;
    while ((at = layout.find(".png", at)) != std::string::npos) {
        size_t begin = at;
        while (begin > 0) {
            const char c = layout[begin - 1];
            if (!(isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == '/' || c == '\\'))
                break;
            --begin;
        }
        std::string name = layout.substr(begin, at + 4 - begin);
        std::replace(name.begin(), name.end(), '\\', '/');
        images.push_back(Widen(name));
        at += 4;
    }
    return images;
}

class SkinArchiveResourceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        exePath = testsupport::HostPath(PW_SETUP_EXE);
        module.Reset(LoadLibraryExW(exePath.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
        ASSERT_TRUE(module.Valid()) << "cannot load " << PW_SETUP_EXE << " error " << GetLastError();
    }

    // The bytes of one resource, or "" when it is missing.
    std::string ResourceBytes(LPCWSTR type, WORD id) const
    {
        HRSRC found = FindResourceW(module.Get(), MAKEINTRESOURCEW(id), type);
        if (!found)
            return {};
        HGLOBAL loaded = LoadResource(module.Get(), found);
        const void* data = loaded ? LockResource(loaded) : nullptr;
        const DWORD size = SizeofResource(module.Get(), found);
        return data ? std::string(static_cast<const char*>(data), size) : std::string();
    }

    std::wstring exePath;
    CScopedModule module;
};

TEST_F(SkinArchiveResourceTest, ArchiveHoldsEveryFileOfTheSkinFolderAndNothingElse)
{
    const std::string zip = ResourceBytes(L"ZIPRES", 104);
    ASSERT_FALSE(zip.empty()) << "no ZIPRES 104 in " << PW_SETUP_EXE;
    CZipArchive archive;
    ASSERT_TRUE(archive.OpenMemory(zip.data(), zip.size()));

    std::set<std::wstring> inArchive;
    for (int i = 0; i < archive.Count(); ++i) {
        CZipArchive::Entry entry;
        ASSERT_TRUE(archive.GetEntry(i, entry));
        EXPECT_EQ(entry.name.find(L'\\'), std::wstring::npos) << "backslash in entry name";
        EXPECT_TRUE(IsSafeEntryName(entry.name));
        std::string bytes;
        EXPECT_TRUE(archive.Read(i, bytes)) << "entry does not inflate";
        EXPECT_EQ(bytes.size(), entry.size);
        inArchive.insert(entry.name);
    }
    const std::set<std::wstring> inFolder = SkinFolderFiles();
    ASSERT_GE(inFolder.size(), 6u + 20u) << "skin folder not found below " << PW_SOURCE_DIR;
    EXPECT_EQ(inArchive, inFolder);
    for (const char* layout : kLayouts)
        EXPECT_GE(archive.Find(Widen(layout)), 0) << layout;
}

TEST_F(SkinArchiveResourceTest, EveryImageALayoutNamesIsInTheArchive)
{
    const std::string zip = ResourceBytes(L"ZIPRES", 104);
    CZipArchive archive;
    ASSERT_TRUE(archive.OpenMemory(zip.data(), zip.size()));

    size_t named = 0;
    for (const char* layout : kLayouts) {
        const int index = archive.Find(Widen(layout));
        ASSERT_GE(index, 0) << layout;
        std::string text;
        ASSERT_TRUE(archive.Read(index, text));
        for (const std::wstring& image : ImagesNamedIn(text)) {
            ++named;
            EXPECT_GE(archive.Find(image), 0) << layout << " names a missing image";
            // Scaled displays draw its twin at twice the size.
            const std::wstring twin = image.substr(0, image.size() - 4) + L"@2x.png";
            EXPECT_GE(archive.Find(twin), 0) << layout << ": no twin " << std::string(twin.begin(), twin.end());
        }
    }
    // The home page alone names the logos, four button states and the marks.
    EXPECT_GE(named, 20u);
}

TEST_F(SkinArchiveResourceTest, IconAndManifestAreEmbedded)
{
    // RT_GROUP_ICON 101 lists the sizes; each refers to one RT_ICON.
    const std::string group = ResourceBytes(RT_GROUP_ICON, 101);
    ASSERT_GE(group.size(), 6u) << "no icon group 101";
    const unsigned count = static_cast<unsigned char>(group[4]) | (static_cast<unsigned char>(group[5]) << 8);
    ASSERT_EQ(group.size(), 6u + 14u * count);
    std::set<int> sizes;
    for (unsigned i = 0; i < count; ++i) {
        const unsigned char* item = reinterpret_cast<const unsigned char*>(group.data()) + 6 + 14 * i;
        sizes.insert(item[0] == 0 ? 256 : item[0]);
        const WORD iconId = static_cast<WORD>(item[12] | (item[13] << 8));
        EXPECT_FALSE(ResourceBytes(RT_ICON, iconId).empty()) << "icon image " << iconId;
    }
    // The small and large icon at 100 % to 200 %, and the big ones up to 256.
    EXPECT_EQ(sizes, (std::set<int>{16, 20, 24, 32, 40, 48, 64, 128, 256}));
    // The sizes are stored as PNG: the system makes an icon of each.
    for (int size : sizes) {
        HICON icon = static_cast<HICON>(LoadImageW(module.Get(), MAKEINTRESOURCEW(101), IMAGE_ICON, size, size, 0));
        ICONINFO info = {};
        BITMAP bm = {};
        if (icon != nullptr && GetIconInfo(icon, &info)) {
            GetObjectW(info.hbmColor != nullptr ? info.hbmColor : info.hbmMask, sizeof(bm), &bm);
            DeleteObject(info.hbmColor);
            DeleteObject(info.hbmMask);
        }
        EXPECT_EQ(bm.bmWidth, size) << "icon of " << size << " pixels";
        if (icon != nullptr)
            DestroyIcon(icon);
    }

    const std::string manifest = ResourceBytes(RT_MANIFEST, 1);
    ASSERT_FALSE(manifest.empty()) << "no manifest";
    for (const char* part : {"level=\"requireAdministrator\"", "Microsoft.Windows.Common-Controls", "PerMonitorV2, System",
                             "{e2011457-1546-43c5-a5fe-008deee3d3f0}", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"})
        EXPECT_NE(manifest.find(part), std::string::npos) << part;
}

} // namespace
