// Fuzz target of the skin markup parser: the bytes are loaded in the encoding
// the first byte selects (the rest is the document), then the whole tree is
// walked and every attribute read, as the skin builder does.
#include "skinui/SkinMarkup.h"

#include <cstddef>
#include <cstdint>
#include <cwchar>

namespace {

size_t Walk(const SkinUI::CSkinMarkupNode& first, int budget)
{
    size_t sum = 0;
    // Iterative over siblings, recursive over children only as deep as the
    // budget allows, so the walk itself cannot exhaust the stack.
    for (SkinUI::CSkinMarkupNode node = first; node.IsValid(); node = node.GetSibling()) {
        sum += std::wcslen(node.GetName()) + std::wcslen(node.GetValue());
        const int count = node.GetAttributeCount();
        for (int i = -1; i <= count; ++i)
            sum += std::wcslen(node.GetAttributeName(i)) + std::wcslen(node.GetAttributeValue(i));
        if (count > 0) {
            wchar_t buffer[8];
            node.GetAttributeValue(node.GetAttributeName(0), buffer, 8);
            sum += std::wcslen(buffer);
        }
        if (node.GetAttributeValue(L"name") != nullptr)
            ++sum;
        if (budget > 0)
            sum += Walk(node.GetChild(), budget - 1);
        if (node.GetParent().IsValid())
            ++sum;
    }
    return sum;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    SkinUI::CSkinMarkup markup;
    const int encoding = data[0] % 3;
    if (markup.LoadFromMem(data + 1, size - 1, encoding)) {
        volatile size_t sink = Walk(markup.GetRoot(), 64);
        (void)sink;
    } else {
        volatile size_t sink = std::wcslen(markup.GetLastErrorMessage()) + std::wcslen(markup.GetLastErrorLocation());
        (void)sink;
    }
    return 0;
}
