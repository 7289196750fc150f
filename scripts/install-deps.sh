#!/usr/bin/env bash
# Installs the Debian packages both builds and the Wine runs need, only those missing.
set -euo pipefail

packages=(
  cmake make g++ clang libclang-rt-14-dev
  googletest libbenchmark-dev libstb-dev libnoise-dev
  libgdal-dev gdal-bin
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 lld
  wine wine32:i386 xvfb xauth x11-apps imagemagick zip unzip
  fonts-ipafont-gothic fonts-wine
)

# The host and everything that stands in for it are 32-bit: Wine needs its i386 half.
need_i386=0
dpkg --print-foreign-architectures | grep -qx i386 || need_i386=1

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && [ "$need_i386" -eq 0 ] && exit 0

echo "installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
[ "$need_i386" -eq 1 ] && "${sudo_cmd[@]}" dpkg --add-architecture i386
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
