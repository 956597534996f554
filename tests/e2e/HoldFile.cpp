// hold_file.exe FILE HELD_MARK RELEASE
//
// Holds FILE as a virus scanner holds a fresh executable: open for reading
// while nobody else may read or run it (others may still write and delete,
// so a download in progress goes on). Waits up to 120 s for FILE to appear,
// creates HELD_MARK once it holds it, and closes it when RELEASE exists (at
// most 120 s later). Exit code 0 after a hold, 1 when FILE never opened,
// 2 on a usage error.
#include <windows.h>

namespace {

bool Exists(const wchar_t* path)
{
    return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 4)
        return 2;
    HANDLE held = INVALID_HANDLE_VALUE;
    for (int i = 0; i < 120000 && held == INVALID_HANDLE_VALUE; ++i) {
        held = CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
                           nullptr);
        if (held == INVALID_HANDLE_VALUE)
            Sleep(1);
    }
    if (held == INVALID_HANDLE_VALUE)
        return 1;
    CloseHandle(CreateFileW(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    for (int i = 0; i < 1200 && !Exists(argv[3]); ++i)
        Sleep(100);
    CloseHandle(held);
    return 0;
}
