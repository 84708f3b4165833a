#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the Debian package from a configured build tree, unpacks it into a
# temporary folder and checks what it installs: the program lists the sample
# image exactly as the golden listings say, the manual page renders without
# warnings and names the package's version, and the Debian files are there.
# The package's architecture must be that of the program in it.
# usage: package_test.sh BUILD_DIR SOURCE_DIR [EMULATOR...]
#   (CPACK names cpack, if not on PATH; EMULATOR runs a cross-built program)
set -euo pipefail
build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
shift 2
emulator=("$@")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if ! (cd "$build" && "${CPACK:-cpack}" -G DEB -B "$work/pkg") >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log"
  exit 1
fi
debs=("$work"/pkg/*.deb)
[ ${#debs[@]} -eq 1 ] || { echo "expected one package, got: ${debs[*]}"; exit 1; }
deb=${debs[0]}

[ "$(dpkg-deb --field "$deb" Package)" = tamrik ] || { echo "wrong package name"; exit 1; }
[ "$(dpkg-deb --field "$deb" Section)" = utils ] || { echo "section is not utils"; exit 1; }
[ -n "$(dpkg-deb --field "$deb" Maintainer)" ] || { echo "no maintainer"; exit 1; }
# The target's own C library, not a cross toolchain's or a multilib one.
depends=$(dpkg-deb --field "$deb" Depends)
case "$depends" in
  *-cross* | *:* | *lib32* | *lib64* | *libc6-i386* | *libc6-amd64*)
    echo "Depends names a package of the build machine: '$depends'"; exit 1 ;;
  *libc6*) ;;
  *) echo "Depends does not name libc6: '$depends'"; exit 1 ;;
esac
version=$(dpkg-deb --field "$deb" Version)

dpkg-deb -x "$deb" "$work/root"
program=$work/root/usr/bin/tamrik
page=$work/root/usr/share/man/man1/tamrik.1.gz
doc=$work/root/usr/share/doc/tamrik
[ -x "$program" ] || { echo "no usr/bin/tamrik in the package"; exit 1; }
[ -f "$page" ] || { echo "no usr/share/man/man1/tamrik.1.gz in the package"; exit 1; }
[ -f "$doc/copyright" ] || { echo "no usr/share/doc/tamrik/copyright in the package"; exit 1; }
gzip -t "$doc/changelog.gz" || { echo "no readable usr/share/doc/tamrik/changelog.gz"; exit 1; }
zcat "$page" | grep -q "^\.TH TAMRIK 1 .* \"Tamrik $version\"" ||
  { echo "the manual page's .TH line does not name version $version"; exit 1; }

# Debian's name for the machine in the program's ELF header: class, byte
# order and e_machine in that order.
elf_byte() { od -An -t u1 -j "$1" -N 1 "$program" | tr -d ' '; }
if [ "$(elf_byte 5)" = 1 ]; then
  machine=$(($(elf_byte 19) * 256 + $(elf_byte 18)))
else
  machine=$(($(elf_byte 18) * 256 + $(elf_byte 19)))
fi
case "$(elf_byte 4)-$(elf_byte 5)-$machine" in
  2-1-62) want=amd64 ;;
  1-1-3) want=i386 ;;
  2-2-22) want=s390x ;;
  2-1-183) want=arm64 ;;
  1-1-40) want=armhf ;;
  2-1-21) want=ppc64el ;;
  2-1-243) want=riscv64 ;;
  *) want= ;;
esac
arch=$(dpkg-deb --field "$deb" Architecture)
# 32-bit ARM may be either of Debian's two.
if [ -n "$want" ] && [ "$arch" != "$want" ] && ! [ "$want-$arch" = armhf-armel ]; then
  echo "the package's architecture is $arch, its program is for $want"
  exit 1
fi

"${emulator[@]}" "$program" "$source/samples/sample.lif" | diff - "$source/tests/golden/sample.txt"
"${emulator[@]}" "$program" -s -b "$source/samples/sample.lif" |
  diff - "$source/tests/golden/sample_sorted_bytes.txt"

if command -v man >/dev/null; then
  warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >"$work/page.txt")
else
  warnings=$(zcat "$page" | groff -man -ww -Tutf8 2>&1 >"$work/page.txt")
fi
[ -z "$warnings" ] || { echo "manual page warnings: $warnings"; exit 1; }
for section in NAME SYNOPSIS DESCRIPTION OPTIONS OUTPUT "MACHINE TAGS" "EXIT STATUS" EXAMPLES; do
  grep -q "^$section" "$work/page.txt" || { echo "manual page lacks $section"; exit 1; }
done
echo "package: $(basename "$deb") installs a working tamrik and its manual page"
