#!/usr/bin/env bash
# Installs what building and testing need on Debian 12 (run as root); quiet when all is there.
set -euo pipefail

packages=(cmake make g++ googletest g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix wine wine32:i386 wine64
          xvfb xauth fonts-wine fonts-wqy-microhei iproute2 binutils-mingw-w64-i686 python3
          clang libclang-rt-14-dev
          qt6-base-dev nlohmann-json3-dev dnsmasq-base ieee-data dpkg-dev libcap2-bin desktop-file-utils imagemagick xdotool util-linux)
missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
