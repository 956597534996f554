// The brace-tag markup text of CSkinRenderer: the tokens (MarkupText.h) are
// laid out into lines of fragments first, so link rectangles, measuring and
// alignment are known before anything is painted, then the fragments are drawn.
#ifdef _WIN32
#include "skinui/MarkupText.h"
#include "skinui/SkinRenderer.h"
#include "skinui/SkinValues.h"

#include <algorithm>
#include <vector>

namespace SkinUI {

namespace {

// Positions stay within this many pixels, so long runs of {x n}, {y n} or
// {p n} cannot overflow the arithmetic.
constexpr int kMaxExtent = 1 << 24;

int ClampExtent(long long value)
{
    return static_cast<int>(std::max<long long>(-kMaxExtent, std::min<long long>(kMaxExtent, value)));
}

COLORREF ToColorRef(DWORD color)
{
    return RGB(color >> 16 & 0xFF, color >> 8 & 0xFF, color & 0xFF);
}

struct FontSpec {
    std::wstring strFace;
    int nSize = 0;
    bool bBold = false;
    bool bUnderline = false;
    bool bItalic = false;
};

// What an opening tag changes and its closing tag restores.
struct RunState {
    HFONT hFont = nullptr;
    FontSpec font;
    DWORD dwColor = 0;
    bool bSelected = false;
    int nLink = -1;             // index of the link being drawn, -1 outside
    MarkupVAlign eVAlign = MarkupVAlign::Bottom;
};

struct Fragment {
    int nLine = 0;
    int x = 0;                  // relative to the left of the text rectangle
    int nWidth = 0;
    int nHeight = 0;
    std::wstring strText;
    const TImageInfo* pImage = nullptr;
    HFONT hFont = nullptr;
    DWORD dwColor = 0;
    bool bSelected = false;
    int nLink = -1;
    MarkupVAlign eVAlign = MarkupVAlign::Bottom;
};

struct Line {
    int nTop = 0;               // relative to the top of the text rectangle
    int nHeight = 0;
    int nWidth = 0;
    int nFixedHeight = 0;       // {y n}
    int nSpacing = 0;           // {p n}: extra space above the line
};

class CMarkupLayout {
public:
    CMarkupLayout(HDC dc, CSkinResources* host, int width, bool singleLine, bool ellipsis)
        : hDC(dc), pHost(host), nWidth(width), bSingleLine(singleLine), bEllipsis(ellipsis)
    {
        lines.emplace_back();
    }

    void Run(const std::vector<MarkupToken>& tokens, RunState start);

    std::vector<Fragment> fragments;
    std::vector<Line> lines;
    std::vector<std::wstring> linkTexts;

private:
    struct Saved {
        MarkupTokenKind kind;
        RunState state;
    };

    int TextHeight(HFONT font)
    {
        HGDIOBJ old = SelectObject(hDC, font);
        TEXTMETRICW tm = {};
        GetTextMetricsW(hDC, &tm);
        SelectObject(hDC, old);
        return tm.tmHeight;
    }
    SIZE Measure(HFONT font, const std::wstring& text)
    {
        HGDIOBJ old = SelectObject(hDC, font);
        SIZE size = {0, 0};
        GetTextExtentPoint32W(hDC, text.c_str(), static_cast<int>(text.size()), &size);
        SelectObject(hDC, old);
        return size;
    }
    int FitCount(HFONT font, const std::wstring& text, int width)
    {
        if (width <= 0)
            return 0;
        HGDIOBJ old = SelectObject(hDC, font);
        int fit = 0;
        SIZE size = {0, 0};
        GetTextExtentExPointW(hDC, text.c_str(), static_cast<int>(text.size()), width, &fit, nullptr, &size);
        SelectObject(hDC, old);
        return fit;
    }
    HFONT Variant(const FontSpec& variant)
    {
        HFONT font = pHost->GetFont(variant.strFace, variant.nSize, variant.bBold, variant.bUnderline, variant.bItalic);
        if (font == nullptr)
            font = pHost->AddFontEntry(CSkinResources::NextVariantFontId(), variant.strFace, variant.nSize, variant.bBold,
                                       variant.bUnderline, variant.bItalic);
        return font != nullptr ? font : state.hFont;
    }
    void SetFont(const FontSpec& variant)
    {
        state.font = variant;
        state.hFont = Variant(variant);
    }
    void NewLine(int spacing = 0)
    {
        if (bSingleLine)
            return;
        lines.emplace_back();
        lines.back().nSpacing = spacing;
        x = 0;
    }
    void TakePendingBreak()
    {
        if (bBreakPending) {
            bBreakPending = false;
            NewLine();
        }
    }
    void Add(Fragment fragment)
    {
        fragment.nLine = static_cast<int>(lines.size()) - 1;
        fragment.x = x;
        fragment.dwColor = state.dwColor;
        fragment.bSelected = state.bSelected;
        fragment.nLink = state.nLink;
        fragment.eVAlign = state.eVAlign;
        x = ClampExtent(static_cast<long long>(x) + fragment.nWidth);
        Line& line = lines.back();
        line.nWidth = std::max(line.nWidth, x);
        line.nHeight = std::max(line.nHeight, fragment.nHeight);
        fragments.push_back(std::move(fragment));
    }
    // The pixels of {x n}, {y n} and {p n} are 96-DPI pixels, like the skin's.
    int Scaled(int length) const { return ScaleLength(length, pHost->GetDpi()); }
    void AddText(std::wstring text);
    void AddImage(const std::wstring& attribute);
    void Open(const MarkupToken& token);
    void Close(MarkupTokenKind kind);

