#include "skinui/SkinMarkup.h"

#include "common/TestSupport.h"
#include "config/ZipArchive.h"
#include "logging/FileSystem.h"
#include "logging/TextEncoding.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <string>
#include <vector>

using SkinUI::CSkinMarkup;
using SkinUI::CSkinMarkupNode;

namespace {

// The tree as one line: Name{attr=value,...}"value"[children] siblings...
// Element values are shown only when they are not empty.
std::wstring Dump(const CSkinMarkupNode& first)
{
    std::wstring out;
    for (CSkinMarkupNode node = first; node.IsValid(); node = node.GetSibling()) {
        if (!out.empty())
            out += L' ';
        out += node.GetName();
        if (node.HasAttributes()) {
            out += L'{';
            for (int i = 0; i < node.GetAttributeCount(); ++i) {
                if (i > 0)
                    out += L',';
                out += node.GetAttributeName(i);
                out += L'=';
                out += node.GetAttributeValue(i);
            }
            out += L'}';
        }
        if (node.GetValue()[0] != 0)
            out += std::wstring(L"\"") + node.GetValue() + L"\"";
        if (node.HasChildren())
            out += L"[" + Dump(node.GetChild()) + L"]";
    }
    return out;
}

std::string Narrow(const std::wstring& text)
{
    return WideToUtf8(text);
}

std::string NarrowPath(const std::wstring& path)
{
#ifdef _WIN32
    return WideToUtf8(path);
#else
    return FsNativePath(path);
#endif
}

TEST(SkinMarkup, ParsesTheSkinSubset)
{
    struct Case { const wchar_t* text; const wchar_t* tree; };
    const Case cases[] = {
        // Declaration and comments anywhere between elements are skipped.
        {L"<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\" ?>\r\n<!-- top -->"
         L"<Window size=\"650,360\"><!-- inner --><Button name=\"b\"/><!--x--></Window><!-- after -->",
         L"Window{size=650,360}[Button{name=b}]"},
        // Blanks around "=", and none between attributes.
        {L"<Edit borderround =\"2,2\" font=\"1\"/>", L"Edit{borderround=2,2,font=1}"},
        {L"<CheckBox textpadding=\"20,0,0,0\"selectedimage=\"file='img/checked.png' dest='0,8,14,22'\"/>",
         L"CheckBox{textpadding=20,0,0,0,selectedimage=file='img/checked.png' dest='0,8,14,22'}"},
        {L"<a x = \"1\"\ty\r\n=\r\n\"2\" />", L"a{x=1,y=2}"},
        // The five entities; anything else after "&" stays as written.
        {L"<B text=\"Install &gt;&gt;\"/>", L"B{text=Install >>}"},
        {L"<B text=\"&copy; 2026\"/>", L"B{text=&copy; 2026}"},
        {L"<B t=\"&amp;&lt;&gt;&quot;&apos;\" u=\"a & b &amp\"/>", L"B{t=&<>\"',u=a & b &amp}"},
        {L"<B t=\"&&amp;;\"/>", L"B{t=&&;}"},
        {L"<a>x &lt;y&gt; &amp;</a>", L"a\"x <y> &\""},
        // Character data keeps blanks and line breaks; it stops at the first child.
        {L"<a>  one\r\n two </a>", L"a\"  one\r\n two \""},
        {L"<a>head<b>inner</b></a>", L"a\"head\"[b\"inner\"]"},
        {L"<a>&gt;<b/></a>", L"a\">\"[b]"},
        // Missing closing tags at the top two levels are tolerated.
        {L"<Window><Button/>", L"Window[Button]"},
        {L"<Window><Layout><Button/></Layout>", L"Window[Layout[Button]]"},
        {L"<a><b>", L"a[b]"},
        {L"<a>text", L"a\"text\""},
        // Several top-level elements are siblings of the root.
        {L"<a/><b/>\n<c></c>", L"a b c"},
        {L"<a/></x>ignored", L"a"},
        // An element name directly followed by "/>" or ">"; names with ":" and "_".
        {L"<a/>", L"a"},
        {L"<ns:x_1 ></ns:x_1 >", L"ns:x_1"},
        {L"< a ></a>", L"a"},
        {L"<a></ a >", L"a"},
        // A closing quote of a value is never part of the next name.
        {L"<a v=\"'\"/>", L"a{v='}"},
        {L"<a v=\"\"/>", L"a{v=}"},
        // Empty attribute names are kept, wherever they stand.
        {L"<a=\"1\" =\"2\" = \"3\"/>", L"a{=1,=2,=3}"},
        // Siblings and nesting.
        {L"<r><a/><b><c/><d/></b><e/></r>", L"r[a b[c d] e]"},
    };
    for (const Case& c : cases) {
        CSkinMarkup markup;
        ASSERT_TRUE(markup.Load(c.text)) << Narrow(c.text) << " -> " << Narrow(markup.GetLastErrorMessage())
                                          << " at " << Narrow(markup.GetLastErrorLocation());
        EXPECT_EQ(Dump(markup.GetRoot()), c.tree) << Narrow(c.text);
        EXPECT_STREQ(markup.GetLastErrorMessage(), L"");
        EXPECT_STREQ(markup.GetLastErrorLocation(), L"");
    }
}

TEST(SkinMarkup, ReportsEveryParseFailureWithItsLocation)
{
    struct Case { const wchar_t* text; const wchar_t* message; const wchar_t* location; };
    const Case cases[] = {
        {L"text", L"Expected start tag", L"text"},
        {L"<a>text<b/>tail</a>", L"Expected start tag", L"tail</a>"},
        {L"<a/>tail", L"Expected start tag", L"tail"},
        // Two levels down a missing closing tag is an error.
        {L"<root><a><b/>", L"Expected start tag", L""},
        {L"<root><a><b>text", L"Expected end-tag start", L""},
        {L"<a></b>", L"Unmatched closing tag", L"b>"},
        {L"<ab></abc>", L"Unmatched closing tag", L"c>"},
        {L"<a><b></a></b>", L"Unmatched closing tag", L"a></b>"},
        {L"<a></a", L"Unmatched closing tag", L""},
        {L"<a><b></b></a", L"Unmatched closing tag", L""},
        {L"< />", L"Error parsing element name", L"/>"},
        {L"<>", L"Error parsing element name", L">"},
        {L"<a>< </a>", L"Error parsing element name", L"</a>"},
        {L"<a/ >", L"Expected start-tag closing", L"/ >"},
        {L"<a x=\"1\"", L"Expected start-tag closing", L""},
        {L"<a x=\"1\"?>", L"Error while parsing attributes", L"?>"},
        {L"<a b>", L"Error while parsing attributes", L">"},
        {L"<a b c=\"1\"/>", L"Error while parsing attributes", L"c=\"1\"/>"},
        {L"<a name='x'/>", L"Expected attribute value", L"'x'/>"},
        {L"<a name=>", L"Expected attribute value", L">"},
        {L"<a b=\"1>", L"Error while parsing attribute string", L""},
    };
    for (const Case& c : cases) {
        CSkinMarkup markup;
        EXPECT_FALSE(markup.Load(c.text)) << Narrow(c.text);
        EXPECT_STREQ(markup.GetLastErrorMessage(), c.message) << Narrow(c.text);
        EXPECT_STREQ(markup.GetLastErrorLocation(), c.location) << Narrow(c.text);
        EXPECT_FALSE(markup.IsValid()) << Narrow(c.text);
        EXPECT_FALSE(markup.GetRoot().IsValid()) << Narrow(c.text);
    }
}

TEST(SkinMarkup, ErrorLocationKeepsFortyNineCharacters)
{
    const std::wstring tail = L"0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
    CSkinMarkup markup;
    ASSERT_FALSE(markup.Load((L"<a/>" + tail).c_str()));
    EXPECT_EQ(std::wstring(markup.GetLastErrorLocation()), tail.substr(0, 49));
}

TEST(SkinMarkup, FailureReleasesThePreviousDocumentAndSuccessClearsTheError)
{
    CSkinMarkup markup(L"<a x=\"1\"/>");
    ASSERT_TRUE(markup.IsValid());
    EXPECT_FALSE(markup.Load(L"<a></b>"));
    EXPECT_FALSE(markup.IsValid());
    EXPECT_EQ(markup.GetElementCount(), 0u);
    EXPECT_STREQ(markup.GetLastErrorMessage(), L"Unmatched closing tag");
    EXPECT_TRUE(markup.Load(L"<b/>"));
    EXPECT_STREQ(markup.GetLastErrorMessage(), L"");
    EXPECT_STREQ(markup.GetRoot().GetName(), L"b");
    markup.Release();
    EXPECT_FALSE(markup.IsValid());
    EXPECT_FALSE(markup.GetRoot().IsValid());
}

TEST(SkinMarkup, DocumentsWithoutElementsLoadWithoutRoot)
{
    const std::string inputs[] = {"\xEF\xBB\xBF", " \r\n\t ", "", "<!-- only a comment -->", "<?xml version=\"1.0\"?>"};
    for (const std::string& bytes : inputs) {
        CSkinMarkup markup;
        EXPECT_TRUE(markup.LoadFromMem(bytes.data(), bytes.size(), SkinUI::kMarkupEncoding_Utf8))
            << bytes << ": " << Narrow(markup.GetLastErrorMessage());
        EXPECT_TRUE(markup.IsValid()) << bytes;
        EXPECT_FALSE(markup.GetRoot().IsValid()) << bytes;
        EXPECT_EQ(markup.GetElementCount(), 1u) << "only the sentinel record";
    }
}

TEST(SkinMarkup, LinksElementsThroughTheFlatTable)
{
    CSkinMarkup markup(L"<r><a/><b><c/></b></r><s/>");
    CSkinMarkupNode root = markup.GetRoot();
    ASSERT_TRUE(root.IsValid());
    EXPECT_FALSE(root.GetParent().IsValid());
    CSkinMarkupNode a = root.GetChild();
    CSkinMarkupNode b = a.GetSibling();
    CSkinMarkupNode c = b.GetChild();
    EXPECT_STREQ(a.GetName(), L"a");
    EXPECT_STREQ(b.GetName(), L"b");
    EXPECT_STREQ(c.GetName(), L"c");
    EXPECT_STREQ(c.GetParent().GetName(), L"b");
    EXPECT_STREQ(c.GetParent().GetParent().GetName(), L"r");
    EXPECT_FALSE(b.GetSibling().IsValid());
    EXPECT_FALSE(a.HasChildren());
    EXPECT_TRUE(b.HasChildren());
    EXPECT_STREQ(root.GetSibling().GetName(), L"s");
    EXPECT_EQ(markup.GetElementCount(), 6u);  // sentinel + five
}

TEST(SkinMarkup, InvalidNodesAnswerSafely)
{
    CSkinMarkupNode none;
    EXPECT_FALSE(none.IsValid());
    EXPECT_FALSE(none.GetChild().GetSibling().GetParent().IsValid());
    EXPECT_EQ(none.GetName(), nullptr);
    EXPECT_EQ(none.GetValue(), nullptr);
    EXPECT_EQ(none.GetAttributeName(0), nullptr);
    EXPECT_EQ(none.GetAttributeValue(0), nullptr);
    EXPECT_EQ(none.GetAttributeValue(L"x"), nullptr);
    EXPECT_EQ(none.GetAttributeCount(), 0);
    EXPECT_FALSE(none.HasChildren());
    EXPECT_FALSE(none.HasAttributes());
    wchar_t buffer[8] = L"keep";
    EXPECT_FALSE(none.GetAttributeValue(L"x", buffer, 8));
    EXPECT_STREQ(buffer, L"keep");
}

TEST(SkinMarkup, AttributeLookupByIndexAndName)
{
    CSkinMarkup markup(L"<Button name=\"btn_install\" text=\"Install\" name=\"second\" Text=\"case\"/>");
    CSkinMarkupNode node = markup.GetRoot();
    ASSERT_EQ(node.GetAttributeCount(), 4);
    EXPECT_STREQ(node.GetAttributeName(2), L"name");
    EXPECT_STREQ(node.GetAttributeValue(2), L"second");
    EXPECT_STREQ(node.GetAttributeName(-1), L"");
    EXPECT_STREQ(node.GetAttributeValue(4), L"");
    EXPECT_STREQ(node.GetAttributeName(64), L"");
    // By name: exact case, first match.
    EXPECT_STREQ(node.GetAttributeValue(L"name"), L"btn_install");
    EXPECT_STREQ(node.GetAttributeValue(L"Text"), L"case");
    EXPECT_EQ(node.GetAttributeValue(L"NAME"), nullptr);
    EXPECT_TRUE(node.HasAttribute(L"text"));
    EXPECT_FALSE(node.HasAttribute(L"tex"));

    wchar_t buffer[5];
    ASSERT_TRUE(node.GetAttributeValue(L"name", buffer, 5));
    EXPECT_STREQ(buffer, L"btn_") << "truncated and still terminated";
    wchar_t untouched[2] = {L'z', 0};
    EXPECT_TRUE(node.GetAttributeValue(L"name", untouched, 0));
    EXPECT_EQ(untouched[0], L'z');
    EXPECT_FALSE(node.GetAttributeValue(L"missing", buffer, 5));

    // A copied node keeps working, mapped or not.
    CSkinMarkupNode copy = node;
    EXPECT_STREQ(copy.GetAttributeValue(L"text"), L"Install");
}

TEST(SkinMarkup, SeventyAttributesExposeSixtyFour)
{
    std::wstring text = L"<Many";
    for (int i = 0; i < 70; ++i)
        text += L" a" + std::to_wstring(i) + L"=\"v" + std::to_wstring(i) + L"\"";
    text += L"><Child/></Many>";
    CSkinMarkup markup;
    ASSERT_TRUE(markup.Load(text.c_str()));
    CSkinMarkupNode node = markup.GetRoot();
    ASSERT_EQ(node.GetAttributeCount(), 64);
    EXPECT_STREQ(node.GetAttributeName(63), L"a63");
    EXPECT_STREQ(node.GetAttributeValue(63), L"v63");
    EXPECT_STREQ(node.GetAttributeName(64), L"");
    EXPECT_STREQ(node.GetAttributeValue(L"a63"), L"v63");
    EXPECT_EQ(node.GetAttributeValue(L"a64"), nullptr);
    EXPECT_EQ(node.GetAttributeValue(L"a69"), nullptr);
    EXPECT_STREQ(node.GetChild().GetName(), L"Child");
}

TEST(SkinMarkup, ElementTableGrowsPastFiveHundred)
{
    std::wstring text = L"<Window>";
    for (int i = 0; i < 1300; ++i)
        text += L"<Button name=\"b" + std::to_wstring(i) + L"\"/>";
    text += L"</Window>";
    CSkinMarkup markup;
    ASSERT_TRUE(markup.Load(text.c_str()));
    // 1302 records: 500, then 500 + 250 + 500, then 1250 + 625 + 500.
    EXPECT_EQ(markup.GetElementCount(), 1302u);
    EXPECT_EQ(markup.GetElementCapacity(), 2375u);
    int count = 0;
    for (CSkinMarkupNode node = markup.GetRoot().GetChild(); node.IsValid(); node = node.GetSibling()) {
        ASSERT_TRUE(node.HasAttribute(L"name")) << "element " << count;
        ASSERT_EQ(std::wstring(node.GetAttributeValue(L"name")), L"b" + std::to_wstring(count)) << "element " << count;
        ASSERT_STREQ(node.GetParent().GetName(), L"Window");
        ++count;
    }
    EXPECT_EQ(count, 1300);

    CSkinMarkup small(L"<a/>");
    EXPECT_EQ(small.GetElementCapacity(), 500u);
}

TEST(SkinMarkup, DeepNestingNeedsNoRecursion)
{
    const int depth = 200000;
    std::wstring text;
    for (int i = 0; i < depth; ++i)
        text += L"<a>";
    for (int i = 0; i < depth; ++i)
        text += L"</a>";
    CSkinMarkup markup;
    ASSERT_TRUE(markup.Load(text.c_str())) << Narrow(markup.GetLastErrorMessage());
    int levels = 0;
    for (CSkinMarkupNode node = markup.GetRoot(); node.IsValid(); node = node.GetChild())
        ++levels;
    EXPECT_EQ(levels, depth);
}

TEST(SkinMarkup, DecodesTheThreeEncodings)
{
    // "<a t="Grüße €𝄞"/>" in each encoding.
    const std::wstring expected = std::wstring(L"Gr\u00FC\u00DFe \u20AC") +
                                  (sizeof(wchar_t) == 2 ? std::wstring(L"\xD834\xDD1E") : std::wstring(1, wchar_t(0x1D11E)));
    const std::string utf8Body = "<a t=\"Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC\xF0\x9D\x84\x9E\"/>";
    const char16_t utf16Body[] = u"<a t=\"Gr\u00FC\u00DFe \u20AC\U0001D11E\"/>";
    std::string le, be;
    for (size_t i = 0; utf16Body[i] != 0; ++i) {
        le += static_cast<char>(utf16Body[i] & 0xFF);
        le += static_cast<char>(utf16Body[i] >> 8);
        be += static_cast<char>(utf16Body[i] >> 8);
        be += static_cast<char>(utf16Body[i] & 0xFF);
    }
    struct Case { const char* label; std::string bytes; int encoding; };
    const Case cases[] = {
        {"utf-8", utf8Body, SkinUI::kMarkupEncoding_Utf8},
        {"utf-8 with mark", "\xEF\xBB\xBF" + utf8Body, SkinUI::kMarkupEncoding_Utf8},
        {"utf-16 le", "\xFF\xFE" + le, SkinUI::kMarkupEncoding_Utf16},
        {"utf-16 be", "\xFE\xFF" + be, SkinUI::kMarkupEncoding_Utf16},
        {"utf-16 without mark", le, SkinUI::kMarkupEncoding_Utf16},
        {"utf-16 odd byte dropped", "\xFF\xFE" + le + "x", SkinUI::kMarkupEncoding_Utf16},
    };
    for (const Case& c : cases) {
        CSkinMarkup markup;
        ASSERT_TRUE(markup.LoadFromMem(c.bytes.data(), c.bytes.size(), c.encoding))
            << c.label << ": " << Narrow(markup.GetLastErrorMessage());
        EXPECT_EQ(std::wstring(markup.GetRoot().GetAttributeValue(L"t")), expected) << c.label;
    }

    // A mark is only dropped in UTF-8 mode; in ANSI mode its bytes are text.
    const std::string ansi = "<a t=\"plain\"/>";
    CSkinMarkup markup;
    ASSERT_TRUE(markup.LoadFromMem(ansi.data(), ansi.size(), SkinUI::kMarkupEncoding_Ansi));
    EXPECT_STREQ(markup.GetRoot().GetAttributeValue(L"t"), L"plain");
    const std::string marked = "\xEF\xBB\xBF" + ansi;
    EXPECT_FALSE(markup.LoadFromMem(marked.data(), marked.size(), SkinUI::kMarkupEncoding_Ansi));
    EXPECT_STREQ(markup.GetLastErrorMessage(), L"Expected start tag");
#ifndef _WIN32
    // Outside Windows the ANSI bytes are read as Latin-1.
    const std::string latin = "<a t=\"caf\xE9\"/>";
    ASSERT_TRUE(markup.LoadFromMem(latin.data(), latin.size(), SkinUI::kMarkupEncoding_Ansi));
    EXPECT_STREQ(markup.GetRoot().GetAttributeValue(L"t"), L"caf\u00E9");
#endif

    // Malformed UTF-8 becomes U+FFFD, and a zero byte ends the document.
    static const char kBad[] = "<a t=\"x\xFFy\"/>\0<junk";
    const std::string bad(kBad, sizeof(kBad) - 1);
    ASSERT_TRUE(markup.LoadFromMem(bad.data(), bad.size(), SkinUI::kMarkupEncoding_Utf8));
    EXPECT_STREQ(markup.GetRoot().GetAttributeValue(L"t"), L"x\uFFFDy");
    EXPECT_FALSE(markup.GetRoot().GetSibling().IsValid());
}

class SkinMarkupFiles : public testing::Test {
protected:
    void SetUp() override { dir = testsupport::MakeTempDir("skinmarkup"); }
    void TearDown() override { testsupport::RemoveTree(dir); }

