# Cross build for 32-bit Windows (i686) with Debian's mingw-w64 compilers (posix thread
# model). Everything is linked statically: the programs and plug-ins need no DLL beyond
# those of the system. Libraries built for Windows by scripts/win32-deps.sh are found
# under LUMIVEIL_WIN32_PREFIX (default: build-win32/deps/prefix in the source tree).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(LUMIVEIL_MINGW i686-w64-mingw32)
set(CMAKE_C_COMPILER ${LUMIVEIL_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${LUMIVEIL_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${LUMIVEIL_MINGW}-windres)

if(NOT LUMIVEIL_WIN32_PREFIX)
  get_filename_component(LUMIVEIL_WIN32_PREFIX "${CMAKE_CURRENT_LIST_DIR}/../build-win32/deps/prefix" ABSOLUTE)
endif()
set(LUMIVEIL_WIN32_PREFIX "${LUMIVEIL_WIN32_PREFIX}" CACHE PATH "Windows builds of the libraries")

# The prefix first, so that its static zlib wins over the DLL's import library.
set(CMAKE_FIND_ROOT_PATH ${LUMIVEIL_WIN32_PREFIX} /usr/${LUMIVEIL_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(ZLIB_USE_STATIC_LIBS ON)

# Doubles in SSE2 registers as on x86-64, not in the x87 unit with its wider intermediate
# results: every platform must compute the same bytes. long double stays the x87
# 80-bit type, as on x86-64 Linux.
# The C library's formatting is mingw-w64's C99 one (%zu, %lld, long double).
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse -D__USE_MINGW_ANSI_STDIO=1")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse -D__USE_MINGW_ANSI_STDIO=1")

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Programs built for Windows run under Wine on this machine (for the test discovery).
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
