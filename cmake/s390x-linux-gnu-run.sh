#!/bin/sh
# SPDX-License-Identifier: MIT
# Runs an s390x program of a cross build under qemu-user, with the cross C
# library as the root of its shared libraries (CMAKE_CROSSCOMPILING_EMULATOR;
# one command, because CMake's test discovery takes no arguments with it).
exec qemu-s390x-static -L /usr/s390x-linux-gnu "$@"