    std::wstring Path(const wchar_t* name) const { return dir + L"\\" + name; }

    // Writes an archive with the given entries (stored, not deflated, when
    // stored is set so a test can damage an entry's bytes in place).
    std::wstring WriteArchive(const std::vector<std::pair<std::string, std::string>>& entries, bool stored = false)
    {
        const std::wstring path = Path(L"skin.zip");
        zipFile zip = zipOpen64(NarrowPath(path).c_str(), APPEND_STATUS_CREATE);
        EXPECT_NE(zip, nullptr);
        for (const auto& entry : entries) {
            zip_fileinfo info = {};
            EXPECT_EQ(zipOpenNewFileInZip64(zip, entry.first.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                            stored ? 0 : Z_DEFLATED, stored ? 0 : Z_DEFAULT_COMPRESSION, 1),
                      ZIP_OK);
            EXPECT_EQ(zipWriteInFileInZip(zip, entry.second.data(), static_cast<unsigned>(entry.second.size())),
                      ZIP_OK);
            zipCloseFileInZip(zip);
        }
        zipClose(zip, nullptr);
        return path;
    }

    std::wstring dir;
};

TEST_F(SkinMarkupFiles, LoadsFromAFolderWithItsMessages)
{
    const std::string limit(CSkinMarkup::kMaxFileSize, ' ');
    std::string exact = "<a/>" + limit.substr(4);
    ASSERT_TRUE(testsupport::WriteFileBytes(Path(L"main.xml"), "\xEF\xBB\xBF<Window><Button text=\"ok\"/></Window>"));
    ASSERT_TRUE(testsupport::WriteFileBytes(Path(L"empty.xml"), ""));
    ASSERT_TRUE(testsupport::WriteFileBytes(Path(L"exact.xml"), exact));
    ASSERT_TRUE(testsupport::WriteFileBytes(Path(L"big.xml"), exact + " "));
    ASSERT_TRUE(testsupport::WriteFileBytes(Path(L"broken.xml"), "<a></b>"));

    struct Case { const wchar_t* name; bool ok; const wchar_t* message; };
    const Case cases[] = {
        {L"main.xml", true, L""},
        {L"exact.xml", true, L""},
        {L"missing.xml", false, L"Error opening file"},
        {L"empty.xml", false, L"File is empty"},
        {L"big.xml", false, L"File too large"},
        {L"broken.xml", false, L"Unmatched closing tag"},
    };
    for (const Case& c : cases) {
        CSkinMarkup markup(L"<previous/>");
        EXPECT_EQ(markup.LoadFromPath(Path(c.name)), c.ok) << Narrow(c.name);
        EXPECT_STREQ(markup.GetLastErrorMessage(), c.message) << Narrow(c.name);
        EXPECT_EQ(markup.IsValid(), c.ok) << Narrow(c.name);
    }
    CSkinMarkup markup;
    ASSERT_TRUE(markup.LoadFromPath(Path(L"main.xml")));
    EXPECT_EQ(Dump(markup.GetRoot()), L"Window[Button{text=ok}]");
}

TEST_F(SkinMarkupFiles, LoadsFromAnArchiveWithItsMessages)
{
    const std::string big(CSkinMarkup::kMaxFileSize + 1, ' ');
    const std::wstring archivePath = WriteArchive({
        {"img/", ""},
        {"layout/main.xml", "<Window><Button name=\"btn_install\"/></Window>"},
        {"layout/empty.xml", ""},
        {"layout/big.xml", "<a/>" + big.substr(4)},
    });
    CZipArchive archive;
    ASSERT_TRUE(archive.OpenFile(archivePath));

    struct Case { std::wstring name; bool ok; const wchar_t* message; };
    const Case cases[] = {
        {L"layout/main.xml", true, L""},
        {L"LAYOUT\\Main.XML", true, L""},
        {L"layout/other.xml", false, L"Could not find ziped file"},
        {L"layout/empty.xml", false, L"File is empty"},
        {L"layout/big.xml", false, L"File too large"},
        {std::wstring(300, L'x'), false, L"Could not find ziped file"},
    };
    for (const Case& c : cases) {
        CSkinMarkup markup;
        EXPECT_EQ(markup.LoadFromArchive(&archive, c.name), c.ok) << Narrow(c.name);
        EXPECT_STREQ(markup.GetLastErrorMessage(), c.message) << Narrow(c.name);
        if (c.ok) {
            EXPECT_EQ(Dump(markup.GetRoot()), L"Window[Button{name=btn_install}]");
        }
    }

    CSkinMarkup markup;
    EXPECT_FALSE(markup.LoadFromArchive(nullptr, L"layout/main.xml"));
    EXPECT_STREQ(markup.GetLastErrorMessage(), L"Error opening zip file");
    CZipArchive closed;
    EXPECT_FALSE(markup.LoadFromArchive(&closed, L"layout/main.xml"));
    EXPECT_STREQ(markup.GetLastErrorMessage(), L"Error opening zip file");
    EXPECT_FALSE(markup.LoadFromArchiveFile(Path(L"nothing.zip"), L"layout/main.xml"));
    EXPECT_STREQ(markup.GetLastErrorMessage(), L"Error opening zip file");
    EXPECT_STREQ(markup.GetLastErrorLocation(), L"layout/main.xml");
    EXPECT_TRUE(markup.LoadFromArchiveFile(archivePath, L"layout\\main.xml"));
}

TEST_F(SkinMarkupFiles, DamagedArchiveEntryCannotBeUnzipped)
{
    const std::string body = "<Window marker=\"DAMAGE-ME\"/>";
    const std::wstring archivePath = WriteArchive({{"main.xml", body}}, /*stored=*/true);
    std::string bytes = testsupport::ReadFileBytes(archivePath);
    const size_t at = bytes.find("DAMAGE-ME");
    ASSERT_NE(at, std::string::npos);
    bytes[at] = 'X';
    CZipArchive archive;
    ASSERT_TRUE(archive.OpenMemory(bytes.data(), bytes.size()));
    CSkinMarkup markup;
    EXPECT_FALSE(markup.LoadFromArchive(&archive, L"main.xml"));
    EXPECT_STREQ(markup.GetLastErrorMessage(), L"Could not unzip file");
}

TEST_F(SkinMarkupFiles, LoadFromFileGoesThroughTheInstalledSource)
{
    ASSERT_TRUE(testsupport::WriteFileBytes(Path(L"main.xml"), "<FromFolder/>"));
    // Without a source the name is a plain path.
    CSkinMarkup markup;
    ASSERT_TRUE(markup.LoadFromFile(Path(L"main.xml")));
    EXPECT_STREQ(markup.GetRoot().GetName(), L"FromFolder");

    std::vector<std::wstring> asked;
    const std::wstring folder = dir + L"\\";
    CSkinMarkup::SetFileSource([&](CSkinMarkup& target, const std::wstring& name, int encoding) {
        asked.push_back(name);
        return target.LoadFromPath(folder + name, encoding);
    });
    EXPECT_TRUE(markup.LoadFromFile(L"main.xml"));
    EXPECT_FALSE(markup.LoadFromFile(L"other.xml"));
    EXPECT_STREQ(markup.GetLastErrorMessage(), L"Error opening file");
    CSkinMarkup::SetFileSource(nullptr);
    EXPECT_EQ(asked, (std::vector<std::wstring>{L"main.xml", L"other.xml"}));
    EXPECT_FALSE(markup.LoadFromFile(L"main.xml")) << "the source is gone, the bare name is not a file here";
}

} // namespace
