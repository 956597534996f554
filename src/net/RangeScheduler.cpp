#include "net/RangeScheduler.h"

#include <algorithm>

namespace {

// Inserts [first, end) into spans kept sorted by nFirst.
void InsertSorted(std::vector<ByteSpan>& spans, int32_t first, int32_t end, int source)
{
    auto at = std::lower_bound(spans.begin(), spans.end(), first,
                               [](const ByteSpan& span, int32_t value) { return span.nFirst < value; });
    spans.insert(at, ByteSpan{first, end, source});
}

} // namespace

void CRangeScheduler::Start(int32_t size, int count, const std::vector<ByteSpan>* kept, uint32_t nowMs,
                            const SchedulerTuning& tuning)
{
    nSize = size < 0 ? 0 : size;
    // One to 64 workers (a take-over marks the workers it tried in 64 bits).
    count = count < 1 ? 1 : (count > 64 ? 64 : count);
    tune = tuning;
    bSingle = false;
    nDone = 0;
    done.clear();
    freed.clear();
    failed.clear();
    workers.assign(static_cast<size_t>(count), Worker());
    // The kept spans, in order, each clipped to the file and to what is
    // already there.
    std::vector<ByteSpan> sorted;
    if (kept != nullptr)
        for (const ByteSpan& span : *kept)
            InsertSorted(sorted, span.nFirst, span.nEnd, 0);
    int32_t reach = 0;
    for (const ByteSpan& span : sorted) {
        const int32_t first = std::max(span.nFirst, reach);
        const int32_t end = std::min(span.nEnd, nSize);
        if (first < end) {
            AddDone(first, end);
            reach = end;
        }
    }
    const int32_t seg = nSize / count;
    for (int i = 0; i < count; ++i) {
        const int32_t rangeFirst = i * seg;
        const int32_t rangeEnd = (i == count - 1) ? nSize : rangeFirst + seg;
        // The missing parts of the range: the first is the worker's, the rest free.
        bool assigned = false;
        int32_t at = rangeFirst;
        auto it = std::upper_bound(done.begin(), done.end(), at,
                                   [](int32_t v, const ByteSpan& s) { return v < s.nEnd; });
        while (at < rangeEnd) {
            int32_t holeEnd = rangeEnd;
            if (it != done.end() && it->nFirst <= at) {
                at = it->nEnd;
                ++it;
                continue;
            }
            if (it != done.end())
                holeEnd = std::min(holeEnd, it->nFirst);
            if (!assigned) {
                Assign(workers[static_cast<size_t>(i)], at, holeEnd, 0, nowMs);
                assigned = true;
            } else {
                InsertSorted(freed, at, holeEnd, 0);
            }
            at = holeEnd;
        }
        if (!assigned) {
            Worker& w = workers[static_cast<size_t>(i)];
            w.nBase = w.nPos = w.nEnd = rangeFirst;
            w.nClockMs = nowMs;
        }
    }
}

void CRangeScheduler::Assign(Worker& w, int32_t first, int32_t end, int source, uint32_t now)
{
    w.nBase = w.nPos = first;
    w.nEnd = end;
    w.nSource = source;
    w.bFailing = false;
    w.nClockMs = now;
}

bool CRangeScheduler::Next(int worker, uint32_t nowMs, bool takeOver, Grant& grant)
{
    Worker& w = workers[static_cast<size_t>(worker)];
    grant = Grant();
    if (w.nEnd > w.nPos) {
        grant.nFirst = w.nPos;
        grant.nEnd = w.nEnd;
        grant.nSource = w.nSource;
        return true;
    }
    if (bSingle)
        return false;
    if (!freed.empty()) {
        ByteSpan span = freed.front();
        freed.erase(freed.begin());
        Assign(w, span.nFirst, span.nEnd, span.nSource, nowMs);
        grant.nFirst = span.nFirst;
        grant.nEnd = span.nEnd;
        grant.nSource = span.nSource;
        grant.bNew = true;
        return true;
    }
    return takeOver && TakeOver(worker, nowMs, grant);
}

bool CRangeScheduler::Stalled(const Worker& w, uint32_t now) const
{
    return w.nEnd > w.nPos && now - w.nClockMs >= tune.nStallMs;
}

