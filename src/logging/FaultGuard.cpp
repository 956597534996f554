#include "logging/FaultGuard.h"

#include <mutex>

#ifdef _WIN32
#include <windows.h>

namespace {

// The jump buffer of the guard active on this thread, if any. Faults are
// caught by a vectored handler that jumps back into RunWithFaultGuard.
thread_local void** tGuardBuffer = nullptr;

LONG CALLBACK FaultHandler(PEXCEPTION_POINTERS info)
{
    if (tGuardBuffer == nullptr)
        return EXCEPTION_CONTINUE_SEARCH;
    switch (info->ExceptionRecord->ExceptionCode) {
    case EXCEPTION_ACCESS_VIOLATION:
    case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
    case EXCEPTION_DATATYPE_MISALIGNMENT:
    case EXCEPTION_IN_PAGE_ERROR:
    case EXCEPTION_ILLEGAL_INSTRUCTION:
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
    case EXCEPTION_PRIV_INSTRUCTION:
        break;
    default:
        return EXCEPTION_CONTINUE_SEARCH;
    }
    void** buffer = tGuardBuffer;
    tGuardBuffer = nullptr;
    __builtin_longjmp(buffer, 1);
}

} // namespace

bool RunWithFaultGuard(void (*fn)(void*), void* context)
{
    static std::once_flag installed;
    std::call_once(installed, [] { AddVectoredExceptionHandler(1, FaultHandler); });

    void* buffer[5];
    void** volatile outer = tGuardBuffer;
    if (__builtin_setjmp(buffer)) {
        tGuardBuffer = outer;
        return false;
    }
    tGuardBuffer = buffer;
    bool finished = true;
    try {
        fn(context);
    } catch (...) {
        finished = false;
    }
    tGuardBuffer = outer;
    return finished;
}

#else
#include <csetjmp>
#include <csignal>

namespace {

thread_local sigjmp_buf* tGuardBuffer = nullptr;
struct sigaction gPreviousSegv;
struct sigaction gPreviousBus;

void FaultHandler(int signal, siginfo_t* info, void* context)
{
    if (tGuardBuffer != nullptr) {
        sigjmp_buf* buffer = tGuardBuffer;
        tGuardBuffer = nullptr;
        siglongjmp(*buffer, 1);
    }
    // Not ours: hand the fault to whoever handled it before.
    const struct sigaction& previous = signal == SIGSEGV ? gPreviousSegv : gPreviousBus;
    if ((previous.sa_flags & SA_SIGINFO) && previous.sa_sigaction != nullptr) {
        previous.sa_sigaction(signal, info, context);
    } else if (previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN) {
        previous.sa_handler(signal);
    } else {
        std::signal(signal, SIG_DFL);
        std::raise(signal);
    }
}

void InstallHandlers()
{
    struct sigaction action {};
    action.sa_sigaction = FaultHandler;
    action.sa_flags = SA_SIGINFO | SA_NODEFER;
    sigemptyset(&action.sa_mask);
    sigaction(SIGSEGV, &action, &gPreviousSegv);
    sigaction(SIGBUS, &action, &gPreviousBus);
}

} // namespace

bool RunWithFaultGuard(void (*fn)(void*), void* context)
{
    static std::once_flag installed;
    std::call_once(installed, InstallHandlers);

    sigjmp_buf buffer;
    sigjmp_buf* volatile outer = tGuardBuffer;
    if (sigsetjmp(buffer, 1)) {
        tGuardBuffer = outer;
        return false;
    }
    tGuardBuffer = &buffer;
    bool finished = true;
    try {
        fn(context);
    } catch (...) {
        finished = false;
    }
    tGuardBuffer = outer;
    return finished;
}

#endif
