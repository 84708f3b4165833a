# SPDX-License-Identifier: MIT
# Cross-build for 64-bit Windows with Debian's mingw-w64 compilers
# (package g++-mingw-w64-x86-64-posix):
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
# The programs are linked statically, so tamrik.exe runs without the
# compiler's DLLs beside it. Where wine64 is installed it becomes the
# emulator through which ctest runs the test programs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TAMRIK_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TAMRIK_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TAMRIK_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TAMRIK_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TAMRIK_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

find_program(TAMRIK_WINE NAMES wine64 wine PATHS /usr/lib/wine /usr/lib64/wine NO_CMAKE_FIND_ROOT_PATH)
if(TAMRIK_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TAMRIK_WINE})
endif()
