# Third-party libraries. Each is taken from the toolchain's own search paths
# when it is there; the Windows build on Debian compiles minizip from the
# unpacked source package (scripts/setup.sh) and uses the stb header from the
# host, which is platform-neutral.

find_package(Threads REQUIRED)

# zlib: prefer the static archive so the executable stands alone.
if(WIN32)
  find_library(PW_ZLIB_LIBRARY NAMES libz.a z zlib REQUIRED)
  find_path(PW_ZLIB_INCLUDE_DIR zlib.h REQUIRED)
  add_library(pw_zlib INTERFACE)
  target_link_libraries(pw_zlib INTERFACE ${PW_ZLIB_LIBRARY})
  target_include_directories(pw_zlib INTERFACE ${PW_ZLIB_INCLUDE_DIR})
else()
  find_package(ZLIB REQUIRED)
  add_library(pw_zlib INTERFACE)
  target_link_libraries(pw_zlib INTERFACE ZLIB::ZLIB)
endif()

# minizip: an installed library first, else the unpacked sources.
set(PW_MINIZIP_SOURCE_DIR "${CMAKE_SOURCE_DIR}/build/deps/minizip/src"
    CACHE PATH "Unpacked minizip sources, used when no installed minizip is found")
find_path(PW_MINIZIP_INCLUDE_DIR unzip.h PATH_SUFFIXES minizip)
find_library(PW_MINIZIP_LIBRARY minizip)
add_library(pw_minizip INTERFACE)
if(PW_MINIZIP_INCLUDE_DIR AND PW_MINIZIP_LIBRARY)
  target_include_directories(pw_minizip INTERFACE ${PW_MINIZIP_INCLUDE_DIR})
  target_link_libraries(pw_minizip INTERFACE ${PW_MINIZIP_LIBRARY} pw_zlib)
  message(STATUS "minizip: ${PW_MINIZIP_LIBRARY}")
elseif(EXISTS "${PW_MINIZIP_SOURCE_DIR}/unzip.c")
  add_library(pw_minizip_src STATIC
    ${PW_MINIZIP_SOURCE_DIR}/unzip.c
    ${PW_MINIZIP_SOURCE_DIR}/zip.c
    ${PW_MINIZIP_SOURCE_DIR}/ioapi.c)
  target_include_directories(pw_minizip_src PUBLIC ${PW_MINIZIP_SOURCE_DIR})
  target_compile_definitions(pw_minizip_src PRIVATE NOCRYPT NOUNCRYPT)
  target_compile_options(pw_minizip_src PRIVATE -w)
  if(PW_RELEASE)
    # Plain C that no exception passes through: the shipped file carries no
    # unwind tables for it (about 2 KB).
    target_compile_options(pw_minizip_src PRIVATE -fno-asynchronous-unwind-tables)
  endif()
  target_link_libraries(pw_minizip_src PUBLIC pw_zlib)
  target_link_libraries(pw_minizip INTERFACE pw_minizip_src)
  message(STATUS "minizip: compiled from ${PW_MINIZIP_SOURCE_DIR}")
else()
  message(FATAL_ERROR "minizip not found: install it or run scripts/setup.sh")
endif()

# stb_image: header only.
find_path(PW_STB_INCLUDE_DIR stb_image.h PATH_SUFFIXES stb
          PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
add_library(pw_stb INTERFACE)
target_include_directories(pw_stb INTERFACE ${PW_STB_INCLUDE_DIR})

# log4cpp: used by the log facility wherever it is found.
find_path(PW_LOG4CPP_INCLUDE_DIR log4cpp/Category.hh)
find_library(PW_LOG4CPP_LIBRARY log4cpp)
if(PW_LOG4CPP_INCLUDE_DIR AND PW_LOG4CPP_LIBRARY)
  set(PW_HAVE_LOG4CPP ON)
  add_library(pw_log4cpp INTERFACE)
  target_include_directories(pw_log4cpp INTERFACE ${PW_LOG4CPP_INCLUDE_DIR})
  target_link_libraries(pw_log4cpp INTERFACE ${PW_LOG4CPP_LIBRARY} Threads::Threads)
  message(STATUS "log4cpp: ${PW_LOG4CPP_LIBRARY}")
else()
  set(PW_HAVE_LOG4CPP OFF)
  message(STATUS "log4cpp: not found, the built-in rolling appender is used")
endif()

# GoogleTest from the system's source copy, built for whichever target this is.
if(PW_BUILD_TESTS)
  set(PW_GOOGLETEST_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  add_subdirectory(${PW_GOOGLETEST_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()