bool CRangeScheduler::Speed(const Worker& w, uint32_t now, double& speed) const
{
    if (w.nSamples == 0 || now - w.nRunMs < tune.nSpeedKnownMs || Stalled(w, now))
        return false;
    // The window starts nSpeedWindowMs ago, or when the bytes began to come:
    // the newest sample at or before its start is the base.
    const uint32_t span = std::min(now - w.nRunMs, tune.nSpeedWindowMs);
    const uint32_t kept = std::min(w.nSamples, kSamples);
    int64_t base = w.samples[(w.nSamples - kept) % kSamples].nBytes;
    for (uint32_t i = w.nSamples - kept; i < w.nSamples; ++i) {
        const Worker::Sample& sample = w.samples[i % kSamples];
        if (now - sample.nMs < span)
            break;
        base = sample.nBytes;
    }
    speed = static_cast<double>(w.nBytes - base) * 1000.0 / span;
    return speed > 0;
}

bool CRangeScheduler::TakeOver(int taker, uint32_t now, Grant& grant)
{
    // Candidates by estimated time left, longest first; a stalled one has
    // no end in sight, one whose speed is not known yet is left alone.
    Worker& t = workers[static_cast<size_t>(taker)];
    uint64_t tried = 0;
    for (;;) {
        int best = -1;
        double bestLeft = -1;
        double bestSpeed = 0;
        for (size_t j = 0; j < workers.size(); ++j) {
            const Worker& v = workers[j];
            if (static_cast<int>(j) == taker || v.nEnd <= v.nPos || v.bFailing || (tried >> j & 1) != 0)
                continue;
            double speed = 0;
            double left = -1;
            if (Stalled(v, now))
                left = 1e300;
            else if (Speed(v, now, speed))
                left = (v.nEnd - v.nPos) / speed;
            if (left > bestLeft) {
                best = static_cast<int>(j);
                bestLeft = left;
                bestSpeed = speed;
            }
        }
        if (best < 0)
            return false;
        tried |= uint64_t(1) << best;
        Worker& v = workers[static_cast<size_t>(best)];
        const bool stalled = bestSpeed == 0;
        const int32_t left = v.nEnd - v.nPos;
        int32_t taken = left;
        if (!stalled) {
            // Split so that both are expected to end together; a taker whose
            // own speed is not known is taken to be as fast: half.
            double takerSpeed = 0;
            if (!Speed(t, now, takerSpeed))
                takerSpeed = bestSpeed;
            taken = static_cast<int32_t>(left * (takerSpeed / (bestSpeed + takerSpeed)));
            if (taken < tune.nMinTakeOver || taken * 1000.0 / bestSpeed < tune.nTakeOverWorthMs)
                continue;
        }
        const int32_t split = v.nEnd - taken;
        const int32_t end = v.nEnd;
        v.nEnd = split;
        Assign(t, split, end, v.nSource, now);
        grant.nFirst = split;
        grant.nEnd = end;
        grant.nSource = v.nSource;
        grant.bNew = true;
        grant.nFrom = best;
        grant.bStalled = stalled;
        return true;
    }
}

int32_t CRangeScheduler::Writable(int worker, int32_t offset, int32_t count) const
{
    const Worker& w = workers[static_cast<size_t>(worker)];
    if (offset != w.nPos || count <= 0 || w.nEnd <= w.nPos)
        return 0;
    return std::min(count, w.nEnd - w.nPos);
}

void CRangeScheduler::Commit(int worker, int32_t count, uint32_t nowMs)
{
    Worker& w = workers[static_cast<size_t>(worker)];
    if (count <= 0)
        return;
    AddDone(w.nPos, w.nPos + count);
    w.nPos += count;
    // Bytes after a stall (or the first ever) start a new speed run.
    if (w.nSamples == 0 || nowMs - w.nClockMs >= tune.nStallMs) {
        w.nSamples = 0;
        w.samples[w.nSamples++ % kSamples] = {nowMs, w.nBytes};
        w.nRunMs = nowMs;
    }
    w.nBytes += count;
    // At most one sample a step: the window's start is known to a step.
    if (nowMs - w.samples[(w.nSamples - 1) % kSamples].nMs >= kSampleStepMs)
        w.samples[w.nSamples++ % kSamples] = {nowMs, w.nBytes};
    w.nClockMs = nowMs;
    w.bFailing = false;
}

int32_t CRangeScheduler::Left(int worker) const
{
    const Worker& w = workers[static_cast<size_t>(worker)];
    return w.nEnd > w.nPos ? w.nEnd - w.nPos : 0;
}

