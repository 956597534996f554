// The speed line: megabytes, rate and a smoothed time left in the words of
// the language package.
#include "app/SpeedLine.h"

#include "logging/TextFormat.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr double kBytesPerMB = 1048576.0;
// How far one snapshot moves the time left towards the new estimate: a
// higher estimate (the download slowed down) is followed slowly, a lower one
// faster, so a short burst or stall does not make the figure jump.
constexpr double kRiseWeight = 0.2;
constexpr double kFallWeight = 0.4;
const wchar_t kPartSeparator[] = L" \u00b7 ";

std::vector<std::wstring> Split(const std::wstring& text, const std::wstring& separator)
{
    std::vector<std::wstring> parts;
    size_t start = 0;
    for (size_t at = text.find(separator); at != std::wstring::npos; at = text.find(separator, start)) {
        parts.push_back(text.substr(start, at - start));
        start = at + separator.size();
    }
    parts.push_back(text.substr(start));
    return parts;
}

void Replace(std::wstring& text, const std::wstring& from, const std::wstring& to)
{
    for (size_t at = text.find(from); at != std::wstring::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

} // namespace

CSpeedLine::CSpeedLine(SpeedLineTexts textsIn) : texts(std::move(textsIn))
{
    if (texts.strMB.empty())
        texts.strMB = L"MB";
    const std::vector<std::wstring> units = Split(texts.strUnits, L"|");
    // A package without its units still gets a readable line.
    chDecimal = units.size() > 0 && units[0].size() == 1 ? units[0][0] : L'.';
    strSeconds = units.size() > 1 && !units[1].empty() ? units[1] : L"s";
    strMinutes = units.size() > 2 && !units[2].empty() ? units[2] : L"min";
    strHours = units.size() > 3 && !units[3].empty() ? units[3] : L"h";
}

void CSpeedLine::Reset()
{
    bStarted = false;
    nTotal = 0;
    nLastDone = 0;
    nLastMs = 0;
    nFirstDataMs = 0;
    bHaveData = false;
    dShownLeft = -1;
    strDone.clear();
    strTotal.clear();
    strRate.clear();
    strLeft.clear();
}

std::wstring CSpeedLine::Megabytes(double bytes, bool small, bool roundDown) const
{
    const int decimals = small ? 2 : 1;
    const double scale = small ? 100.0 : 10.0;
    double units = bytes < 0 ? 0 : bytes / kBytesPerMB * scale;
    // A hair above an exact step still counts as that step (0.3 MB is
    // stored as 0.29999...).
    units = roundDown ? std::floor(units + 1e-9) : std::floor(units + 0.5);
    const long long whole = static_cast<long long>(units / scale);
    const long long fraction = static_cast<long long>(units) - whole * static_cast<long long>(scale);
    std::wstring text = IntToWide(whole) + chDecimal;
    std::wstring digits = IntToWide(fraction);
    while (static_cast<int>(digits.size()) < decimals)
        digits.insert(digits.begin(), L'0');
    return text + digits + L" " + texts.strMB;
}

std::wstring CSpeedLine::TimeLeft(double seconds) const
{
    if (!(seconds >= 0) || seconds > kMaxHoursLeft * 3600.0)
        return std::wstring();
    // Under a minute whole seconds, rounded up (at least 1: "0 s" would say
    // it is done); under an hour whole minutes; beyond that hours and five
    // minutes.
    const long long s = std::max(1LL, static_cast<long long>(std::ceil(seconds - 1e-9)));
    if (s < 60)
        return IntToWide(s) + L" " + strSeconds;
    const long long m = std::llround(seconds / 60.0);
    if (m < 60)
        return IntToWide(m) + L" " + strMinutes;
    const long long fiveMinutes = std::llround(seconds / 300.0);
    std::wstring text = IntToWide(fiveMinutes / 12) + L" " + strHours;
    if (fiveMinutes % 12 != 0)
        text += L" " + IntToWide(fiveMinutes % 12 * 5) + L" " + strMinutes;
    return text;
}

double CSpeedLine::SmoothSecondsLeft(double raw, uint32_t nowMs)
{
    if (dShownLeft < 0) {
        dShownLeft = raw;
    } else {
        const double predicted = std::max(0.0, dShownLeft - (nowMs - nLastMs) / 1000.0);
        const double weight = raw > predicted ? kRiseWeight : kFallWeight;
        dShownLeft = predicted + weight * (raw - predicted);
    }
    return dShownLeft;
}

std::wstring CSpeedLine::Compose(int drop) const
{
    const auto has = [](const std::wstring& part, const wchar_t* name) { return part.find(name) != std::wstring::npos; };
    std::wstring line;
    for (std::wstring part : Split(texts.strPattern, kPartSeparator)) {
        if ((strLeft.empty() && has(part, L"{left}")) || (drop >= 1 && (has(part, L"{done}") || has(part, L"{total}"))) ||
            (drop >= 2 && has(part, L"{rate}")))
            continue;
        Replace(part, L"{done}", strDone);
        Replace(part, L"{total}", strTotal);
        Replace(part, L"{rate}", strRate);
        Replace(part, L"{left}", strLeft);
        if (!line.empty())
            line += kPartSeparator;
        line += part;
    }
    return line;
}

std::wstring CSpeedLine::Update(const DownloadSnapshot& snapshot)
{
    // A retried range may take bytes back; that is no new download, and the
    // line keeps the most it has shown.
    const bool startedOver = bStarted && (snapshot.nTotal != nTotal || snapshot.nElapsedMs < nLastMs);
    if (startedOver || snapshot.nTotal <= 0)
        Reset();
    if (snapshot.nTotal <= 0)
        return std::wstring();
    if (!bStarted) {
        bStarted = true;
        nTotal = snapshot.nTotal;
    }
    if (!bHaveData && snapshot.nBytesDone > 0) {
        bHaveData = true;
        nFirstDataMs = snapshot.nElapsedMs;
    }
    nLastDone = std::max(nLastDone, snapshot.nBytesDone);
    if (!bHaveData || snapshot.nElapsedMs - nFirstDataMs < kFirstDataMs) {
        nLastMs = snapshot.nElapsedMs;
        return std::wstring();
    }
    const bool small = snapshot.nTotal < static_cast<int64_t>(kBytesPerMB);
    const double rate = snapshot.dBytesPerSecond > 0 ? snapshot.dBytesPerSecond : 0;
    std::wstring left;
    if (rate > 0 && snapshot.nBytesDone < snapshot.nTotal) {
        const double raw = static_cast<double>(snapshot.nTotal - snapshot.nBytesDone) / rate;
        left = TimeLeft(SmoothSecondsLeft(raw, snapshot.nElapsedMs));
    } else {
        // Without a rate the estimate starts afresh when one returns.
        dShownLeft = -1;
    }
    nLastMs = snapshot.nElapsedMs;
    strDone = Megabytes(static_cast<double>(nLastDone), small, true);
    strTotal = Megabytes(static_cast<double>(snapshot.nTotal), small, false);
    strRate = Megabytes(rate, rate < kBytesPerMB, false) + L"/s";
    strLeft = left;
    return Compose(0);
}

std::wstring CSpeedLine::Fitted(const std::function<bool(const std::wstring&)>& fits) const
{
    if (strDone.empty())
        return std::wstring();
    std::wstring line;
    for (int drop = 0; drop <= 2; ++drop) {
        line = Compose(drop);
        if (fits(line))
            break;
    }
    return line;
}
