// The skin builder against the fixture skin (folder and ZIP) and small
// documents: includes, copies, the class table, unknown elements, fonts,
// default attribute lists, window attributes, covers and containers.
#include <gtest/gtest.h>

#include <windows.h>

#include "SkinTestWindow.h"
#include "common/TestSupport.h"
#include "skinui/ButtonUI.h"
#include "skinui/ContainerUI.h"
#include "skinui/LabelUI.h"
#include "skinui/SkinBuilder.h"

using namespace SkinUI;
using skintest::CTestSkinWindow;

namespace {

IContainerUI* AsContainer(CControlUI* control)
{
    return control == nullptr ? nullptr : dynamic_cast<IContainerUI*>(control->QueryControlInterface(L"IContainer"));
}

std::wstring ChildNames(CControlUI* parent)
{
    std::wstring out;
    IContainerUI* container = AsContainer(parent);
    for (int i = 0; container != nullptr && i < container->GetCount(); ++i)
        out += (i > 0 ? L"," : L"") + container->GetChildAt(i)->GetName();
    return out;
}

class SkinBuilderFixtureTest : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override { skintest::UseFixtureSkin(GetParam()); }
    void TearDown() override { CSkinSource::ResetSkinSource(); }
};

} // namespace

TEST_P(SkinBuilderFixtureTest, BuildsTheExpectedTree)
{
    CTestSkinWindow window;
    ASSERT_NE(window.Open(), nullptr);
    CWindowHostUI& host = window.Host();
    ASSERT_NE(host.GetRoot(), nullptr);
    EXPECT_EQ(host.GetRoot()->GetName(), L"root");
    EXPECT_EQ(ChildNames(host.GetRoot()), L"top,rows,bottom");

    // The included file's root element lands in the horizontal layout, in the
    // Include element's place.
    CControlUI* top = host.LookupControl(std::wstring(L"top"));
    EXPECT_EQ(ChildNames(top), L"home,logo,b,b_own,caption_text");
    CControlUI* home = host.LookupControl(std::wstring(L"home"));
    ASSERT_NE(home, nullptr);
    EXPECT_EQ(home->GetParent(), top);
    EXPECT_EQ(home->GetClass(), L"VerticalLayout");
    EXPECT_NE(host.LookupControl(std::wstring(L"home_label")), nullptr);

    // count 3: three separate copies; unknown elements and gifanim skipped
    // with their subtrees while the sibling after them stays.
    CControlUI* rows = host.LookupControl(std::wstring(L"rows"));
    EXPECT_EQ(ChildNames(rows), L"row,row,row,after_unknown");
    IContainerUI* rowList = AsContainer(rows);
    ASSERT_NE(rowList, nullptr);
    ASSERT_EQ(rowList->GetCount(), 4);
    EXPECT_NE(rowList->GetChildAt(0), rowList->GetChildAt(1));
    EXPECT_NE(rowList->GetChildAt(1), rowList->GetChildAt(2));
    rowList->GetChildAt(1)->SetText(L"changed");
    EXPECT_EQ(rowList->GetChildAt(0)->GetText(), L"");
    for (const wchar_t* gone : {L"gif", L"gif_child", L"fancy", L"fancy_child", L"gif_exact"})
        EXPECT_EQ(host.LookupControl(std::wstring(gone)), nullptr) << gone;

    // <Button> is a CButtonUI; the Default list comes before the element's
    // own attributes.
    auto* b = dynamic_cast<CButtonUI*>(host.LookupControl(std::wstring(L"b")));
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->GetFixedHeight(), 30);
    EXPECT_EQ(b->GetTextColor(), 0xFF112233u);
    auto* own = dynamic_cast<CButtonUI*>(host.LookupControl(std::wstring(L"b_own")));
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(own->GetFixedHeight(), 40);
    EXPECT_EQ(own->GetTextColor(), 0xFF445566u);
    EXPECT_EQ(dynamic_cast<CButtonUI*>(host.LookupControl(std::wstring(L"logo"))), nullptr);

    // Fonts: ids and heights; a Font without a valid id registers nothing,
    // even as default.
    HFONT font1 = host.GetFont(1);
    ASSERT_NE(font1, nullptr);
    LOGFONTW lf = {};
    ASSERT_NE(GetObjectW(font1, sizeof(lf), &lf), 0);
    EXPECT_EQ(lf.lfHeight, -14);
    EXPECT_EQ(lf.lfWeight, FW_NORMAL);
    EXPECT_STREQ(lf.lfFaceName, L"Segoe UI");
    HFONT font2 = host.GetFont(2);
    ASSERT_NE(GetObjectW(font2, sizeof(lf), &lf), 0);
    EXPECT_EQ(lf.lfHeight, -20);
    EXPECT_GE(lf.lfWeight, FW_BOLD);
    const TFontInfo* base = host.GetDefaultFontInfo();
    ASSERT_NE(base, nullptr);
    EXPECT_EQ(base->nSize, 20);
    EXPECT_TRUE(base->bBold);
    EXPECT_EQ(host.GetFont(L"Arial", 30, false, false, false), nullptr);
    EXPECT_EQ(host.GetFont(L"Arial", 31, false, false, false), nullptr);

    // Window attributes.
    EXPECT_EQ(host.GetInitSize().cx, 650);
    EXPECT_EQ(host.GetInitSize().cy, 360);
    RECT box = host.GetSizeBox();
    EXPECT_EQ(box.left, 4);
    EXPECT_EQ(box.top, 4);
    EXPECT_EQ(box.right, 4);
    EXPECT_EQ(box.bottom, 4);
    RECT caption = host.GetCaptionRect();
    EXPECT_EQ(caption.left, 0);
    EXPECT_EQ(caption.top, 0);
    EXPECT_EQ(caption.right, 0);
    EXPECT_EQ(caption.bottom, 290);
    EXPECT_EQ(host.GetMinInfo().cx, 400);
    EXPECT_EQ(host.GetWindowCustomAttribute(L"custom_attr"), L"first");
    EXPECT_EQ(CSkinResources::GetLangString(7), L"seven");
    RECT rc;
    GetClientRect(window.GetHWND(), &rc);
    EXPECT_EQ(rc.right - rc.left, 650);
    EXPECT_EQ(rc.bottom - rc.top, 360);
}

