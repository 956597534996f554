#include "system/SystemInfo.h"
#include "system/WinHandle.h"

#include "common/TestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cwctype>

namespace {

bool LooksLikeClientId(const std::wstring& id)
{
    if (id.size() != 36)
        return false;
    for (size_t i = 0; i < id.size(); ++i) {
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (id[i] != L'-')
                return false;
        } else if (!std::iswxdigit(id[i])) {
            return false;
        }
    }
    return true;
}

// The identifier's key is shared by every test of this group; each test
// starts from the state it needs.
class ClientIdTest : public testing::Test {
protected:
    void SetUp() override { RegDeleteTreeW(HKEY_LOCAL_MACHINE, kClientIdKey); }
    void TearDown() override { RegDeleteTreeW(HKEY_LOCAL_MACHINE, kClientIdKey); }

    static std::wstring StoredValue()
    {
        CScopedRegKey key;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kClientIdKey, 0, KEY_READ, key.Receive()) != ERROR_SUCCESS)
            return L"<no key>";
        wchar_t buffer[1024] = {};
        DWORD bytes = sizeof(buffer) - 2;
        DWORD type = 0;
        if (RegQueryValueExW(key.Get(), kClientIdValue, nullptr, &type, reinterpret_cast<BYTE*>(buffer),
                             &bytes) != ERROR_SUCCESS)
            return L"<no value>";
        return type == REG_SZ ? std::wstring(buffer) : L"<wrong type>";
    }

    static void CreateKeyWithValue(const wchar_t* value)
    {
        CScopedRegKey key;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kClientIdKey, 0, nullptr, 0, KEY_WRITE, nullptr,
                                  key.Receive(), nullptr),
                  ERROR_SUCCESS);
        if (value != nullptr) {
            ASSERT_EQ(RegSetValueExW(key.Get(), kClientIdValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                                     static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t))),
                      ERROR_SUCCESS);
        }
    }
};

} // namespace

TEST_F(ClientIdTest, FirstCallCreatesAndLaterCallsReadTheSameId)
{
    const std::wstring first = GetClientId();
    ASSERT_TRUE(LooksLikeClientId(first)) << testing::PrintToString(first);
    // Groups one, two, four and five upper case, group three lower case.
    for (size_t i = 0; i < first.size(); ++i) {
        const bool thirdGroup = i >= 14 && i < 18;
        if (std::iswalpha(first[i])) {
            EXPECT_EQ(thirdGroup, std::iswlower(first[i]) != 0)
                << "position " << i << " of " << testing::PrintToString(first);
        }
    }
    EXPECT_EQ(StoredValue(), first);
    EXPECT_EQ(GetClientId(), first);
    EXPECT_EQ(GetClientId(), first);
}

TEST_F(ClientIdTest, KeyWithoutValueGetsANewStoredId)
{
    CreateKeyWithValue(nullptr);
    const std::wstring id = GetClientId();
    EXPECT_TRUE(LooksLikeClientId(id)) << testing::PrintToString(id);
    EXPECT_EQ(StoredValue(), id);
    EXPECT_EQ(GetClientId(), id);
}

TEST_F(ClientIdTest, ExistingValueIsReturnedUnchangedEvenIfNotAGuid)
{
    CreateKeyWithValue(L"not a guid at all");
    EXPECT_EQ(GetClientId(), L"not a guid at all");
    EXPECT_EQ(StoredValue(), L"not a guid at all");
}

TEST(SystemFacts, DataFolderIsBelowProgramFilesAndNamedByTheExecutable)
{
    const std::wstring programFiles = GetProgramFilesFolder();
    ASSERT_GE(programFiles.size(), 2u);
    EXPECT_EQ(programFiles.back(), L'\\');
    EXPECT_NE(GetFileAttributesW(programFiles.c_str()), INVALID_FILE_ATTRIBUTES) << testing::PrintToString(programFiles);
    EXPECT_EQ(GetDataFolder(), programFiles + L"corvane_down\\win_tests\\");
}

TEST(SystemFacts, VersionTextOfTheInstallerAndOfFilesWithoutVersion)
{
    const std::wstring setup = testsupport::HostPath(PW_SETUP_EXE);
    EXPECT_EQ(GetFileVersionString(setup), L"1.0.0.1") << testing::PrintToString(setup);

    // The test program carries no version resource; neither does a text file
    // or a file that does not exist.
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    EXPECT_EQ(GetFileVersionString(self), L"");
    const std::wstring dir = testsupport::MakeTempDir("version");
    ASSERT_TRUE(testsupport::WriteFileBytes(dir + L"\\plain.txt", "no version here"));
    EXPECT_EQ(GetFileVersionString(dir + L"\\plain.txt"), L"");
    EXPECT_EQ(GetFileVersionString(dir + L"\\missing.exe"), L"");
    testsupport::RemoveTree(dir);
}

TEST(SystemFacts, FreeSpaceOfAnExistingAndAMissingVolume)
{
    uint32_t freeMiB = 0xDEADBEEF;
    ASSERT_TRUE(GetDiskFreeSpaceMB(L"C:\\", freeMiB));
    ULARGE_INTEGER available, total, totalFree;
    ASSERT_TRUE(GetDiskFreeSpaceExW(L"C:\\", &available, &total, &totalFree));
    // Both readings of a live volume; allow for other writers in between.
    const double expected = static_cast<double>(totalFree.QuadPart >> 20);
    EXPECT_NEAR(static_cast<double>(freeMiB), expected, 64.0);

    uint32_t untouched = 1234;
    EXPECT_FALSE(GetDiskFreeSpaceMB(L"Q:\\no\\such\\volume\\", untouched));
    EXPECT_EQ(untouched, 1234u);
}

TEST(SystemFacts, ProductNameBitnessAndLanguage)
{
    EXPECT_FALSE(GetWindowsProductName().empty());

    SYSTEM_INFO info = {};
    GetNativeSystemInfo(&info);
    const bool x64 = info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64 ||
                     info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_IA64;
    EXPECT_EQ(IsNativeX64(), x64);

    const std::wstring language = GetUiLanguageCode();
    ASSERT_FALSE(language.empty());
    EXPECT_EQ(language, std::to_wstring(GetUserDefaultUILanguage()));
}
