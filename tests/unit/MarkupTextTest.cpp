#include "skinui/MarkupText.h"

#include "logging/TextEncoding.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

using namespace SkinUI;

namespace {

// Tokens as one line: text in quotes, tags in braces with their read values.
std::string Show(const std::vector<MarkupToken>& tokens)
{
    std::string out;
    for (const MarkupToken& t : tokens) {
        if (!out.empty())
            out += ' ';
        if (t.kind == MarkupTokenKind::Text) {
            out += "\"" + WideToUtf8(t.strText) + "\"";
            continue;
        }
        static const char* const kLetters = "tnabuicfsxypv";
        std::string tag = std::string("{") + (t.bClose ? "/" : "") + kLetters[static_cast<int>(t.kind)];
        if (!t.bClose) {
            char buffer[64];
            switch (t.kind) {
            case MarkupTokenKind::Link:
            case MarkupTokenKind::Image:
                tag += " " + WideToUtf8(t.strText);
                break;
            case MarkupTokenKind::Color:
                std::snprintf(buffer, sizeof(buffer), " %08X", static_cast<unsigned>(t.dwColor));
                tag += buffer;
                break;
            case MarkupTokenKind::Font:
                if (t.bFontById)
                    tag += " #" + std::to_string(t.nFontId);
                else
                    tag += " " + WideToUtf8(t.strText) + " " + std::to_string(t.nFontSize) + (t.bBold ? " b" : "") +
                           (t.bUnderline ? " u" : "") + (t.bItalic ? " i" : "");
                break;
            case MarkupTokenKind::MoveX:
            case MarkupTokenKind::LineHeight:
            case MarkupTokenKind::Paragraph:
                tag += " " + std::to_string(t.nValue);
                break;
            case MarkupTokenKind::VAlign:
                tag += t.eVAlign == MarkupVAlign::Top ? " top" : t.eVAlign == MarkupVAlign::Center ? " center" : " bottom";
                break;
            default:
                break;
            }
        }
        out += tag + "}";
    }
    return out;
}

TEST(MarkupText, TokenizesEveryTag)
{
    struct Case { const wchar_t* text; const char* tokens; };
    const Case cases[] = {
        {L"plain text", "\"plain text\""},
        {L"", ""},
        {L"I've read and agreed to the {u}{a https://example.invalid/eula}Pathwick License Agreement{/a}{/u}",
         "\"I've read and agreed to the \" {u} {a https://example.invalid/eula} \"Pathwick License Agreement\" {/a} {/u}"},
        {L"{c #FFFF0000}red{/c} black", "{c FFFF0000} \"red\" {/c} \" black\""},
        {L"{c FF00FF00}g{/c}{c zz}x{/c}", "{c FF00FF00} \"g\" {/c} {c 00000000} \"x\" {/c}"},
        {L"{b}B{/b}{i file='img/x.png' dest='0,0,8,8'}{/i}{s}S{/s}",
         "{b} \"B\" {/b} {i file='img/x.png' dest='0,0,8,8'} {/i} {s} \"S\" {/s}"},
        {L"{f 1}one{/f}{f Arial}a{/f}{f Arial 14 bold italic underline}b{/f}{f}c",
         "{f #1} \"one\" {/f} {f Arial 10} \"a\" {/f} {f Arial 14 b u i} \"b\" {/f} {f #0} \"c\""},
        {L"{x 10}{y 20}{p 5}para{/p}{p}{n}{x}{x -3}{y abc}",
         "{x 10} {y 20} {p 5} \"para\" {/p} {p 0} {n} {x 0} {x -3} {y 0}"},
        {L"{v top}a{/v}{v center}b{/v}{v bottom}c{v middle}d{v}",
         "{v top} \"a\" {/v} {v center} \"b\" {/v} {v bottom} \"c\" {v bottom} \"d\" {v bottom}"},
        // The angle forms.
        {L"<b>bold</b><a link>x</a><c #FF0000FF>blue</c><n>", "{b} \"bold\" {/b} {a link} \"x\" {/a} {c FF0000FF} \"blue\" {/c} {n}"},
        // Raw text keeps its tags as text; the closing form matches the opening one.
        {L"{r}{b}not bold{/b}{/r}{b}", "\"{b}not bold{/b}\" {b}"},
        {L"<r>{b}<b></r>", "\"{b}<b>\""},
        {L"{r}unclosed {b}", "\"unclosed {b}\""},
        {L"a{r}{/r}b", "\"ab\""},
        // Not tags: unknown or capital letters, a blank after "{", no closing
        // character, mixed brackets; a comparison in the text.
        {L"{q}{B}{ b}{b{a x", "\"{q}{B}{ b}{b{a x\""},
        {L"{b>x<b}", "\"{b>x<b}\""},
        {L"a < b and c > d", "\"a < b and c > d\""},
        {L"{bold}", "\"{bold}\""},
        {L"%{12} stays", "\"%{12} stays\""},
        // Stray closings of tags that have no closing form vanish.
        {L"x{/n}{/x}{/y}{/r}y", "\"xy\""},
        {L"{/q}", "\"{/q}\""},
        // A tag's argument ends at the first closing character.
        {L"{a http://x/?a=b}y}", "{a http://x/?a=b} \"y}\""},
        {L"{a}", "{a }"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Show(TokenizeMarkupText(c.text)), c.tokens) << WideToUtf8(c.text);
}

TEST(MarkupText, TokensCarryTheirOffsets)
{
    const std::vector<MarkupToken> tokens = TokenizeMarkupText(L"ab{b}cd{/b}{r}{x}{/r}e");
    ASSERT_EQ(tokens.size(), 5u) << Show(tokens);
    EXPECT_EQ(tokens[0].nOffset, 0u);
    EXPECT_EQ(tokens[1].nOffset, 2u);
    EXPECT_EQ(tokens[2].nOffset, 5u);
    EXPECT_EQ(tokens[3].nOffset, 7u);
    EXPECT_EQ(tokens[4].nOffset, 14u) << "raw content and the text behind it merge";
    EXPECT_EQ(WideToUtf8(tokens[4].strText), "{x}e");
}

TEST(MarkupText, PlainTextDropsTags)
{
    struct Case { const wchar_t* text; const wchar_t* plain; };
    const Case cases[] = {
        {L"I agree to the {u}{a url}License{/a}{/u}", L"I agree to the License"},
        {L"one{n}two{p 4}three{/p}", L"one\ntwo\nthree"},
        {L"{r}{b}{/r}", L"{b}"},
        {L"{c #FFFF0000}red{/c} black", L"red black"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MarkupPlainText(c.text), c.plain) << WideToUtf8(c.text);
}

TEST(MarkupText, LongUnclosedTextStaysLinear)
{
    // Thousands of "{a" with no closing brace: every one is text.
    std::wstring text;
    for (int i = 0; i < 200000; ++i)
        text += L"{a ";
    const std::vector<MarkupToken> tokens = TokenizeMarkupText(text);
    ASSERT_EQ(tokens.size(), 1u);
    EXPECT_EQ(tokens[0].strText, text);
}

} // namespace