INSTANTIATE_TEST_SUITE_P(FolderAndZip, SkinBuilderFixtureTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Zip" : "Folder"; });

TEST(SkinBuilderTest, ClassTableNamesAndCase)
{
    struct Row {
        const wchar_t* element;
        const wchar_t* cls;   // nullptr: unknown
    };
    const Row rows[] = {
        {L"Control", L"Control"},        {L"control", L"Control"},      {L"BUTTON", L"Button"},
        {L"Label", L"Label"},            {L"Text", L"Text"},            {L"Option", L"Option"},
        {L"CheckBox", L"CheckBox"},      {L"Edit", L"Edit"},            {L"Progress", L"Progress"},
        {L"VBox", L"VerticalLayout"},    {L"hbox", L"HorizontalLayout"}, {L"TabLayout", L"TabLayout"},
        {L"Container", L"Container"},    {L"GifAnim", nullptr},         {L"gifanim", nullptr},
        {L"List", nullptr},              {L"Fancy", nullptr},           {L"", nullptr},
    };
    for (const Row& row : rows) {
        CControlUI* control = CSkinBuilder::CreateFromClassTable(row.element);
        if (row.cls == nullptr) {
            EXPECT_EQ(control, nullptr) << row.element;
        } else {
            ASSERT_NE(control, nullptr) << row.element;
            EXPECT_EQ(control->GetClass(), row.cls) << row.element;
        }
        if (control != nullptr)
            control->Delete();
    }
}

TEST(SkinBuilderTest, DocumentTextWithoutHost)
{
    CSkinBuilder builder;
    CControlUI* first = builder.Create(CSkinBuilder::Source(L"<Window><button name=\"b\"/><Label name=\"l\"/></Window>"));
    ASSERT_NE(first, nullptr);
    EXPECT_NE(dynamic_cast<CButtonUI*>(first), nullptr);
    EXPECT_EQ(first->GetName(), L"b");
    EXPECT_EQ(first->GetHost(), nullptr);
    first->Delete();   // the second top-level control was never attached: the caller's
}

TEST(SkinBuilderTest, LoadFailuresReturnNothingWithTheParserMessage)
{
    const wchar_t* docs[] = {L"<Window><Label name=\"open</Window>", L"<Window", L"<>"};
    for (const wchar_t* doc : docs) {
        CSkinBuilder builder;
        EXPECT_EQ(builder.Create(CSkinBuilder::Source(doc)), nullptr) << doc;
        EXPECT_NE(std::wstring(builder.GetSkinMarkup().GetLastErrorMessage()), L"") << doc;
    }
    skintest::UseFixtureSkin(false);
    CSkinBuilder missing;
    EXPECT_EQ(missing.Create(CSkinBuilder::Source(L"no_such_layout.xml")), nullptr);
    EXPECT_NE(std::wstring(missing.GetSkinMarkup().GetLastErrorMessage()), L"");
    CSkinSource::ResetSkinSource();
}

namespace {
class CRecordingCallback : public IDialogBuilderCallback {
public:
    CControlUI* CreateCustomControl(const std::wstring& name) override
    {
        asked.push_back(name);
        return name == L"Special" ? new CContainerUI : nullptr;
    }
    std::vector<std::wstring> asked;
};
} // namespace

TEST(SkinBuilderTest, CallbackCoverAndContainerRules)
{
    CRecordingCallback callback;
    CVerticalLayoutUI parent;
    CSkinBuilder builder;
    CControlUI* first = builder.Create(
        CSkinBuilder::Source(L"<Window><Unknown><Label name=\"inner\"/></Unknown>"
                             L"<Special name=\"s\"><Label name=\"in_special\"/></Special>"
                             L"<TreeNode name=\"t\"/>"
                             L"<Control name=\"cover\" cover=\"true\"/><Label name=\"last\"/></Window>"),
        nullptr, &callback, nullptr, &parent);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->GetName(), L"s");
    EXPECT_EQ(callback.asked, (std::vector<std::wstring>{L"Unknown", L"Special"}));
    EXPECT_EQ(ChildNames(&parent), L"s,last");
    EXPECT_EQ(ChildNames(first), L"in_special");
    ASSERT_NE(parent.GetOverlay(), nullptr);
    EXPECT_EQ(parent.GetOverlay()->GetName(), L"cover");

    // A parent that is not a container ends the build with nothing.
    CLabelUI label;
    CSkinBuilder second;
    EXPECT_EQ(second.Create(CSkinBuilder::Source(L"<Window><Label name=\"x\"/></Window>"), nullptr, nullptr,
                            nullptr, &label),
              nullptr);
}

