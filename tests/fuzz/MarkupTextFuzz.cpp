// Fuzz target of the brace-tag markup tokenizer: the bytes are a UTF-8 text.
// Every token must lie inside the text, in order, and the plain text can
// never be longer than the source plus one line break per tag.
#include "skinui/MarkupText.h"

#include "logging/TextEncoding.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::wstring text = Utf8ToWide(std::string(reinterpret_cast<const char*>(data), size));
    const std::vector<SkinUI::MarkupToken> tokens = SkinUI::TokenizeMarkupText(text);
    size_t last = 0;
    for (const SkinUI::MarkupToken& token : tokens) {
        if (token.nOffset < last || (token.nOffset >= text.size() && !text.empty()))
            __builtin_trap();
        if (token.kind == SkinUI::MarkupTokenKind::Text && token.strText.empty())
            __builtin_trap();
        last = token.nOffset;
    }
    if (SkinUI::MarkupPlainText(text).size() > text.size())
        __builtin_trap();
    return 0;
}
