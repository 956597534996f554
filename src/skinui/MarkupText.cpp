#include "skinui/MarkupText.h"

#include "skinui/SkinValues.h"

namespace SkinUI {

namespace {

std::vector<std::wstring> SplitWords(const std::wstring& text)
{
    std::vector<std::wstring> words;
    size_t pos = 0;
    while (pos < text.size()) {
        while (pos < text.size() && IsBlank(text[pos]))
            ++pos;
        const size_t start = pos;
        while (pos < text.size() && !IsBlank(text[pos]))
            ++pos;
        if (pos > start)
            words.push_back(text.substr(start, pos - start));
    }
    return words;
}

void ReadFontArgument(const std::wstring& argument, MarkupToken& token)
{
    const std::vector<std::wstring> words = SplitWords(argument);
    if (words.empty() || (words[0][0] >= L'0' && words[0][0] <= L'9') || words[0][0] == L'-') {
        token.bFontById = true;
        token.nFontId = words.empty() ? 0 : ParseInt(words[0]);
        return;
    }
    token.strText = words[0];
    for (size_t i = 1; i < words.size(); ++i) {
        const std::wstring& word = words[i];
        if (word == L"bold")
            token.bBold = true;
        else if (word == L"underline")
            token.bUnderline = true;
        else if (word == L"italic")
            token.bItalic = true;
        else if (word[0] >= L'0' && word[0] <= L'9')
            token.nFontSize = ParseInt(word);
    }
}

class CTokenizer {
public:
    explicit CTokenizer(const std::wstring& source) : text(source) {}

    std::vector<MarkupToken> Run()
    {
        size_t pos = 0;
        while (pos < text.size()) {
            const wchar_t c = text[pos];
            if ((c == L'{' || c == L'<') && ReadTag(pos))
                continue;
            if (pending.empty())
                pendingOffset = pos;
            pending += c;
            ++pos;
        }
        FlushText();
        return std::move(tokens);
    }

private:
    void AppendText(size_t offset, const std::wstring& run)
    {
        if (run.empty())
            return;
        if (pending.empty())
            pendingOffset = offset;
        pending += run;
    }

    void FlushText()
    {
        if (pending.empty())
            return;
        MarkupToken token;
        token.kind = MarkupTokenKind::Text;
        token.strText = std::move(pending);
        token.nOffset = pendingOffset;
        tokens.push_back(std::move(token));
        pending.clear();
    }

    void Emit(MarkupToken token)
    {
        FlushText();
        tokens.push_back(std::move(token));
    }

    // A tag at pos: consumes it and returns true, or returns false when the
    // characters there are plain text.
    bool ReadTag(size_t& pos)
    {
        const wchar_t open = text[pos];
        const wchar_t close = open == L'{' ? L'}' : L'>';
        size_t p = pos + 1;
        bool closing = false;
        if (p < text.size() && text[p] == L'/') {
            closing = true;
            ++p;
        }
        if (p >= text.size() || text[p] < L'a' || text[p] > L'z')
            return false;
        const wchar_t letter = text[p++];
        if (p >= text.size())
            return false;
        if (text[p] != close && (closing || text[p] != L' '))
            return false;
        const size_t end = FindClose(close, p);
        if (end == std::wstring::npos)
            return false;
        const std::wstring argument = text[p] == L' ' ? text.substr(p + 1, end - p - 1) : std::wstring();

        MarkupToken token;
        token.nOffset = pos;
        token.bClose = closing;
        switch (letter) {
        case L'a': token.kind = MarkupTokenKind::Link; token.strText = argument; break;
        case L'b': token.kind = MarkupTokenKind::Bold; break;
        case L'u': token.kind = MarkupTokenKind::Underline; break;
        case L'i': token.kind = MarkupTokenKind::Image; token.strText = argument; break;
        case L'c': token.kind = MarkupTokenKind::Color; token.dwColor = ParseColor(argument); break;
        case L'f':
            token.kind = MarkupTokenKind::Font;
            if (!closing)
                ReadFontArgument(argument, token);
            break;
        case L's': token.kind = MarkupTokenKind::Selected; break;
        case L'x': token.kind = MarkupTokenKind::MoveX; token.nValue = ParseInt(argument); break;
        case L'y': token.kind = MarkupTokenKind::LineHeight; token.nValue = ParseInt(argument); break;
        case L'p': token.kind = MarkupTokenKind::Paragraph; token.nValue = ParseInt(argument); break;
        case L'n': token.kind = MarkupTokenKind::LineBreak; break;
        case L'v': {
            token.kind = MarkupTokenKind::VAlign;
            const std::vector<std::wstring> words = SplitWords(argument);
            const std::wstring word = words.empty() ? std::wstring() : words[0];
            token.eVAlign = word == L"top" ? MarkupVAlign::Top
                          : word == L"center" ? MarkupVAlign::Center : MarkupVAlign::Bottom;
            break;
        }
        case L'r':
            if (!closing) {
                // Raw text up to the matching closing tag (or the end).
                const std::wstring closeTag = std::wstring(1, open) + L"/r" + std::wstring(1, close);
                const size_t rawStart = end + 1;
                size_t rawEnd = text.find(closeTag, rawStart);
                const size_t next = rawEnd == std::wstring::npos ? text.size() : rawEnd + closeTag.size();
                if (rawEnd == std::wstring::npos)
                    rawEnd = text.size();
                AppendText(rawStart, text.substr(rawStart, rawEnd - rawStart));
                pos = next;
                return true;
            }
            pos = end + 1;  // a stray closing raw tag
            return true;
        default:
            return false;   // unknown letters are text
        }
        pos = end + 1;
        // Tags without a closing form ignore a stray "{/x}".
        if (closing && (token.kind == MarkupTokenKind::MoveX || token.kind == MarkupTokenKind::LineHeight ||
                        token.kind == MarkupTokenKind::LineBreak)) {
            return true;
        }
        if (closing) {
            token.strText.clear();
            token.dwColor = 0;
            token.nValue = 0;
        }
        Emit(std::move(token));
        return true;
    }

    // The next closing character at or after from. Searches start at
    // increasing positions, so the last answer is reused while it still lies
    // ahead; a text full of unclosed "{" stays linear.
    size_t FindClose(wchar_t close, size_t from)
    {
        Search& cache = close == L'}' ? braceSearch : angleSearch;
        if (!cache.valid || from < cache.from || (cache.at != std::wstring::npos && cache.at < from)) {
            cache.from = from;
            cache.at = text.find(close, from);
            cache.valid = true;
        }
        return cache.at;
    }

    struct Search {
        bool valid = false;
        size_t from = 0;
        size_t at = 0;
    };

    const std::wstring& text;
    Search braceSearch;
    Search angleSearch;
    std::vector<MarkupToken> tokens;
    std::wstring pending;
    size_t pendingOffset = 0;
};

} // namespace

std::vector<MarkupToken> TokenizeMarkupText(const std::wstring& text)
{
    return CTokenizer(text).Run();
}

std::wstring MarkupPlainText(const std::wstring& text)
{
    std::wstring out;
    for (const MarkupToken& token : TokenizeMarkupText(text)) {
        if (token.kind == MarkupTokenKind::Text)
            out += token.strText;
        else if (token.kind == MarkupTokenKind::LineBreak || (token.kind == MarkupTokenKind::Paragraph && !token.bClose))
            out += L'\n';
    }
    return out;
}

} // namespace SkinUI
