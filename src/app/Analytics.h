// The two usage events of an installation and the opt-out that stops them.
// Analytics are off with the /NOANALYTICS switch, or when the policy value
// "DisableAnalytics" (a DWORD, any value but 0) is set under
// HKLM\SOFTWARE\Policies\Brisklane\Pathwick or the same key under HKCU; then
// no request of any kind is made and no client identifier is read or made.
//
// PrepareAnalytics decides once, on the main thread, before any send; the
// sends may come from any thread afterwards. Each send runs the beacon on a
// thread of its own; the process keeps the thread handles so that a run that
// ends right after its work can wait for them.
#pragma once

#ifdef _WIN32
#include <windows.h>

#include <string>

#include "config/LanguageManager.h"

// Why analytics are off ("the /NOANALYTICS switch", "the policy under
// HKEY_LOCAL_MACHINE", ...), or "" when they are on.
std::wstring AnalyticsOffReason(bool switchedOff);

// Decides and, when analytics are on, gives the beacon the URLs of both
// events (client identifier, product title); when off, logs once that they
// are off and why.
void PrepareAnalytics(const LanguageManager& languages, bool switchedOff);

// Sends the start event (first) or the installed event; nothing when
// analytics are off or were never prepared.
void SendAnalyticsEvent(bool first);

// Waits up to waitMs in all for the sends started so far.
void WaitForAnalyticsEvents(DWORD waitMs);
#endif