TEST(SkinBuilderTest, IncludeCountBuildsCopiesFromOneParse)
{
    skintest::UseFixtureSkin(true);
    CHorizontalLayoutUI parent;
    CSkinBuilder builder;
    CControlUI* first = builder.Create(
        CSkinBuilder::Source(L"<Window><Include source=\"row.xml\" count=\"5\"/><Include/>"
                             L"<Include source=\"missing.xml\" count=\"2\"/><Label name=\"end\"/></Window>"),
        nullptr, nullptr, nullptr, &parent);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->GetName(), L"row");
    EXPECT_EQ(ChildNames(&parent), L"row,row,row,row,row,end");
    CSkinSource::ResetSkinSource();
}

namespace {
// Makes "Probe" controls and counts how many of them are alive.
class CCountingCallback : public IDialogBuilderCallback {
public:
    struct CProbe : CControlUI {
        explicit CProbe(int& count) : live(count) { ++live; }
        ~CProbe() override { --live; }
        int& live;
    };
    CControlUI* CreateCustomControl(const std::wstring& name) override
    {
        return name == L"Probe" ? new CProbe(live) : nullptr;
    }
    int live = 0;
};
} // namespace

TEST(SkinBuilderTest, AbortedBuildFreesItsFirstTopLevelControl)
{
    // The second top-level element has a child but is no container: the
    // build ends, and the first top-level control, which no parent owns,
    // must not be left behind.
    CCountingCallback callback;
    CSkinBuilder builder;
    EXPECT_EQ(builder.Create(CSkinBuilder::Source(L"<Window><Probe name=\"first\"/><Label><Button/></Label></Window>"),
                             nullptr, &callback),
              nullptr);
    EXPECT_EQ(callback.live, 0);
}

TEST(SkinBuilderTest, IncludeDepthCopiesAndControlsAreBounded)
{
    // A layout that includes itself stops at the depth bound instead of
    // overflowing the stack; the build fails with that error.
    const std::wstring dir = testsupport::MakeTempDir("include");
    ASSERT_TRUE(testsupport::WriteFileBytes(dir + L"\\self.xml",
                                            "<Window><Label name=\"l\"/><Include source=\"self.xml\"/></Window>"));
    CSkinSource::SetSkinPath(dir);
    CVerticalLayoutUI parent;
    CSkinBuilder self;
    EXPECT_EQ(self.Create(CSkinBuilder::Source(L"self.xml"), nullptr, nullptr, nullptr, &parent), nullptr);
    EXPECT_EQ(self.GetBuildError(), L"Include nested too deeply: self.xml");
    CSkinSource::ResetSkinSource();
    testsupport::RemoveTree(dir);

    CSkinBuilder copies;
    EXPECT_EQ(copies.Create(CSkinBuilder::Source(L"<Window><Include source=\"&lt;Label/&gt;\" count=\"101\"/></Window>")),
              nullptr);
    EXPECT_EQ(copies.GetBuildError(), L"Include count too large: <Label/>");

    // 100 copies of 100 copies of three labels: more controls than a build
    // may make.
    CSkinBuilder many;
    EXPECT_EQ(many.Create(CSkinBuilder::Source(
                  L"<Window><Include count=\"100\" source=\"&lt;Window&gt;&lt;Include count=&quot;100&quot; "
                  L"source=&quot;&amp;lt;Window&amp;gt;&amp;lt;Label/&amp;gt;&amp;lt;Label/&amp;gt;&amp;lt;Label/"
                  L"&amp;gt;&amp;lt;/Window&amp;gt;&quot;/&gt;&lt;/Window&gt;\"/></Window>")),
              nullptr);
    EXPECT_EQ(many.GetBuildError(), L"Too many controls");
    CSkinBuilder fine;
    CControlUI* built = fine.Create(
        CSkinBuilder::Source(L"<Window><Include source=\"&lt;Window&gt;&lt;Label/&gt;&lt;/Window&gt;\" count=\"100\"/></Window>"));
    EXPECT_NE(built, nullptr);
    EXPECT_EQ(fine.GetBuildError(), L"");
    delete built;
}