    HDC hDC;
    CSkinResources* pHost;
    int nWidth;
    bool bSingleLine;
    bool bEllipsis;
    bool bFull = false;         // the ellipsis was placed: nothing more fits
    bool bBreakPending = false; // a paragraph ended: the next content starts a line
    int x = 0;
    RunState state;
    std::vector<Saved> stack;
};

void CMarkupLayout::Run(const std::vector<MarkupToken>& tokens, RunState start)
{
    state = start;
    for (const MarkupToken& token : tokens) {
        if (bFull)
            break;
        if (token.bClose) {
            Close(token.kind);
            continue;
        }
        switch (token.kind) {
        case MarkupTokenKind::Text: AddText(token.strText); break;
        case MarkupTokenKind::LineBreak:
            bBreakPending = false;
            NewLine();
            break;
        case MarkupTokenKind::MoveX:
            TakePendingBreak();
            x = ClampExtent(static_cast<long long>(x) + Scaled(token.nValue));
            break;
        case MarkupTokenKind::LineHeight: lines.back().nFixedHeight = Scaled(token.nValue); break;
        case MarkupTokenKind::Image: AddImage(token.strText); break;
        default: Open(token); break;
        }
    }
    // Lines without content still take the height of the font in use.
    const int emptyHeight = TextHeight(state.hFont);
    int top = 0;
    for (Line& line : lines) {
        if (line.nHeight == 0)
            line.nHeight = emptyHeight;
        if (line.nFixedHeight > 0)
            line.nHeight = line.nFixedHeight;
        top = ClampExtent(static_cast<long long>(top) + line.nSpacing);
        line.nTop = top;
        top = ClampExtent(static_cast<long long>(top) + line.nHeight);
    }
}

void CMarkupLayout::Open(const MarkupToken& token)
{
    stack.push_back(Saved{token.kind, state});
    FontSpec variant = state.font;
    switch (token.kind) {
    case MarkupTokenKind::Link:
        state.nLink = static_cast<int>(linkTexts.size());
        linkTexts.push_back(token.strText);
        state.dwColor = pHost->GetDefaultLinkFontColor();
        variant.bUnderline = true;
        SetFont(variant);
        break;
    case MarkupTokenKind::Bold:
        variant.bBold = true;
        SetFont(variant);
        break;
    case MarkupTokenKind::Underline:
        variant.bUnderline = true;
        SetFont(variant);
        break;
    case MarkupTokenKind::Color:
        // In system colours the text keeps the colour the control chose.
        if (!pHost->UsesSystemColors())
            state.dwColor = token.dwColor;
        break;
    case MarkupTokenKind::Font:
        if (token.bFontById) {
            if (const TFontInfo* info = pHost->FontDetails(token.nFontId)) {
                state.hFont = pHost->GetFont(token.nFontId);
                state.font = FontSpec{info->strFaceName, info->nSize, info->bBold, info->bUnderline, info->bItalic};
            }
        } else {
            SetFont(FontSpec{token.strText, token.nFontSize, token.bBold, token.bUnderline, token.bItalic});
        }
        break;
    case MarkupTokenKind::Selected: state.bSelected = true; break;
    case MarkupTokenKind::Paragraph: NewLine(std::max(0, Scaled(token.nValue))); break;
    case MarkupTokenKind::VAlign: state.eVAlign = token.eVAlign; break;
    default: stack.pop_back(); break;   // not a tag with a closing form
    }
}

void CMarkupLayout::Close(MarkupTokenKind kind)
{
    // Back to the state before the latest opening tag of this kind; tags
    // opened after it (badly nested) end with it.
    for (size_t i = stack.size(); i-- > 0;) {
        if (stack[i].kind != kind)
            continue;
        state = stack[i].state;
        stack.resize(i);
        // The paragraph ends its line once more content follows.
        if (kind == MarkupTokenKind::Paragraph && x > 0)
            bBreakPending = true;
        return;
    }
}

void CMarkupLayout::AddText(std::wstring text)
{
    TakePendingBreak();
    const int height = TextHeight(state.hFont);
    size_t pos = 0;
    while (pos < text.size() && !bFull) {
        // A line break in the text itself.
        size_t end = text.find(L'\n', pos);
        const bool breakAfter = end != std::wstring::npos;
        if (!breakAfter)
            end = text.size();
        std::wstring piece = text.substr(pos, end - pos);
        if (!piece.empty() && piece.back() == L'\r')
            piece.pop_back();
        pos = breakAfter ? end + 1 : end;

        while (!piece.empty() && !bFull) {
            const int avail = nWidth - x;
            const SIZE size = Measure(state.hFont, piece);
            if (size.cx <= avail || (bSingleLine && !bEllipsis)) {
                Fragment f;
                f.strText = piece;
                f.nWidth = size.cx;
                f.nHeight = std::max(height, static_cast<int>(size.cy));
                f.hFont = state.hFont;
                Add(std::move(f));
                break;
            }
            if (bSingleLine) {
                // End ellipsis: as much as fits before "...".
                const int dots = Measure(state.hFont, L"...").cx;
                const int fit = FitCount(state.hFont, piece, avail - dots);
                Fragment f;
                f.strText = piece.substr(0, static_cast<size_t>(fit)) + L"...";
                f.nWidth = Measure(state.hFont, f.strText).cx;
                f.nHeight = height;
                f.hFont = state.hFont;
                Add(std::move(f));
                bFull = true;
                break;
            }
            // Wrap: break after the last blank that fits, else (at the start
            // of a line) inside the word, else move the word to a new line.
            const int fit = FitCount(state.hFont, piece, avail);
            size_t cut = std::wstring::npos;
            if (fit > 0) {
                const size_t blank = piece.rfind(L' ', static_cast<size_t>(fit) - 1);
                if (blank != std::wstring::npos)
                    cut = blank + 1;
            }
            if (cut == std::wstring::npos) {
                if (x > 0) {
                    NewLine();
                    while (!piece.empty() && piece[0] == L' ')
                        piece.erase(0, 1);
                    continue;
                }
                cut = static_cast<size_t>(std::max(fit, 1));
            }
            Fragment f;
            f.strText = piece.substr(0, cut);
            f.nWidth = Measure(state.hFont, f.strText).cx;
            f.nHeight = height;
            f.hFont = state.hFont;
            Add(std::move(f));
            piece.erase(0, cut);
            NewLine();
            while (!piece.empty() && piece[0] == L' ')
                piece.erase(0, 1);
        }
        if (breakAfter)
            NewLine();
    }
}

void CMarkupLayout::AddImage(const std::wstring& attribute)
{
    const ImageAttribute a = ParseImageAttribute(attribute, pHost->GetDpi());
    const TImageInfo* image = pHost->FindOrLoadInlineImage(a.strImageName, a.strResType, a.dwMask, a.bHsl);
    if (image == nullptr)
        return;
    TakePendingBreak();
    if (!bSingleLine && x > 0 && x + image->nWidth > nWidth)
        NewLine();
    Fragment f;
    f.pImage = image;
    f.nWidth = image->nWidth;
    f.nHeight = image->nHeight;
    Add(std::move(f));
}

} // namespace

void CSkinRenderer::DrawMarkupText(HDC dc, CSkinResources* host, RECT& rc, const std::wstring& text, DWORD color,
                                   RECT* links, std::wstring* linkTexts, int& linkCount, int font, UINT style)
{
    const int capacity = std::max(0, linkCount);
    linkCount = 0;
    if (dc == nullptr || host == nullptr || text.empty())
        return;
    const bool singleLine = (style & DT_SINGLELINE) != 0;
    const bool calcRect = (style & DT_CALCRECT) != 0;
    const int width = std::max(0, static_cast<int>(rc.right - rc.left));

    RunState start;
    start.hFont = host->GetFont(font);
    if (const TFontInfo* info = host->FontDetails(font))
        start.font = FontSpec{info->strFaceName, info->nSize, info->bBold, info->bUnderline, info->bItalic};
    start.dwColor = color;

    CMarkupLayout layout(dc, host, width, singleLine, (style & DT_END_ELLIPSIS) != 0);
    layout.Run(TokenizeMarkupText(CSkinResources::ExpandLangTokens(text)), start);

    int maxWidth = 0;
    for (const Line& line : layout.lines)
        maxWidth = std::max(maxWidth, line.nWidth);
    const Line& last = layout.lines.back();
    const int totalHeight = ClampExtent(static_cast<long long>(last.nTop) + last.nHeight);

    if (calcRect) {
        rc.right = rc.left + std::min(maxWidth, width);
        rc.bottom = rc.top + totalHeight;
    }

    // One line centred or right-aligned is measured first and then shifted.
    int offsetX = 0;
    int offsetY = 0;
    if (singleLine && !calcRect) {
        if ((style & DT_CENTER) != 0)
            offsetX = std::max(0, (width - maxWidth) / 2);
        else if ((style & DT_RIGHT) != 0)
            offsetX = std::max(0, width - maxWidth);
        const int height = rc.bottom - rc.top;
        if ((style & DT_VCENTER) != 0)
            offsetY = std::max(0, (height - totalHeight) / 2);
        else if ((style & DT_BOTTOM) != 0)
            offsetY = std::max(0, height - totalHeight);
    }

    // Fragment rectangles, then the link rectangles (one per link: the union
    // of its fragments).
    std::vector<RECT> boxes(layout.fragments.size());
    std::vector<RECT> linkBoxes(layout.linkTexts.size(), RECT{0, 0, 0, 0});
    for (size_t i = 0; i < layout.fragments.size(); ++i) {
        const Fragment& f = layout.fragments[i];
        const Line& line = layout.lines[static_cast<size_t>(f.nLine)];
        int y = line.nTop;
        if (f.eVAlign == MarkupVAlign::Center)
            y += (line.nHeight - f.nHeight) / 2;
        else if (f.eVAlign == MarkupVAlign::Bottom)
            y += line.nHeight - f.nHeight;
        const int left = rc.left + offsetX + f.x;
        const int top = rc.top + offsetY + y;
        boxes[i] = RECT{left, top, left + f.nWidth, top + f.nHeight};
        if (f.nLink >= 0) {
            RECT& box = linkBoxes[static_cast<size_t>(f.nLink)];
            if (IsRectEmpty(&box))
                box = boxes[i];
            else
                UnionRect(&box, &box, &boxes[i]);
        }
    }
    const int found = static_cast<int>(layout.linkTexts.size());
    linkCount = std::min(found, capacity);
    for (int i = 0; i < linkCount; ++i) {
        if (links != nullptr)
            links[i] = linkBoxes[static_cast<size_t>(i)];
        if (linkTexts != nullptr)
            linkTexts[i] = layout.linkTexts[static_cast<size_t>(i)];
    }
    if (calcRect)
        return;

    const POINT mouse = host->GetMousePos();
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    const COLORREF oldText = GetTextColor(dc);
    const COLORREF oldBk = GetBkColor(dc);
    HGDIOBJ oldFont = GetCurrentObject(dc, OBJ_FONT);
    for (size_t i = 0; i < layout.fragments.size(); ++i) {
        const Fragment& f = layout.fragments[i];
        RECT visible;
        if (!IntersectRect(&visible, &boxes[i], &rc))
            continue;
        if (f.pImage != nullptr) {
            DrawImagePart(dc, f.pImage->hBitmap, boxes[i], rc, RECT{0, 0, f.pImage->nWidth, f.pImage->nHeight},
                          RECT{0, 0, 0, 0}, f.pImage->bAlpha, 255);
            continue;
        }
        DWORD textColor = f.dwColor;
        if (f.nLink >= 0 && PtInRect(&linkBoxes[static_cast<size_t>(f.nLink)], mouse))
            textColor = host->GetDefaultLinkHoverFontColor();
        SelectObject(dc, f.hFont);
        SetTextColor(dc, ToColorRef(textColor));
        UINT options = ETO_CLIPPED;
        if (f.bSelected) {
            SetBkColor(dc, ToColorRef(host->GetDefaultSelectedBkColor()));
            options |= ETO_OPAQUE;
        }
        ExtTextOutW(dc, boxes[i].left, boxes[i].top, options, &visible, f.strText.c_str(),
                    static_cast<UINT>(f.strText.size()), nullptr);
    }
    SelectObject(dc, oldFont);
    SetBkColor(dc, oldBk);
    SetTextColor(dc, oldText);
    SetBkMode(dc, oldMode);
}

} // namespace SkinUI

#endif // _WIN32
