# SPDX-License-Identifier: MIT
# Cross-build for 32-bit x86 Linux with Debian's cross compiler (package
# g++-i686-linux-gnu):
#   cmake -S . -B build-i686 -DCMAKE_TOOLCHAIN_FILE=cmake/i686-linux-gnu.cmake
# An x86_64 kernel runs the programs natively: the cross C library's own
# loader starts them, so that no i386 libraries need be installed.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(TAMRIK_CROSS_PREFIX i686-linux-gnu)
set(CMAKE_C_COMPILER ${TAMRIK_CROSS_PREFIX}-gcc)
set(CMAKE_CXX_COMPILER ${TAMRIK_CROSS_PREFIX}-g++)

set(CMAKE_FIND_ROOT_PATH /usr/${TAMRIK_CROSS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/i686-linux-gnu-run.sh)
