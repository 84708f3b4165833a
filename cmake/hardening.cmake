# SPDX-License-Identifier: MIT
# The hardening that Debian's dpkg-buildflags gives a package: fortified
# library calls, a stack protector, read-only relocations bound at start and
# a position-independent executable. For optimised builds with GCC or Clang
# on ELF systems only: fortify needs optimisation, the sanitizer and fuzz
# builds bring their own instrumentation, mingw-w64 would need libssp, and
# WebAssembly has neither a stack protector nor ELF's relocations.
option(TAMRIK_HARDENING "Harden optimised GCC and Clang builds as Debian does" ON)

if(TAMRIK_HARDENING AND CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang" AND NOT WIN32 AND NOT APPLE
   AND NOT EMSCRIPTEN AND NOT TAMRIK_SANITIZE AND NOT TAMRIK_FUZZ)
  set(tamrik_optimised $<OR:$<CONFIG:Release>,$<CONFIG:RelWithDebInfo>,$<CONFIG:MinSizeRel>>)
  # Some compilers define _FORTIFY_SOURCE themselves; one value, not two.
  add_compile_options("$<${tamrik_optimised}:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=2>"
                      "$<${tamrik_optimised}:-fstack-protector-strong>")
  add_link_options("$<${tamrik_optimised}:-Wl,-z,relro;-Wl,-z,now>")
  include(CheckPIESupported)
  check_pie_supported()
  set(CMAKE_POSITION_INDEPENDENT_CODE ON)
endif()
