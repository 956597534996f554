#include "logging/PathUtil.h"

#include <gtest/gtest.h>

TEST(PathUtil, NormalizeCollapsesPairsLeftToRight)
{
    struct Case { const wchar_t* in; const wchar_t* out; };
    const Case cases[] = {
        {L"a//b\\\\c", L"a\\b\\c"},
        {L"a///b", L"a\\\\b"},          // a run of three becomes two
        {L"a////b", L"a\\\\b"},
        {L"C:/x/y/", L"C:\\x\\y\\"},
        {L"", L""},
        {L"plain", L"plain"},
        {L"\\\\server\\share", L"\\server\\share"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(NormalizePath(c.in), c.out) << "input: " << testing::PrintToString(std::wstring(c.in));
}
