# SPDX-License-Identifier: MIT
# Cross-build for 64-bit big-endian s390x Linux with Debian's cross
# compiler (package g++-s390x-linux-gnu):
#   cmake -S . -B build-s390x -DCMAKE_TOOLCHAIN_FILE=cmake/s390x-linux-gnu.cmake
# qemu-user (package qemu-user-static) runs the programs.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR s390x)

set(TAMRIK_CROSS_PREFIX s390x-linux-gnu)
set(CMAKE_C_COMPILER ${TAMRIK_CROSS_PREFIX}-gcc)
set(CMAKE_CXX_COMPILER ${TAMRIK_CROSS_PREFIX}-g++)

set(CMAKE_FIND_ROOT_PATH /usr/${TAMRIK_CROSS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/s390x-linux-gnu-run.sh)
