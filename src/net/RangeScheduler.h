// The download engine's byte map: which bytes of the file are done, which
// are in flight on which worker and from which source, which failed for
// good, and which interval a worker fetches next. It decides; the workers
// only move the bytes of the interval it hands them.
//
// A download starts with the file divided into one range per worker. When a
// worker's interval is done it takes, in order: a free interval (bytes kept
// from an earlier download leave holes), or the far part of the interval
// with the most estimated time left (a take-over). The estimate is the
// worker's speed over the last couple of seconds; a worker that brought no
// byte for nStallMs is stalled and gives up all of its interval. A part is
// taken from a moving worker only when both are expected to finish
// together, the part is at least nMinTakeOver bytes and it saves at least
// nTakeOverWorthMs. The worker taken from stops at its new end.
//
// Every interval names its source (the URL its bytes come from), so that an
// interval whose source failed can continue from another one.
//
// Not thread-safe: the engine calls it under its write lock, and writes a
// chunk only after Writable allowed it, under the same lock, so no byte is
// written twice and none is missed. Times are milliseconds from any
// monotonic clock, passed in (tests run on a clock of their own).
//
// Classes in this file: ByteSpan, SchedulerTuning, CRangeScheduler.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The bytes [nFirst, nEnd) of the file, from source nSource.
struct ByteSpan {
    int32_t nFirst = 0;
    int32_t nEnd = 0;
    int nSource = 0;
};

struct SchedulerTuning {
    uint32_t nStallMs = 2000;          // no byte this long: stalled (infinite time left)
    uint32_t nSpeedWindowMs = 2000;    // speeds are measured over this window...
    uint32_t nSpeedKnownMs = 500;      // ...once bytes came for at least this long
    int32_t nMinTakeOver = 262144;     // the smallest part taken from a worker that moves
    uint32_t nTakeOverWorthMs = 1000;  // ...and the least time it saves that worker
};

class CRangeScheduler {
public:
    // What a worker fetches now: [nFirst, nEnd) from nSource.
    struct Grant {
        int32_t nFirst = 0;
        int32_t nEnd = 0;
        int nSource = 0;
        bool bNew = false;       // a new interval (else the rest of the worker's own)
        int nFrom = -1;          // taken over from this worker; -1: a free or initial interval
        bool bStalled = false;   // ...which was stalled
    };

    // A download of size bytes over workers workers (1 to 64, at most one
    // per byte); done, when given, holds bytes already written, which are
    // not fetched again. Worker i's first interval is the first missing part
    // of the i-th range; the other missing parts are free.
    void Start(int32_t size, int workers, const std::vector<ByteSpan>* done, uint32_t nowMs,
               const SchedulerTuning& tuning = SchedulerTuning());

    // The interval worker fetches now: the rest of its own, else a free one,
    // else (with takeOver) a take-over. False: nothing for it at the moment.
    bool Next(int worker, uint32_t nowMs, bool takeOver, Grant& grant);

    // How many of count bytes arriving at offset the worker may write: 0
    // unless offset is its position, and never past its end.
    int32_t Writable(int worker, int32_t offset, int32_t count) const;
    // count bytes written at the worker's position.
    void Commit(int worker, int32_t count, uint32_t nowMs);
    // Bytes of the worker's interval still to fetch, and its next byte.
    int32_t Left(int worker) const;
    int32_t Position(int worker) const { return workers[static_cast<size_t>(worker)].nPos; }

    // The worker's attempts fail without bringing bytes (its interval is not
    // taken over meanwhile: taking it would not help); cleared by Commit.
    void SetFailing(int worker, bool failing);
    // The worker goes on with the rest of its interval from another source.
    void Move(int worker, int source);
    // The rest of the worker's interval failed for good; the worker is free.
    void Fail(int worker);
    // Without a way to check that the file is unchanged, the bytes the worker
    // wrote of its interval no longer count: it starts the interval again.
    void TakeBack(int worker);
    // The server sends the whole file as one stream: this worker takes all of
    // it from byte 0, nothing is done any more, and no other worker gets
    // anything until the end.
    void Single(int worker, uint32_t nowMs);
    // After an outage: nobody counts as stalled for having waited.
    void Resume(uint32_t nowMs);

    int32_t Size() const { return nSize; }
    int32_t Done() const { return nDone; }
    bool Complete() const { return nDone == nSize; }
    // Nothing free and nothing in flight: complete, or the rest failed.
    bool NothingLeft() const;
    bool IsSingle() const { return bSingle; }
    const std::vector<ByteSpan>& DoneSpans() const { return done; }
    const std::vector<ByteSpan>& FailedSpans() const { return failed; }
#ifdef PW_TEST_HOOKS
    // Done, free, failed and in-flight bytes cover the file exactly once,
    // and each worker's written part is done (tests).
    bool Consistent() const;
#endif

private:
    static constexpr uint32_t kSamples = 32;        // enough for the window at one a step
    static constexpr uint32_t kSampleStepMs = 100;
    struct Worker {
        int32_t nBase = 0;       // where the interval began (TakeBack)
        int32_t nPos = 0;        // next byte to write
        int32_t nEnd = 0;        // one past its last byte
        int nSource = 0;
        bool bFailing = false;
        uint32_t nClockMs = 0;   // last byte, grant or resume: the stall clock
        uint32_t nRunMs = 0;     // bytes have come without a stall since then
        int64_t nBytes = 0;      // all bytes this worker wrote
        // (time, nBytes) at most every kSampleStepMs, the newest at
        // samples[nSamples - 1 modulo kSamples]: the speed window.
        struct Sample {
            uint32_t nMs;
            int64_t nBytes;
        };
        Sample samples[kSamples] = {};
        uint32_t nSamples = 0;
    };

    bool Stalled(const Worker& w, uint32_t now) const;
    // Bytes per second over the window; false while not known.
    bool Speed(const Worker& w, uint32_t now, double& speed) const;
    bool TakeOver(int taker, uint32_t now, Grant& grant);
    void Assign(Worker& w, int32_t first, int32_t end, int source, uint32_t now);
    void AddDone(int32_t first, int32_t end);

    int32_t nSize = 0;
    int32_t nDone = 0;
    bool bSingle = false;
    SchedulerTuning tune;
    std::vector<ByteSpan> done;     // sorted, disjoint, adjacent ones merged
    std::vector<ByteSpan> freed;    // to fetch, nobody's yet; sorted
    std::vector<ByteSpan> failed;   // failed for good
    std::vector<Worker> workers;
};
