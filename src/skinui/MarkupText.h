// The brace-tag markup of rich text in the skin, split into tokens once so
// the drawing code (which measures, wraps and paints) never parses:
//
//   I've read and agreed to the {u}{a https://x}License Agreement{/a}{/u}
//   {c #FFFF0000}red{/c} black      {f 1}font one{/f}    <b>angle forms too</b>
//
// A tag begins with "{" (or "<"), then a lower-case letter followed by a
// blank or the closing "}" (or ">"), and runs to that closing character. A
// closing tag is "{/x}" (or "</x>"). Anything else, unknown letters and tags
// that never close included, is plain text. "{r}...{/r}" is raw: tags inside
// are text.
//
// Types in this file: MarkupTokenKind, MarkupVAlign, MarkupToken.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace SkinUI {

enum class MarkupTokenKind {
    Text,         // strText: a run of characters to draw
    LineBreak,    // {n}: ignored by single-line drawing
    Link,         // {a text}..{/a}: strText is the link text
    Bold,         // {b}..{/b}
    Underline,    // {u}..{/u}
    Image,        // {i text}..{/i}: strText is an image attribute (see ImageAttribute.h)
    Color,        // {c #AARRGGBB}..{/c}: dwColor
    Font,         // {f id} or {f face size bold underline italic}..{/f}
    Selected,     // {s}..{/s}: opaque background in the selection colour
    MoveX,        // {x n}: nValue pixels to the right
    LineHeight,   // {y n}: nValue pixels
    Paragraph,    // {p n}..{/p}: line break plus nValue pixels of spacing
    VAlign,       // {v top|center|bottom}..{/v}: eVAlign
};

enum class MarkupVAlign { Top, Center, Bottom };

struct MarkupToken {
    MarkupTokenKind kind = MarkupTokenKind::Text;
    // A closing tag ("{/b}"); it restores the state before the latest
    // opening tag of the same kind. Only tags with a closing form get one.
    bool bClose = false;
    std::wstring strText;   // Text, Link, Image; the face name for Font by face
    uint32_t dwColor = 0;   // Color (0xAARRGGBB; malformed reads as 0)
    int nValue = 0;         // MoveX, LineHeight, Paragraph (malformed reads as 0)
    // Font: by id when bFontById, else by face with size (default 10) and flags.
    bool bFontById = false;
    int nFontId = 0;
    int nFontSize = 10;
    bool bBold = false;
    bool bUnderline = false;
    bool bItalic = false;
    MarkupVAlign eVAlign = MarkupVAlign::Bottom;
    size_t nOffset = 0;     // where the token starts in the source text
};

// Splits a markup text into tokens in reading order. Adjacent text is merged
// into one Text token. Never fails: every character ends up in some token or
// was part of a recognised tag.
std::vector<MarkupToken> TokenizeMarkupText(const std::wstring& text);

// The text with every tag removed and raw runs kept (what a reader sees,
// line breaks as "\n"); handy for logging and measuring tests.
std::wstring MarkupPlainText(const std::wstring& text);

} // namespace SkinUI
