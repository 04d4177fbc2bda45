# Cross-build for Windows with MinGW-w64, shared by the per-target files
# (they set CMAKE_SYSTEM_PROCESSOR and KAWASE_MINGW_TRIPLET first).
#
# The -posix compiler variant is used because its libstdc++ has std::thread
# and std::mutex (the default win32 variant has neither). Everything is
# linked statically, so the programs need only KERNEL32.dll and msvcrt.dll.
# Tests run under Wine through CMAKE_CROSSCOMPILING_EMULATOR.
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

find_program(KAWASE_WINE wine)
if(KAWASE_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${KAWASE_WINE})
endif()
