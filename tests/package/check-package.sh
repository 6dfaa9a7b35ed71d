#!/usr/bin/env bash
# check-package.sh BUILD SOURCE CMAKE CPACK: has cpack write the .deb into a temporary folder (cpack
# brings the build up to date first), installs the build into a temporary prefix, and checks what both
# hold: the program, its ARP helper, the menu entry, the icons, the control fields and the postinst
# that grants cap_net_raw to the helper and to nothing else.
set -euo pipefail
build=$1 source=$2 cmake=$3 cpack=$4
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

check_tree() {  # check_tree <prefix>: the program, its helper, its menu entry and its icons, and nothing else
  local prefix=$1 desktop=$1/share/applications/quarvo.desktop helper=$1/lib/quarvo/quarvo-arp
  local expected=(bin/quarvo lib/quarvo/quarvo-arp share/applications/quarvo.desktop
                  share/icons/hicolor/{32x32,64x64,128x128}/apps/quarvo.png
                  share/man/man1/quarvo.1.gz share/bash-completion/completions/quarvo)
  diff <(printf '%s\n' "${expected[@]}" | sort) <(cd "$prefix" && find . -type f | sed 's|^\./||' | sort) ||
    fail "$prefix holds other files than expected"
  [ -x "$prefix/bin/quarvo" ] && [ "$(head -c 4 "$prefix/bin/quarvo" | tail -c 3)" = ELF ] ||
    fail "$prefix/bin/quarvo is not an executable program"
  # The helper gets the capability: it links the C library and nothing else (no toolkit, no C++).
  [ -x "$helper" ] && [ "$(readelf -d "$helper" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')" = libc.so.6 ] ||
    fail "$helper is not a program of the C library alone: $(readelf -d "$helper" | grep NEEDED)"
  if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$desktop" || fail "$desktop is not a valid desktop entry"
  fi
  # The manual page renders without a warning; the completion is a script bash reads.
  local warnings
  if command -v man >/dev/null; then
    warnings=$(MANWIDTH=80 man --warnings -l "$prefix/share/man/man1/quarvo.1.gz" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "man page warnings: $warnings"
  fi
  bash -n "$prefix/share/bash-completion/completions/quarvo" || fail "the completion is no bash script"
  for line in '[Desktop Entry]' Type=Application Name=Quarvo 'Name[zh_CN]=Quarvo地址扫描+唤醒' Exec=quarvo \
              Icon=quarvo 'Categories=Network;'; do
    grep -qxF "$line" "$desktop" || fail "$desktop has no line $line"
  done
  python3 - "$prefix/share/icons/hicolor" <<'PY' || fail "icons under $prefix"
import struct, sys, zlib

def rgba(path, size):
    data = open(path, "rb").read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", path + ": no PNG signature"
    pos, chunks = 8, {}
    while pos < len(data):
        length, kind = struct.unpack_from(">I4s", data, pos)
        body = data[pos + 8:pos + 8 + length]
        assert zlib.crc32(kind + body) == struct.unpack_from(">I", data, pos + 8 + length)[0], path + ": bad CRC"
        chunks[kind] = chunks.get(kind, b"") + body
        pos += 12 + length
    assert struct.unpack(">IIBB", chunks[b"IHDR"][:10]) == (size, size, 8, 6), path + ": not %d x %d RGBA" % (size, size)
    raw = zlib.decompress(chunks[b"IDAT"])
    rows = [raw[y * (4 * size + 1):(y + 1) * (4 * size + 1)] for y in range(size)]
    assert all(row[0] == 0 for row in rows), path + ": rows with a filter this check does not undo"
    return lambda x, y: tuple(rows[y][1 + 4 * x:5 + 4 * x])

root = sys.argv[1]
small = rgba(root + "/32x32/apps/quarvo.png", 32)
# Landmarks of the drawing in tools/make_icon.py: transparent cut corners, the tile, the green wake
# arrow's tip at the top, a monitor's blue screen at the bottom. A flipped image, swapped red and blue
# or an inverted mask fails here.
for (x, y), pixel in {(0, 0): (0, 0, 0, 0), (31, 31): (0, 0, 0, 0), (2, 2): (24, 52, 110, 255),
                      (16, 5): (40, 200, 90, 255), (7, 23): (70, 170, 230, 255)}.items():
    assert small(x, y)[3] == 0 if pixel[3] == 0 else small(x, y) == pixel, "32x32 (%d, %d) is %s" % (x, y, small(x, y))
for size in (64, 128):
    big, k = rgba(root + "/%dx%d/apps/quarvo.png" % (size, size), size), size // 32
    assert all(big(x, y) == small(x // k, y // k) for y in range(size) for x in range(size)), \
        "%dx%d is not the 32x32 image enlarged" % (size, size)
PY
}

# The .deb.
"$cpack" -G DEB -B "$tmp/deb" --config "$build/CPackConfig.cmake" >"$tmp/cpack.log" 2>&1 || { cat "$tmp/cpack.log"; exit 1; }
debs=("$tmp"/deb/*.deb)
[ ${#debs[@]} -eq 1 ] || { echo "FAIL: cpack wrote ${#debs[@]} packages" >&2; exit 1; }
deb=${debs[0]}
version=$(sed -nE 's/.*"FileVersion", "([0-9]+\.[0-9]+\.[0-9]+)\.[0-9]+".*/\1/p' "$source/res/Quarvo.rc")
arch=$(dpkg --print-architecture)
[ "$(basename "$deb")" = "quarvo_${version}_$arch.deb" ] || fail "package file $(basename "$deb")"
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = quarvo ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version), not $version"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture: $(field Architecture)"
[ "$(field Section)" = net ] || fail "Section: $(field Section)"
[[ "$(field Maintainer)" =~ ^[^\<]+\ \<[^@\>]+@[^\>]+\>$ ]] || fail "Maintainer: $(field Maintainer)"
[ "$(field Description | wc -l)" -gt 1 ] || fail "Description has no long text"
# setcap for postinst, and every library the program needs, from dpkg-shlibdeps.
depends=$(field Depends | tr ',' '\n' | sed -E 's/^ *([^ ]+).*/\1/')
needed=(libcap2-bin libc6 libstdc++6)
readelf -d "$build/quarvo" | grep -q 'libQt6Widgets' && needed+=(libqt6widgets6)
for package in "${needed[@]}"; do
  grep -qxF "$package" <<<"$depends" || fail "Depends: $(field Depends) lacks $package"
done
grep -qxF ieee-data <<<"$(field Recommends)" || fail "Recommends: $(field Recommends) lacks ieee-data"
# lintian, where it is installed, finds nothing wrong with the manual page.
if command -v lintian >/dev/null; then
  manpage=$(lintian --no-cfg --tags-from-file <(lintian-explain-tags --list-tags 2>/dev/null | grep -Ei 'manual|whatis|groff|completion') \
    "$deb" 2>/dev/null || true)
  [ -z "$manpage" ] || fail "lintian on the manual page: $manpage"
fi
dpkg -x "$deb" "$tmp/root"
check_tree "$tmp/root/usr"

# cmake --install into a prefix of one's own.
"$cmake" --install "$build" --prefix "$tmp/prefix" >/dev/null
check_tree "$tmp/prefix"

# postinst grants cap_net_raw to the helper; when setcap fails, it says how to grant it later and the
# install goes on.
helper=/usr/lib/quarvo/quarvo-arp
dpkg-deb -e "$deb" "$tmp/control"
postinst=$tmp/control/postinst
[ -x "$postinst" ] || fail "no executable postinst"
grep -qF "setcap cap_net_raw+ep $helper" "$postinst" || fail "postinst has no setcap line for $helper"
mkdir "$tmp/bin"
printf '#!/bin/sh\necho "$@" >>"%s/setcap.args"\nexit "${SETCAP_STATUS:-0}"\n' "$tmp" >"$tmp/bin/setcap"
chmod +x "$tmp/bin/setcap"
PATH=$tmp/bin:$PATH sh "$postinst" configure 2>"$tmp/postinst.err" || fail "postinst failed"
[ "$(cat "$tmp/setcap.args")" = "cap_net_raw+ep $helper" ] || fail "postinst ran setcap $(cat "$tmp/setcap.args")"
[ ! -s "$tmp/postinst.err" ] || fail "postinst complained: $(cat "$tmp/postinst.err")"
SETCAP_STATUS=1 PATH=$tmp/bin:$PATH sh "$postinst" configure 2>"$tmp/postinst.err" ||
  fail "postinst fails the install when setcap fails"
grep -qF "setcap cap_net_raw+ep $helper" "$tmp/postinst.err" || fail "postinst's message on failure lacks the command"
# Every setcap the postinst runs, applied by the real setcap to the unpacked package (where the file
# system keeps capabilities): exactly one file of the package then holds a capability, the helper,
# and it holds cap_net_raw and nothing more. The program, which loads Qt's plugins, holds none.
if setcap cap_net_raw+ep "$tmp/root$helper" 2>/dev/null && setcap -r "$tmp/root$helper"; then
  while read -r caps file; do setcap "$caps" "$tmp/root$file" || fail "setcap $caps $file"; done <"$tmp/setcap.args"
  capable=$(cd "$tmp/root" && getcap -r . 2>/dev/null | sed 's|^\./|/|')
  [ "$capable" = "$helper cap_net_raw=ep" ] || fail "files with capabilities after postinst: ${capable:-none}"
else
  echo "this file system keeps no file capabilities: the capability check is skipped"
fi

[ "$failures" -eq 0 ] && echo "package and install: all checks passed"
exit "$failures"
