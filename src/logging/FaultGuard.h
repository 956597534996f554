// Runs a piece of work so that a hardware fault inside it (an access
// violation from a bad printf argument, say) returns to the caller instead of
// ending the process. Used by the log facility around record formatting.
#pragma once

// Calls fn(context). Returns true when it finished, false when it faulted or
// threw. The work must not hold locks or own resources across the fault.
bool RunWithFaultGuard(void (*fn)(void*), void* context);
