#include "system/SystemLibrary.h"

#include "common/TestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cwctype>
#include <string>

namespace {

std::wstring Lower(std::wstring text)
{
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

std::wstring FolderOf(HMODULE module)
{
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
    const std::wstring text(path, length);
    return Lower(text.substr(0, text.rfind(L'\\')));
}

// A DLL beside this test program: planted_dll.dll under a name the system
// folder does not hold. Removed, with the marker its loading writes, at the
// end.
class PlantedBesideProgram : public testing::Test {
protected:
    void SetUp() override
    {
        wchar_t program[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, program, MAX_PATH);
        folder = program;
        folder.erase(folder.rfind(L'\\'));
        const std::wstring planted = folder + L"\\" + kWideName;
        ASSERT_TRUE(CopyFileW(testsupport::HostPath(PW_PLANTED_DLL).c_str(), planted.c_str(), FALSE))
            << "error " << GetLastError();
    }
    void TearDown() override
    {
        DeleteFileW((folder + L"\\" + kWideName).c_str());
        DeleteFileW((folder + L"\\planted-marker.txt").c_str());
    }

    static constexpr const char* kName = "pw_planted_probe.dll";
    static constexpr const wchar_t* kWideName = L"pw_planted_probe.dll";
    std::wstring folder;
};

// Where the loader has SetDefaultDllDirectories and where it has not (the
// fallback's flags), a library loaded by name comes from the system folder
// or not at all: never from the program's folder, which a plain load by
// name searches first.
TEST_F(PlantedBesideProgram, SystemLibraryComesFromTheSystemFolderWithEitherLoaderFlags)
{
    wchar_t system[MAX_PATH] = {};
    ASSERT_GT(GetSystemDirectoryW(system, MAX_PATH), 0u);
    for (DWORD flags : {static_cast<DWORD>(LOAD_LIBRARY_SEARCH_SYSTEM32),
                        static_cast<DWORD>(LOAD_WITH_ALTERED_SEARCH_PATH)}) {
        SCOPED_TRACE(flags);
        HMODULE planted = LoadSystemLibrary(kName, flags);
        EXPECT_EQ(planted, nullptr) << "loaded from the program's folder";
        if (planted != nullptr)
            FreeLibrary(planted);
        HMODULE real = LoadSystemLibrary("msimg32.dll", flags);
        ASSERT_NE(real, nullptr);
        EXPECT_EQ(FolderOf(real), Lower(system));
        FreeLibrary(real);
    }
    HMODULE control = LoadLibraryW(kWideName);
    ASSERT_NE(control, nullptr) << "the planted copy is not where a plain load looks first";
    EXPECT_EQ(FolderOf(control), Lower(folder));
    FreeLibrary(control);
}

} // namespace
