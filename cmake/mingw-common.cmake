# Cross-build for Windows with MinGW-w64, shared by the per-target files
# (they set CMAKE_SYSTEM_PROCESSOR and KAWASE_MINGW_TRIPLET first).
#
# The compilers are the -posix thread-model variants, for the tests' sake:
# GoogleTest's headers (gtest-port.h) use std::mutex and
# std::condition_variable on Windows, and GCC 12's libstdc++ has those only
# in the posix thread model; with the -win32 variants GoogleTest does not
# compile, and switching its thread support off breaks its Windows
# death-test code. kawase itself starts no threads and takes no locks, but
# it is built with the same compiler as its tests, so that they test the
# runtime it ships with. The price is winpthreads linked into kawase.exe
# (about 30 KB of the stripped 32-bit program). Everything is linked
# statically, so the programs need only KERNEL32.dll and msvcrt.dll. Tests
# run under Wine through CMAKE_CROSSCOMPILING_EMULATOR (see below).
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${KAWASE_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KAWASE_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${KAWASE_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KAWASE_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# The Wine loader the tests run under. A 64-bit program runs under the
# 64-bit loader itself, which works on every host, also one whose kernel
# cannot execute 32-bit code: Debian's `wine` wrapper hands every program
# to the 32-bit loader once wine32 is installed, and that loader fails with
# "Exec format error" there. A 32-bit program needs the wrapper, and a host
# that runs 32-bit code (scripts/test-windows.sh probes for that).
if(CMAKE_SYSTEM_PROCESSOR STREQUAL x86_64 AND EXISTS /usr/lib/wine/wine64)
  # Wine starts further processes through WINELOADER; keep them 64-bit too.
  set(CMAKE_CROSSCOMPILING_EMULATOR env WINELOADER=/usr/lib/wine/wine64 /usr/lib/wine/wine64)
else()
  find_program(KAWASE_WINE_WRAPPER wine)
  if(KAWASE_WINE_WRAPPER)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${KAWASE_WINE_WRAPPER})
  endif()
endif()
