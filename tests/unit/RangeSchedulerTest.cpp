// The download engine's byte map (net/RangeScheduler.h): the first division,
// kept bytes, take-overs, clipping, and a property test over thousands of
// seeded schedules of simulated workers with random speeds, stalls, cuts and
// failures, on a clock of its own.
#include "net/RangeScheduler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <map>
#include <cstdio>
#include <tuple>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string Describe(const std::vector<ByteSpan>& spans)
{
    std::ostringstream out;
    for (const ByteSpan& s : spans)
        out << "[" << s.nFirst << "," << s.nEnd << ")@" << s.nSource << " ";
    return out.str();
}

// One tick of 100 ms: each worker writes up to its bytes at its position.
void Tick(CRangeScheduler& map, uint32_t& now, const std::vector<int32_t>& bytes)
{
    now += 100;
    for (size_t w = 0; w < bytes.size(); ++w) {
        CRangeScheduler::Grant g;
        if (bytes[w] > 0 && map.Next(static_cast<int>(w), now, false, g))
            map.Commit(static_cast<int>(w), map.Writable(static_cast<int>(w), g.nFirst, bytes[w]), now);
    }
}

// The bytes written so far, as merged intervals: Add refuses a byte that is
// already there.
class Written {
public:
    bool Add(int32_t first, int32_t end)
    {
        if (first >= end)
            return true;
        auto next = spans.lower_bound(first);
        if (next != spans.end() && next->first < end)
            return false;
        if (next != spans.begin() && std::prev(next)->second > first)
            return false;
        if (next != spans.end() && next->first == end) {
            end = next->second;
            next = spans.erase(next);
        }
        if (next != spans.begin() && std::prev(next)->second == first) {
            std::prev(next)->second = end;
            return true;
        }
        spans.emplace(first, end);
        return true;
    }
    int32_t Count() const
    {
        int32_t n = 0;
        for (const auto& span : spans)
            n += span.second - span.first;
        return n;
    }
    const std::map<int32_t, int32_t>& Spans() const { return spans; }

private:
    std::map<int32_t, int32_t> spans;
};

} // namespace

TEST(RangeScheduler, FirstDivisionKeptBytesAndTakeOvers)
{
    CRangeScheduler::Grant g;
    {
        // The ranges of the first division; the last takes the rest.
        CRangeScheduler map;
        map.Start(1000, 3, nullptr, 0);
        std::vector<std::pair<int32_t, int32_t>> grants;
        for (int w = 0; w < 3; ++w) {
            ASSERT_TRUE(map.Next(w, 0, true, g));
            EXPECT_FALSE(g.bNew);
            grants.emplace_back(g.nFirst, g.nEnd);
        }
        EXPECT_EQ(grants, (std::vector<std::pair<int32_t, int32_t>>{{0, 333}, {333, 666}, {666, 1000}}));
    }
    {
        // Kept bytes are not fetched again: worker 0's range is done, so it
        // takes the free hole of worker 1's range; worker 1 its first hole.
        CRangeScheduler map;
        const std::vector<ByteSpan> kept{{0, 500, 0}, {600, 700, 0}, {800, 900, 0}};
        map.Start(1000, 2, &kept, 0);
        EXPECT_EQ(map.Done(), 700);
        ASSERT_TRUE(map.Next(1, 0, true, g));
        EXPECT_EQ(std::make_pair(g.nFirst, g.nEnd), std::make_pair(500, 600));
        ASSERT_TRUE(map.Next(0, 0, true, g));
        EXPECT_TRUE(g.bNew);
        EXPECT_EQ(std::make_pair(g.nFirst, g.nEnd), std::make_pair(700, 800));
        EXPECT_FALSE(map.NothingLeft());
        EXPECT_TRUE(map.Consistent());
    }
    SchedulerTuning tune;
    tune.nMinTakeOver = 1000;
    {
        // Worker 0 writes 10 KB/s, worker 1 30 KB/s. When worker 1 is done,
        // worker 0 has 66,000 bytes left: worker 1 takes 29/39 of them (the
        // speeds over the last two seconds), so that both end together.
        CRangeScheduler map;
        map.Start(200000, 2, nullptr, 0, tune);
        uint32_t now = 0;
        while (map.Left(1) > 0)
            Tick(map, now, {1000, 3000});
        ASSERT_EQ(map.Left(0), 66000);
        ASSERT_TRUE(map.Next(1, now, true, g));
        EXPECT_EQ(g.nFrom, 0);
        EXPECT_FALSE(g.bStalled);
        EXPECT_TRUE(g.bNew);
        EXPECT_NEAR(g.nEnd - g.nFirst, 66000 * 29 / 39, 100) << g.nFirst << "-" << g.nEnd;
        EXPECT_EQ(g.nEnd, 100000);
        EXPECT_EQ(map.Left(0), g.nFirst - 34000);
        // The slow worker stops at its new end: what it reads past it is clipped.
        EXPECT_EQ(map.Writable(0, 34000, 100000), g.nFirst - 34000);
        EXPECT_TRUE(map.Consistent());
    }
    {
        // Not worth it (below the least part, or saving under a second), a
        // speed not known yet: nothing taken. Stalled: all of it.
        CRangeScheduler map;
        map.Start(4000, 2, nullptr, 0, tune);
        uint32_t now = 0;
        map.Commit(1, map.Writable(1, 2000, 2000), now);
        EXPECT_FALSE(map.Next(1, now, true, g));          // worker 0's speed is not known
        for (int i = 0; i < 10; ++i)
            Tick(map, now, {100, 0});                    // 1,000 B/s, 1,000 bytes left
        EXPECT_FALSE(map.Next(1, now, true, g));          // 500 bytes: below 1,000
        now += tune.nStallMs;
        EXPECT_FALSE(map.Next(1, now, false, g));         // take-overs not allowed now
        ASSERT_TRUE(map.Next(1, now, true, g));
        EXPECT_TRUE(g.bStalled);
        EXPECT_EQ(std::make_pair(g.nFirst, g.nEnd), std::make_pair(1000, 2000));
        EXPECT_EQ(map.Left(0), 0);
        EXPECT_EQ(map.Writable(0, 1000, 10), 0);
    }
    {
        // Taking back, failing for good, moving to another source, one stream.
        CRangeScheduler map;
        map.Start(1000, 2, nullptr, 0);
        map.Commit(0, 100, 0);
        map.TakeBack(0);
        EXPECT_EQ(map.Done(), 0);
        ASSERT_TRUE(map.Next(0, 0, true, g));
        EXPECT_EQ(g.nFirst, 0);
        map.Commit(1, 200, 0);
        map.Move(1, 1);
        ASSERT_TRUE(map.Next(1, 0, true, g));
        EXPECT_EQ(std::make_tuple(g.nFirst, g.nEnd, g.nSource), std::make_tuple(700, 1000, 1));
        map.Fail(1);
        EXPECT_EQ(Describe(map.FailedSpans()), "[700,1000)@1 ");
        EXPECT_FALSE(map.Next(1, 0, true, g)) << "a failed interval is nobody's";
        EXPECT_TRUE(map.Consistent());
        map.Single(1, 0);
        EXPECT_EQ(map.Done(), 0);
        EXPECT_FALSE(map.Next(0, 0, true, g));
        ASSERT_TRUE(map.Next(1, 0, true, g));
        EXPECT_EQ(std::make_pair(g.nFirst, g.nEnd), std::make_pair(0, 1000));
        EXPECT_TRUE(map.Consistent());
    }
}

