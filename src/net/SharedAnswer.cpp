#include "net/SharedAnswer.h"

bool CSharedAnswer::Get(const std::function<bool()>& ask)
{
    std::unique_lock<std::mutex> hold(lock);
    if (bAsking) {
        const unsigned long long round = nRound;
        ++nWaiting;
        answered.wait(hold, [&] { return nRound != round; });
        --nWaiting;
        return bAnswer;
    }
    bAsking = true;
    hold.unlock();
    const bool answer = ask();
    hold.lock();
    bAnswer = answer;
    bAsking = false;
    ++nRound;
    answered.notify_all();
    return answer;
}

int CSharedAnswer::Waiting()
{
    std::lock_guard<std::mutex> hold(lock);
    return nWaiting;
}
