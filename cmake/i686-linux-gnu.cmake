# SPDX-License-Identifier: MIT
# Cross-build for 32-bit x86 Linux with Debian's cross compiler (package
# g++-i686-linux-gnu):
#   cmake -S . -B build-i686 -DCMAKE_TOOLCHAIN_FILE=cmake/i686-linux-gnu.cmake
# An x86_64 kernel runs the programs natively: the cross C library's own
# loader starts them, so that no i386 libraries need be installed.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TAMRIK_CROSS_PREFIX i686-linux-gnu)
include(${CMAKE_CURRENT_LIST_DIR}/linux-gnu-cross.cmake)
