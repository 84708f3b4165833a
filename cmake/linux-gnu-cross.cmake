# SPDX-License-Identifier: MIT
# What the Linux cross toolchain files share: Debian's cross compiler for
# TAMRIK_CROSS_PREFIX, the cross C library as the only root for libraries
# and headers, and the script beside the toolchain file that runs the
# target's programs.
set(CMAKE_SYSTEM_NAME Linux)

set(CMAKE_C_COMPILER ${TAMRIK_CROSS_PREFIX}-gcc)
set(CMAKE_CXX_COMPILER ${TAMRIK_CROSS_PREFIX}-g++)

set(CMAKE_FIND_ROOT_PATH /usr/${TAMRIK_CROSS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/${TAMRIK_CROSS_PREFIX}-run.sh)