void CRangeScheduler::SetFailing(int worker, bool failing)
{
    workers[static_cast<size_t>(worker)].bFailing = failing;
}

void CRangeScheduler::Move(int worker, int source)
{
    workers[static_cast<size_t>(worker)].nSource = source;
}

void CRangeScheduler::Fail(int worker)
{
    Worker& w = workers[static_cast<size_t>(worker)];
    if (w.nEnd > w.nPos)
        InsertSorted(failed, w.nPos, w.nEnd, w.nSource);
    w.nBase = w.nEnd = w.nPos;
}

void CRangeScheduler::TakeBack(int worker)
{
    Worker& w = workers[static_cast<size_t>(worker)];
    if (w.nPos <= w.nBase)
        return;
    // [nBase, nPos) lies within one done span: take it out.
    for (size_t i = 0; i < done.size(); ++i) {
        ByteSpan span = done[i];
        if (span.nFirst > w.nBase || span.nEnd < w.nPos)
            continue;
        done.erase(done.begin() + static_cast<std::ptrdiff_t>(i));
        if (w.nPos < span.nEnd)
            InsertSorted(done, w.nPos, span.nEnd, 0);
        if (span.nFirst < w.nBase)
            InsertSorted(done, span.nFirst, w.nBase, 0);
        break;
    }
    nDone -= w.nPos - w.nBase;
    w.nPos = w.nBase;
}

void CRangeScheduler::Single(int worker, uint32_t nowMs)
{
    done.clear();
    freed.clear();
    failed.clear();
    nDone = 0;
    for (Worker& w : workers)
        w.nBase = w.nPos = w.nEnd = 0;
    Worker& w = workers[static_cast<size_t>(worker)];
    Assign(w, 0, nSize, w.nSource, nowMs);
    bSingle = true;
}

void CRangeScheduler::Resume(uint32_t nowMs)
{
    for (Worker& w : workers) {
        w.nClockMs = nowMs;
        w.nSamples = 0;
    }
}

bool CRangeScheduler::NothingLeft() const
{
    if (!freed.empty())
        return false;
    for (const Worker& w : workers)
        if (w.nEnd > w.nPos)
            return false;
    return true;
}

void CRangeScheduler::AddDone(int32_t first, int32_t end)
{
    // The first span ending at or after first; merge every span that
    // touches [first, end).
    auto it = std::lower_bound(done.begin(), done.end(), first,
                               [](const ByteSpan& span, int32_t value) { return span.nEnd < value; });
    // Most often a worker's bytes extend the span they follow.
    if (it != done.end() && it->nEnd == first && (it + 1 == done.end() || (it + 1)->nFirst > end)) {
        it->nEnd = end;
        nDone += end - first;
        return;
    }
    int32_t a = first;
    int32_t b = end;
    auto last = it;
    while (last != done.end() && last->nFirst <= b) {
        a = std::min(a, last->nFirst);
        b = std::max(b, last->nEnd);
        ++last;
    }
    it = done.erase(it, last);
    done.insert(it, ByteSpan{a, b, 0});
    nDone += end - first;
}

#ifdef PW_TEST_HOOKS
bool CRangeScheduler::Consistent() const
{
    std::vector<ByteSpan> all(done);
    all.insert(all.end(), freed.begin(), freed.end());
    all.insert(all.end(), failed.begin(), failed.end());
    for (const Worker& w : workers)
        if (w.nEnd > w.nPos)
            all.push_back(ByteSpan{w.nPos, w.nEnd, w.nSource});
    std::sort(all.begin(), all.end(), [](const ByteSpan& a, const ByteSpan& b) { return a.nFirst < b.nFirst; });
    int32_t at = 0;
    for (const ByteSpan& span : all) {
        if (span.nFirst != at || span.nEnd <= span.nFirst)
            return false;
        at = span.nEnd;
    }
    if (at != nSize)
        return false;
    int32_t sum = 0;
    for (const ByteSpan& span : done)
        sum += span.nEnd - span.nFirst;
    if (sum != nDone)
        return false;
    // Each worker's written part is done.
    for (const Worker& w : workers) {
        if (w.nPos <= w.nBase)
            continue;
        bool inside = false;
        for (const ByteSpan& span : done)
            inside = inside || (span.nFirst <= w.nBase && w.nPos <= span.nEnd);
        if (!inside)
            return false;
    }
    return true;
}
#endif
