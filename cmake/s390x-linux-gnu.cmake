# SPDX-License-Identifier: MIT
# Cross-build for 64-bit big-endian s390x Linux with Debian's cross
# compiler (package g++-s390x-linux-gnu):
#   cmake -S . -B build-s390x -DCMAKE_TOOLCHAIN_FILE=cmake/s390x-linux-gnu.cmake
# qemu-user (package qemu-user-static) runs the programs.
set(CMAKE_SYSTEM_PROCESSOR s390x)
set(TAMRIK_CROSS_PREFIX s390x-linux-gnu)
include(${CMAKE_CURRENT_LIST_DIR}/linux-gnu-cross.cmake)
