#!/bin/sh
# SPDX-License-Identifier: MIT
# Runs an i686 program of a cross build (CMAKE_CROSSCOMPILING_EMULATOR; one
# command, because CMake's test discovery takes no arguments with it).
# An x86_64 kernel runs it natively through the cross C library's loader;
# a kernel built without 32-bit support needs qemu-user instead.
root=/usr/i686-linux-gnu
if "$root/lib/ld-linux.so.2" --version >/dev/null 2>&1; then
  exec "$root/lib/ld-linux.so.2" --library-path "$root/lib" "$@"
fi
exec qemu-i386-static -L "$root" "$@"
