// The download's network gate: while attempts find no network, the workers
// wait here, and one attempt at a time goes out as a probe: every second for
// the first minute after the last byte, then 1.5 times longer per probe up
// to 15 s, each pause with +-20 % jitter (a Retry-After asks for at least
// its own). Any answer opens the gate, and every waiting worker goes at once.
//
// What counts as no network: a name that does not resolve, a connection
// refused, reset or closed without an answer, a connect or receive time-out,
// and the statuses 408, 429, 502, 503 and 504, from a server or a proxy.
//
// Portable and not thread-safe: the engine calls it under its lock and does
// the waiting itself. Times are milliseconds from a monotonic clock.
//
// Classes in this file: GateTiming, CNetworkGate.
#pragma once

#include <cstdint>

// The stack error codes of no network (the same numbers on WinHTTP and
// WinINet): name not resolved, refused, reset, aborted, closed without an
// answer, time-out.
bool IsNoNetworkError(uint32_t error);
// 408, 429, 502, 503, 504: the server or the way to it is not there now.
bool IsOutageStatus(int status);

struct GateTiming {
    uint32_t nProbeMs = 1000;       // the pause between probes...
    uint32_t nSteadyMs = 60000;     // ...for this long after the last byte; then
    uint32_t nProbeCapMs = 15000;   // 1.5 times longer per probe, at most this
    uint32_t nJitterPercent = 20;
};

class CNetworkGate {
public:
    enum Pass { kOpen, kProbe, kWait };

    explicit CNetworkGate(uint32_t seed = 1, const GateTiming& timing = GateTiming());

    // Whether an attempt may start now: the gate is open; or it is closed and
    // this caller is the probe (the pause is over and no probe is out); or
    // it waits, at most waitMs before asking again.
    Pass Enter(uint32_t nowMs, uint32_t& waitMs);
    // An attempt got an answer (or the outage is no longer waited out): the
    // gate opens. True when it was closed: the waiting workers are to be woken.
    bool Open();
    // The probe made no attempt after all, or failed otherwise than for
    // want of a network: the next one may go at once.
    void ProbeDropped() { bProbeOut = false; }
    // An attempt found no network: the gate closes. The probe (or the first
    // to close it) sets the next probe's time; others leave it. Returns the
    // pause until the next probe.
    uint32_t NoNetwork(uint32_t nowMs, uint32_t lastByteMs, uint32_t retryAfterMs, bool probe);
    bool Closed() const { return bClosed; }

private:
    GateTiming timing;
    uint32_t nRandom;
    bool bClosed = false;
    bool bProbeOut = false;
    uint32_t nNextMs = 0;     // when the next probe may go
    uint32_t nStepMs = 0;     // the last pause before jitter
};
