// The speed line under the download page's progress bar, for example
// "24.1 MB of 86.0 MB · 3.2 MB/s · about 27 s left", made from the download
// meter's snapshots. The rules a user relies on live here, away from the
// window: nothing is shown before a second of data has arrived; sizes use
// the storage message's megabyte (2^20 bytes) and unit; the time left is
// smoothed (it follows a higher estimate slowly and counts down on its own
// between snapshots), rounded to a sensible step and never negative; a time
// beyond kMaxHoursLeft, or one without a rate, is left out.
//
// The texts come from the language package: the pattern with the
// placeholders {done}, {total}, {rate} and {left}, whose parts are joined by
// " · " (a part whose value is unknown is left out), and the units:
// "<decimal mark>|<seconds>|<minutes>|<hours>", for example ".|s|min|h".
//
// A line too long for its place is shortened by leaving parts out (see
// Fitted), so the user never reads a line cut off in the middle.
//
// Threads: CSpeedLine is used on the UI thread only; the snapshots come from
// the meter, which any thread may read.
//
// Classes in this file: SpeedLineTexts, CSpeedLine.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "net/DownloadMeter.h"

struct SpeedLineTexts {
    std::wstring strPattern;   // STR_DOWNLOAD_SPEED
    std::wstring strUnits;     // STR_DOWNLOAD_UNITS
    std::wstring strMB;        // STR_MB; "MB" when empty, as in the storage message
};

class CSpeedLine {
public:
    static constexpr uint32_t kFirstDataMs = 1000;
    static constexpr int kMaxHoursLeft = 99;

    explicit CSpeedLine(SpeedLineTexts texts);

    // The line for the latest snapshot; "" while there is nothing to show.
    // A snapshot of a download that started over (less time or fewer bytes
    // than before, another size) starts the line over.
    std::wstring Update(const DownloadSnapshot& snapshot);
    void Reset();

    // The latest line, shortened until `fits` takes it: first without the
    // megabytes done and total (the percentage beside the line shows the
    // progress), then also without the rate; the time left stays. The
    // shortest form is returned even when it does not fit.
    std::wstring Fitted(const std::function<bool(const std::wstring&)>& fits) const;

    // The pieces, for the tests: a byte count in megabytes with one decimal
    // (two below 1 MB when `small`), rounded down or to the nearest; the
    // shown form of a time left in seconds ("" beyond kMaxHoursLeft).
    std::wstring Megabytes(double bytes, bool small, bool roundDown) const;
    std::wstring TimeLeft(double seconds) const;

private:
    // The pattern filled in; parts with {done} or {total} are left out
    // from `drop` 1 on, parts with {rate} from 2 on.
    std::wstring Compose(int drop) const;
    double SmoothSecondsLeft(double raw, uint32_t nowMs);

    SpeedLineTexts texts;
    wchar_t chDecimal = L'.';
    std::wstring strSeconds, strMinutes, strHours;

    // Valid while one download goes on.
    bool bStarted = false;
    int64_t nTotal = 0;
    int64_t nLastDone = 0;
    uint32_t nLastMs = 0;
    uint32_t nFirstDataMs = 0;     // elapsed time when the first bytes were seen
    bool bHaveData = false;
    double dShownLeft = -1;        // smoothed seconds left; below 0: none yet
    // The values of the latest line ("" for none, and for a part left out).
    std::wstring strDone, strTotal, strRate, strLeft;
};
