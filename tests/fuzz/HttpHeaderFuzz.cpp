// The response header parsers over arbitrary text, as a hostile server could
// send it: no crash, and every value they accept keeps its promises (a range
// inside its total, a delay within its cap, a validator that is a strong ETag
// or a date).
#include "net/HttpHeader.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    int64_t value = -1;
    if (ParseContentLength(text, value) && value < 0)
        std::abort();
    HttpContentRange range;
    if (ParseContentRange(text, range) && !(range.nFirst >= 0 && range.nFirst <= range.nLast && range.nLast < range.nTotal))
        std::abort();
    int64_t seconds = -1;
    if (ParseHttpDate(text, seconds) && seconds < 0)
        std::abort();
    uint32_t delay = 0;
    if (ParseRetryAfter(text, 784111777, 30000, delay) && delay > 30000)
        std::abort();
    const std::string validator = ChooseIfRangeValidator(text, text);
    if (!validator.empty() && validator.front() != '"' && !ParseHttpDate(validator, seconds))
        std::abort();
    return 0;
}
