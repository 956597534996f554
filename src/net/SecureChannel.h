// The system's TLS stack, loaded ahead of the first secure request. Loading
// it is a one-time cost of the process, paid inside the first handshake:
// measured under Wine, a process's first request over TLS took 240-380 ms
// and one after the stack was loaded about 35 ms; with the request libraries
// and the certificate chain engine loaded too, the size query of a download
// took 12-17 ms instead of 40-120. The window loads all of it on a thread of
// its own once the home page is drawn, so a click on Install does not wait
// for it.
//
// Functions in this file: WarmUpSecureChannel, StartSecureChannelWarmUp,
// WaitSecureChannelWarmUp.
#pragma once

// Loads the stack: loads both request libraries, builds and checks one
// certificate chain (a trusted root's) and makes the first message of a
// client handshake, sending nothing. True when the stack made that message.
bool WarmUpSecureChannel();

// WarmUpSecureChannel on a thread of its own, once per process (later calls
// do nothing). `prepare`, when given, runs first on that thread (the window
// loads the system libraries of the requests there, see
// system/SystemLibrary.h).
void StartSecureChannelWarmUp(void (*prepare)() = nullptr);
// Waits at most `ms` for that thread (before the process ends, so that it
// does not end in the middle of loading a library).
void WaitSecureChannelWarmUp(unsigned ms);
