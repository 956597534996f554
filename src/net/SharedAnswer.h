// One answer for callers that ask the same question at the same moment.
// When the download's workers open their sessions together, each would ask
// the system whether a proxy is set; under Wine that question enumerates the
// network adapters, and five of them at once took 40 ms. A
// caller that arrives while the question is being asked waits for that
// answer instead of asking again; a caller that arrives later asks afresh,
// so no answer is older than the call it waited for.
//
// Classes in this file: CSharedAnswer.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>

class CSharedAnswer {
public:
    // Calls `ask` and returns its answer, or, when another caller's `ask`
    // is under way, waits for it and returns that answer.
    bool Get(const std::function<bool()>& ask);
    // Callers waiting for an answer now (for tests).
    int Waiting();

private:
    std::mutex lock;
    std::condition_variable answered;
    bool bAsking = false;
    unsigned long long nRound = 0;
    bool bAnswer = false;
    int nWaiting = 0;
};
