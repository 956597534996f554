// Small owners for Win32 handles so an early return cannot leak one. Each
// owner closes its handle with the matching call when it goes out of scope.
//
// Classes in this file: CScopedHandle (kernel objects), CScopedRegKey,
// CScopedModule, CScopedGdiObject, CScopedFindHandle.
#pragma once

#ifdef _WIN32
#include <windows.h>

#include <utility>

template <typename T, typename Traits>
class CScopedWinHandle {
public:
    CScopedWinHandle() = default;
    explicit CScopedWinHandle(T handle) : hValue(handle) {}
    ~CScopedWinHandle() { Reset(); }
    CScopedWinHandle(const CScopedWinHandle&) = delete;
    CScopedWinHandle& operator=(const CScopedWinHandle&) = delete;
    CScopedWinHandle(CScopedWinHandle&& other) noexcept : hValue(other.Release()) {}
    CScopedWinHandle& operator=(CScopedWinHandle&& other) noexcept
    {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }

    T Get() const { return hValue; }
    T* Receive() { Reset(); return &hValue; }   // for out-parameters
    bool Valid() const { return Traits::Valid(hValue); }
    explicit operator bool() const { return Valid(); }
    T Release() { T value = hValue; hValue = Traits::Invalid(); return value; }
    void Reset(T handle = Traits::Invalid())
    {
        if (Traits::Valid(hValue))
            Traits::Close(hValue);
        hValue = handle;
    }

private:
    T hValue = Traits::Invalid();
};

struct KernelHandleTraits {
    static HANDLE Invalid() { return nullptr; }
    static bool Valid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { CloseHandle(h); }
};
struct FindHandleTraits {
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static bool Valid(HANDLE h) { return h != INVALID_HANDLE_VALUE && h != nullptr; }
    static void Close(HANDLE h) { FindClose(h); }
};
struct RegKeyTraits {
    static HKEY Invalid() { return nullptr; }
    static bool Valid(HKEY h) { return h != nullptr; }
    static void Close(HKEY h) { RegCloseKey(h); }
};
struct ModuleTraits {
    static HMODULE Invalid() { return nullptr; }
    static bool Valid(HMODULE h) { return h != nullptr; }
    static void Close(HMODULE h) { FreeLibrary(h); }
};
struct GdiObjectTraits {
    static HGDIOBJ Invalid() { return nullptr; }
    static bool Valid(HGDIOBJ h) { return h != nullptr; }
    static void Close(HGDIOBJ h) { DeleteObject(h); }
};

using CScopedHandle = CScopedWinHandle<HANDLE, KernelHandleTraits>;
using CScopedFindHandle = CScopedWinHandle<HANDLE, FindHandleTraits>;
using CScopedRegKey = CScopedWinHandle<HKEY, RegKeyTraits>;
using CScopedModule = CScopedWinHandle<HMODULE, ModuleTraits>;
using CScopedGdiObject = CScopedWinHandle<HGDIOBJ, GdiObjectTraits>;

#endif
