#include "net/DownloadMeter.h"

#include <chrono>

namespace {

constexpr uint64_t kSampleStepMs = 100;
constexpr uint64_t kMinSpanMs = 500;

uint64_t SteadyMs()
{
    return static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
}

} // namespace

CDownloadMeter::CDownloadMeter(Clock clock) : fnNow(clock ? std::move(clock) : Clock(&SteadyMs)) {}

void CDownloadMeter::Start(int64_t total, int64_t done)
{
    uint64_t now = fnNow();
    std::lock_guard<std::mutex> guard(lock);
    nStartMs = now;
    nTotal = total;
    nDone = done;
    bWaiting = false;
    samples.assign(1, Sample{now, done});
}

void CDownloadMeter::SetWaiting(bool waiting)
{
    std::lock_guard<std::mutex> guard(lock);
    bWaiting = waiting;
}

void CDownloadMeter::Update(int64_t done)
{
    uint64_t now = fnNow();
    std::lock_guard<std::mutex> guard(lock);
    if (done < nDone)
        samples.clear();
    nDone = done;
    if (samples.empty() || now - samples.back().nTimeMs >= kSampleStepMs)
        samples.push_back(Sample{now, done});
    // Keep one sample at or before the window's start, so the rate always
    // spans the whole window once there is one.
    while (samples.size() > 2 && now - samples[1].nTimeMs >= kWindowMs)
        samples.pop_front();
}

DownloadSnapshot CDownloadMeter::Snapshot() const
{
    uint64_t now = fnNow();
    std::lock_guard<std::mutex> guard(lock);
    DownloadSnapshot snapshot;
    snapshot.nBytesDone = nDone;
    snapshot.nTotal = nTotal;
    snapshot.bWaiting = bWaiting;
    snapshot.nElapsedMs = nTotal > 0 || nDone > 0 ? static_cast<uint32_t>(now - nStartMs) : 0;
    // The rate runs from the oldest sample inside the window up to now, so
    // it falls towards 0 while no bytes arrive.
    const Sample* from = nullptr;
    for (const Sample& sample : samples) {
        if (now - sample.nTimeMs <= kWindowMs) {
            from = &sample;
            break;
        }
    }
    if (from == nullptr && !samples.empty())
        from = &samples.back();
    if (from != nullptr && now - from->nTimeMs >= kMinSpanMs) {
        snapshot.dBytesPerSecond = static_cast<double>(nDone - from->nDone) * 1000.0 / static_cast<double>(now - from->nTimeMs);
        if (snapshot.dBytesPerSecond > 0 && nTotal > 0) {
            double left = static_cast<double>(nTotal - nDone) / snapshot.dBytesPerSecond;
            snapshot.nSecondsLeft = static_cast<int32_t>(left + 0.999);
        }
    }
    return snapshot;
}
