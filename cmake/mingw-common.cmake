# Cross-build for Windows with MinGW-w64, shared by the per-target files
# (they set CMAKE_SYSTEM_PROCESSOR and KAWASE_MINGW_TRIPLET first).
#
# The -posix compiler variant is used because its libstdc++ has std::thread
# and std::mutex (the default win32 variant has neither). Everything is
# linked statically, so the programs need only KERNEL32.dll and msvcrt.dll.
# Tests run under Wine through CMAKE_CROSSCOMPILING_EMULATOR (see below).
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
