// What a speed and time-left display needs from a running download, beside
// the engine's progress events: bytes done, the total, the time since the
// start and a rate smoothed over the last few seconds.
//
// Threads: the engine calls Start on the thread that runs the download (when
// the size is known, again after a restart) and Update on its worker threads
// (after each chunk, while the engine's write lock is held). Snapshot may be
// called from any thread at any time, typically by a UI timer. One internal
// lock guards everything; it is a leaf: nothing is called while it is held.
// The meter is owned by the caller and must outlive the download.
//
// Classes in this file: DownloadSnapshot, CDownloadMeter.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>

struct DownloadSnapshot {
    int64_t nBytesDone = 0;        // written so far by all workers; never above nTotal
    int64_t nTotal = 0;            // 0 until the size is known
    uint32_t nElapsedMs = 0;       // since Start
    double dBytesPerSecond = 0;    // over the last kWindowMs; 0 until half a second has passed
    int32_t nSecondsLeft = -1;     // at the smoothed rate, rounded up; -1 when unknown
    bool bWaiting = false;         // the engine waits for the network to come back
};

class CDownloadMeter {
public:
    // Milliseconds from a monotonic clock; the default is the steady clock.
    using Clock = std::function<uint64_t()>;
    static constexpr uint32_t kWindowMs = 5000;

    explicit CDownloadMeter(Clock clock = Clock());

    // A download of total bytes starts (or starts over, or resumes with done
    // bytes already there): everything resets.
    void Start(int64_t total, int64_t done = 0);
    // Whether the engine waits for the network (any thread).
    void SetWaiting(bool waiting);
    // Bytes done so far. A smaller value than before (bytes taken back)
    // restarts the rate measurement.
    void Update(int64_t done);
    DownloadSnapshot Snapshot() const;

private:
    struct Sample {
        uint64_t nTimeMs;
        int64_t nDone;
    };

    Clock fnNow;
    mutable std::mutex lock;
    uint64_t nStartMs = 0;
    int64_t nTotal = 0;
    int64_t nDone = 0;
    bool bWaiting = false;
    std::deque<Sample> samples;    // at least kSampleStepMs apart, the last kWindowMs
};
