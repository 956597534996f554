#include "logging/Assert.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Shown {
    std::string text;
    std::string caption;
};
std::vector<Shown> gShown;

bool RecordDialog(const std::string& text, const std::string& caption)
{
    gShown.push_back({text, caption});
    return false;
}

class AssertTest : public testing::Test {
protected:
    void SetUp() override
    {
        gShown.clear();
        previous = SetAssertHook(RecordDialog);
    }
    void TearDown() override { SetAssertHook(previous); }
    AssertHook previous = nullptr;
};

} // namespace

struct CAssertUser {
    static void Check(int n) { PW_ASSERT(n == 1); }
};

TEST_F(AssertTest, FailedCheckShowsTheDialogText)
{
    AssertCheck(true, "fine", "F::G", 1);
    EXPECT_TRUE(gShown.empty());

    AssertCheck(false, "size > 0", "CHttpDownload::Start", 120);
    ASSERT_EQ(gShown.size(), 1u);
    EXPECT_EQ(gShown[0].caption, "AssertError!");
    EXPECT_EQ(gShown[0].text, "Assert(size > 0);\n (in function CHttpDownload::Start,at line 120)\n is Debug?\n\n");

    AssertCheckMsg(false, "h != 0", "CWinHttpRequest::Open", 7, "code %d at %s", 12007, "connect");
    ASSERT_EQ(gShown.size(), 2u);
    EXPECT_EQ(gShown[1].text,
              "Assert(h != 0);\n (in function CWinHttpRequest::Open,at line 7)\n is Debug?\ncode 12007 at connect\n");
}

TEST_F(AssertTest, MacroPassesTheQualifiedFunction)
{
    CAssertUser::Check(2);
    ASSERT_EQ(gShown.size(), 1u);
    EXPECT_NE(gShown[0].text.find("Assert(n == 1);"), std::string::npos) << gShown[0].text;
    EXPECT_NE(gShown[0].text.find("in function CAssertUser::Check,at line"), std::string::npos) << gShown[0].text;
}
