#!/usr/bin/env bash
# Installs the Debian packages both builds and the Wine runs need, only those missing.
set -euo pipefail

packages=(
  cmake make g++ clang libclang-rt-14-dev
  googletest libbenchmark-dev libstb-dev libnoise-dev
  libgdal-dev gdal-bin
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 lld
  wine wine32:i386 xvfb xauth x11-apps imagemagick zip unzip python3
  fonts-ipafont-gothic fonts-wine
)

# The host and everything that stands in for it are 32-bit: Wine needs its i386 half.
need_i386=0
dpkg --print-foreign-architectures | grep -qx i386 || need_i386=1

# Kernels started with 32-bit emulation off refuse every i386 program, Wine's own
# included ("Exec format error"). There the i386 programs run through qemu's user-mode
# emulator, registered with binfmt_misc for 32-bit x86 executables.
runs_i386() { [ -x /lib/ld-linux.so.2 ] && /lib/ld-linux.so.2 --version >/dev/null 2>&1; }

sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)

register_i386_emulator() {
  local misc=/proc/sys/fs/binfmt_misc
  [ -f "$misc/register" ] || "${sudo_cmd[@]}" mount -t binfmt_misc binfmt_misc "$misc"
  local magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00'
  local mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
  local kind
  for kind in 02 03; do  # executables and position-independent ones
    [ -e "$misc/zolva-i386-$kind" ] && continue
    echo ":zolva-i386-$kind:M::$magic\x$kind\x00\x03\x00:$mask:/usr/bin/qemu-i386-static:F" |
      "${sudo_cmd[@]}" tee "$misc/register" >/dev/null
  done
}

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ! runs_i386 && ! dpkg-query -W -f='${Status}' qemu-user-static 2>/dev/null | grep -q 'install ok installed'; then
  missing+=(qemu-user-static)
fi

if [ ${#missing[@]} -gt 0 ] || [ "$need_i386" -eq 1 ]; then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  [ "$need_i386" -eq 1 ] && "${sudo_cmd[@]}" dpkg --add-architecture i386
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

if ! runs_i386; then
  echo "this kernel runs no 32-bit programs: registering qemu's i386 emulator for them"
  register_i386_emulator
  runs_i386 || { echo "32-bit programs still do not run; Wine cannot start"; exit 1; }
fi
