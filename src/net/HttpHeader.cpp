#include "net/HttpHeader.h"

#include <cstring>

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string Trim(const std::string& text)
{
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

// Reads decimal digits at pos into value; false when there is none or the
// number does not fit in 63 bits.
bool ReadNumber(const std::string& text, size_t& pos, int64_t& value)
{
    size_t start = pos;
    int64_t result = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
        int digit = text[pos] - '0';
        if (result > (INT64_MAX - digit) / 10)
            return false;
        result = result * 10 + digit;
        ++pos;
    }
    if (pos == start)
        return false;
    value = result;
    return true;
}

// Days from 1970-01-01 to the given civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t year, unsigned month, unsigned day)
{
    year -= month <= 2;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(year - era * 400);
    const unsigned doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

int MonthIndex(const std::string& name)
{
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    for (int i = 0; i < 12; ++i)
        if (name == kMonths[i])
            return i + 1;
    return 0;
}

bool ReadClock(const std::string& text, int& hour, int& minute, int& second)
{
    if (text.size() != 8 || text[2] != ':' || text[5] != ':')
        return false;
    for (size_t i : {0u, 1u, 3u, 4u, 6u, 7u})
        if (text[i] < '0' || text[i] > '9')
            return false;
    hour = (text[0] - '0') * 10 + (text[1] - '0');
    minute = (text[3] - '0') * 10 + (text[4] - '0');
    second = (text[6] - '0') * 10 + (text[7] - '0');
    return hour < 24 && minute < 60 && second < 61;
}

bool ToInt(const std::string& text, int& value)
{
    size_t pos = 0;
    int64_t number = 0;
    if (!ReadNumber(text, pos, number) || pos != text.size() || number > 100000)
        return false;
    value = static_cast<int>(number);
    return true;
}

} // namespace

bool IsSuccessStatus(int status)
{
    return status >= 200 && status <= 299;
}

bool IsRetryableStatus(int status)
{
    return (status >= 500 && status <= 599) || status == 408 || status == 429;
}

bool ParseContentLength(const std::string& text, int64_t& value)
{
    std::string trimmed = Trim(text);
    size_t pos = 0;
    int64_t number = 0;
    if (!ReadNumber(trimmed, pos, number) || pos != trimmed.size())
        return false;
    value = number;
    return true;
}

bool ParseContentRange(const std::string& text, HttpContentRange& range)
{
    std::string trimmed = Trim(text);
    if (trimmed.compare(0, 6, "bytes ") != 0)
        return false;
    size_t pos = 6;
    while (pos < trimmed.size() && IsBlank(trimmed[pos]))
        ++pos;
    HttpContentRange parsed;
    if (!ReadNumber(trimmed, pos, parsed.nFirst) || pos >= trimmed.size() || trimmed[pos++] != '-')
        return false;
    if (!ReadNumber(trimmed, pos, parsed.nLast) || pos >= trimmed.size() || trimmed[pos++] != '/')
        return false;
    if (!ReadNumber(trimmed, pos, parsed.nTotal) || pos != trimmed.size())
        return false;
    if (parsed.nFirst > parsed.nLast || parsed.nLast >= parsed.nTotal)
        return false;
    range = parsed;
    return true;
}

bool ParseHttpDate(const std::string& text, int64_t& seconds)
{
    // Split at blanks, and at "-" for the obsolete "06-Nov-94" form.
    std::string trimmed = Trim(text);
    std::string fields[6];
    int count = 0;
    std::string current;
    for (size_t i = 0; i <= trimmed.size(); ++i) {
        char c = i < trimmed.size() ? trimmed[i] : ' ';
        if (IsBlank(c)) {
            if (!current.empty()) {
                if (count == 6)
                    return false;
                fields[count++] = current;
                current.clear();
            }
        } else {
            current += c;
        }
    }
    int day = 0, month = 0, year = 0, hour = 0, minute = 0, second = 0;
    if (count == 6 && fields[0].size() == 4 && fields[0][3] == ',') {
        // IMF-fixdate: "Sun, 06 Nov 1994 08:49:37 GMT"
        month = MonthIndex(fields[2]);
        if (fields[5] != "GMT" || fields[3].size() != 4 || !ToInt(fields[1], day) || !ToInt(fields[3], year) ||
            !ReadClock(fields[4], hour, minute, second))
            return false;
    } else if (count == 4 && fields[0].size() > 4 && fields[0].back() == ',') {
        // RFC 850: "Sunday, 06-Nov-94 08:49:37 GMT"; two-digit years below
        // 70 belong to this century.
        const std::string& date = fields[1];
        if (fields[3] != "GMT" || date.size() != 9 || date[2] != '-' || date[6] != '-')
            return false;
        month = MonthIndex(date.substr(3, 3));
        if (!ToInt(date.substr(0, 2), day) || !ToInt(date.substr(7, 2), year) ||
            !ReadClock(fields[2], hour, minute, second))
            return false;
        year += year < 70 ? 2000 : 1900;
    } else if (count == 5 && fields[0].size() == 3) {
        // asctime: "Sun Nov  6 08:49:37 1994"
        month = MonthIndex(fields[1]);
        if (fields[4].size() != 4 || !ToInt(fields[2], day) || !ToInt(fields[4], year) ||
            !ReadClock(fields[3], hour, minute, second))
            return false;
    } else {
        return false;
    }
    static const int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month == 0 || day < 1 || day > kDays[month - 1] || year < 1970)
        return false;
    seconds = DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) * 86400 +
              hour * 3600 + minute * 60 + second;
    return true;
}

bool ParseRetryAfter(const std::string& text, int64_t now, uint32_t capMs, uint32_t& delayMs)
{
    int64_t seconds = 0;
    int64_t date = 0;
    if (ParseContentLength(text, seconds)) {
        // seconds as given
    } else if (ParseHttpDate(text, date)) {
        seconds = date > now ? date - now : 0;
    } else {
        return false;
    }
    // Compared in seconds first, so a huge value cannot overflow.
    int64_t ms = seconds > static_cast<int64_t>(capMs / 1000) ? capMs : seconds * 1000;
    delayMs = static_cast<uint32_t>(ms < capMs ? ms : capMs);
    return true;
}

std::string ChooseIfRangeValidator(const std::string& etag, const std::string& lastModified)
{
    std::string tag = Trim(etag);
    if (tag.size() >= 2 && tag.front() == '"' && tag.back() == '"')
        return tag;
    int64_t seconds = 0;
    std::string date = Trim(lastModified);
    if (ParseHttpDate(date, seconds))
        return date;
    return std::string();
}