// Simulated workers on a clock of ticks of 10 ms. Each asks for an interval,
// then reads it in chunks whose size is fixed when the read starts (as a
// real read's capacity is) and which arrive after a random delay: some reads
// block for seconds (a stalled server, or a read Wine cannot end), some
// attempts are cut, some fail for good on the first source and move to the
// second, or on the second for good. Take-overs are now and then not
// allowed (the network gate is closed). Every byte that arrives is counted
// where it is written; kept bytes count as written before the start.
TEST(RangeScheduler, RandomSchedulesWriteEveryByteExactlyOnce)
{
    constexpr int kSchedules = 2000;
    int takeOvers = 0;
    int stalledTakeOvers = 0;
    int failures = 0;
    for (int seed = 1; seed <= kSchedules; ++seed) {
        std::mt19937 rng(static_cast<uint32_t>(seed));
        auto pick = [&rng](int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); };
        const int32_t size = pick(1, 40000);
        const int count = std::min<int32_t>(pick(1, 8), size);
        SchedulerTuning tune;
        tune.nMinTakeOver = pick(1, 4096);
        Written written;
        std::vector<ByteSpan> kept;
        if (pick(0, 3) == 0) {
            // Kept spans may overlap; each byte counts once.
            for (int k = pick(1, 4); k > 0; --k) {
                int32_t first = pick(0, size - 1);
                kept.push_back({first, std::min(size, first + pick(1, 20000)), 0});
            }
            std::vector<ByteSpan> merged(kept);
            std::sort(merged.begin(), merged.end(),
                      [](const ByteSpan& a, const ByteSpan& b) { return a.nFirst < b.nFirst; });
            int32_t reach = 0;
            for (const ByteSpan& span : merged) {
                written.Add(std::max(span.nFirst, reach), std::max(span.nEnd, reach));
                reach = std::max(reach, span.nEnd);
            }
        }
        struct Sim {
            bool bAttempt = false;
            int32_t nOffset = 0;
            bool bReading = false;
            uint32_t nDue = 0;
            int32_t nCapacity = 0;
            int nPerTick = 0;
            int nSource = 0;
        };
        std::vector<Sim> sims(static_cast<size_t>(count));
        CRangeScheduler map;
        uint32_t now = 1000000;   // not zero: the clock's origin is not special
        map.Start(size, count, &kept, now, tune);
        ASSERT_TRUE(map.Consistent()) << "seed " << seed;
        int32_t lastDone = map.Done();
        bool everFailed = false;
        std::vector<int> order(static_cast<size_t>(count));
        for (int i = 0; i < count; ++i)
            order[static_cast<size_t>(i)] = i;
        int tick = 0;
        for (;; ++tick) {
            ASSERT_LT(tick, 200000) << "seed " << seed << ": never ended";
            now += 10;
            const bool takeOver = pick(0, 9) != 0;
            if (pick(0, 499) == 0)
                map.Resume(now);
            std::shuffle(order.begin(), order.end(), rng);
            bool moved = false;   // anything happened this tick
            for (int i : order) {
                Sim& s = sims[static_cast<size_t>(i)];
                if (!s.bAttempt) {
                    CRangeScheduler::Grant g;
                    if (!map.Next(i, now, takeOver, g))
                        continue;
                    moved = true;
                    if (g.nFrom >= 0) {
                        ++takeOvers;
                        stalledTakeOvers += g.bStalled;
                        ASSERT_TRUE(takeOver);
                        ASSERT_LE(map.Left(g.nFrom) + g.nEnd - g.nFirst, size);
                    }
                    s.bAttempt = true;
                    s.nOffset = g.nFirst;
                    s.nSource = g.nSource;
                    s.nPerTick = pick(10, 400);
                    continue;
                }
                if (!s.bReading) {
                    s.nCapacity = std::min(map.Left(i), pick(1, 8192));
                    if (s.nCapacity == 0) {
                        s.bAttempt = false;
                        continue;
                    }
                    s.bReading = true;
                    // Mostly a tick or a few; now and then a read that blocks.
                    s.nDue = now + (pick(0, 60) == 0 ? static_cast<uint32_t>(pick(2000, 8000))
                                                     : static_cast<uint32_t>(pick(10, 40)));
                    continue;
                }
                if (now < s.nDue)
                    continue;
                s.bReading = false;
                moved = true;
                const int roll = pick(0, 99);
                if (roll < 3) {
                    // Cut: the attempt ends; some find the server refusing.
                    s.bAttempt = false;
                    map.SetFailing(i, roll == 0);
                    continue;
                }
                if (roll == 3 && pick(0, 3) == 0) {
                    if (map.Left(i) > 0 && s.nSource == 0) {
                        map.Move(i, 1);
                        s.nSource = 1;
                    } else {
                        everFailed = everFailed || map.Left(i) > 0;
                        map.Fail(i);
                    }
                    s.bAttempt = false;
                    ++failures;
                    continue;
                }
                const int32_t arrived = std::min(s.nCapacity, s.nPerTick * pick(1, 4));
                const int32_t n = map.Writable(i, s.nOffset, arrived);
                ASSERT_TRUE(written.Add(s.nOffset, s.nOffset + n))
                    << "seed " << seed << ": bytes " << s.nOffset << "-" << s.nOffset + n << " written twice";
                map.Commit(i, n, now);
                s.nOffset += n;
                if (n < arrived || map.Left(i) == 0)
                    s.bAttempt = false;   // its end came, or moved before it
            }
            ASSERT_TRUE(map.Consistent()) << "seed " << seed << " tick " << tick;
            ASSERT_GE(map.Done(), lastDone) << "seed " << seed << ": progress went back";
            lastDone = map.Done();
            bool busy = false;
            for (const Sim& s : sims)
                busy = busy || s.bAttempt;
            if (!busy && map.NothingLeft())
                break;
            // Nothing happened: on to the next read that ends, or half a
            // second on (a stall may be reached meanwhile).
            if (!moved) {
                uint32_t next = now + 500;
                for (const Sim& s : sims)
                    if (s.bReading && s.nDue < next)
                        next = s.nDue;
                now = next - 10;
            }
        }
        // Every byte written once, except those of intervals that failed for good.
        Written all(written);
        for (const ByteSpan& span : map.FailedSpans())
            ASSERT_TRUE(all.Add(span.nFirst, span.nEnd)) << "seed " << seed << ": failed bytes were written";
        ASSERT_EQ(all.Count(), size) << "seed " << seed << ": bytes missed; failed " << Describe(map.FailedSpans());
        EXPECT_EQ(map.Done(), written.Count()) << "seed " << seed;
        if (!everFailed) {
            EXPECT_TRUE(map.Complete()) << "seed " << seed;
            EXPECT_EQ(map.Done(), size) << "seed " << seed;
        }
    }
    // The schedules did what they are for.
    EXPECT_GT(takeOvers, kSchedules);
    EXPECT_GT(stalledTakeOvers, kSchedules / 10);
    EXPECT_GT(failures, kSchedules / 10);
    std::printf("%d schedules: %d take-overs (%d of stalled workers), %d failures\n", kSchedules, takeOvers,
                stalledTakeOvers, failures);
}
