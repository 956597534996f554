# Cross toolchain for the 32-bit Windows build: MinGW-w64 for i686 with posix
# threads. The runtime (libgcc, libstdc++, winpthread) is linked statically so
# the executables need no MinGW DLL beside them. Programs built here run under
# Wine, which is also the emulator for tests.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(PW_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_C_COMPILER   ${PW_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PW_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${PW_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${PW_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

find_program(PW_WINE_PROGRAM wine)
set(CMAKE_CROSSCOMPILING_EMULATOR ${PW_WINE_PROGRAM})
