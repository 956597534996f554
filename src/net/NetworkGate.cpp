#include "net/NetworkGate.h"

bool IsNoNetworkError(uint32_t error)
{
    switch (error) {
    case 12002:   // time-out (connect, send, receive)
    case 12007:   // the name does not resolve
    case 12029:   // cannot connect: refused, unreachable
    case 12030:   // connection aborted
    case 12031:   // connection reset
    case 12152:   // closed without a readable answer
        return true;
    default:
        return false;
    }
}

bool IsOutageStatus(int status)
{
    return status == 408 || status == 429 || status == 502 || status == 503 || status == 504;
}

CNetworkGate::CNetworkGate(uint32_t seed, const GateTiming& gateTiming)
    : timing(gateTiming), nRandom(seed != 0 ? seed : 1)
{
}

CNetworkGate::Pass CNetworkGate::Enter(uint32_t nowMs, uint32_t& waitMs)
{
    waitMs = 0;
    if (!bClosed)
        return kOpen;
    // Differences are taken unsigned: the clock may wrap.
    const int32_t until = static_cast<int32_t>(nNextMs - nowMs);
    if (!bProbeOut && until <= 0) {
        bProbeOut = true;
        return kProbe;
    }
    waitMs = (!bProbeOut && until > 0) ? static_cast<uint32_t>(until) : timing.nProbeMs;
    return kWait;
}

bool CNetworkGate::Open()
{
    const bool wasClosed = bClosed;
    bClosed = false;
    bProbeOut = false;
    nStepMs = 0;
    return wasClosed;
}

uint32_t CNetworkGate::NoNetwork(uint32_t nowMs, uint32_t lastByteMs, uint32_t retryAfterMs, bool probe)
{
    if (bClosed && !probe) {
        const int32_t until = static_cast<int32_t>(nNextMs - nowMs);
        return until > 0 ? static_cast<uint32_t>(until) : 0;
    }
    bClosed = true;
    bProbeOut = false;
    if (nowMs - lastByteMs < timing.nSteadyMs || nStepMs == 0)
        nStepMs = timing.nProbeMs;
    else
        nStepMs = nStepMs + nStepMs / 2 > timing.nProbeCapMs ? timing.nProbeCapMs : nStepMs + nStepMs / 2;
    // +-jitter: a farm of installers that lost the same server does not
    // come back in step.
    nRandom = nRandom * 1103515245u + 12345u;
    const uint32_t span = nStepMs / 100 * timing.nJitterPercent * 2;
    uint32_t pause = nStepMs - span / 2 + (span != 0 ? (nRandom >> 8) % (span + 1) : 0);
    if (pause < retryAfterMs)
        pause = retryAfterMs;
    nNextMs = nowMs + pause;
    return pause;
}
