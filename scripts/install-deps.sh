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

# qemu 7.2 (bookworm's own) spends about a minute of CPU in every Wine start, in a few
# tight loops of its own (Wine reserves most of the 32-bit address space); qemu 10, from
# bookworm's backports, starts the same program in a third of a second.
qemu_i386=/usr/bin/qemu-i386
install_i386_emulator() {
  if ! grep -rqs 'bookworm-backports' /etc/apt/sources.list /etc/apt/sources.list.d; then
    printf '%s\n' 'Types: deb' 'URIs: http://deb.debian.org/debian' 'Suites: bookworm-backports' \
      'Components: main' 'Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg' |
      "${sudo_cmd[@]}" tee /etc/apt/sources.list.d/zolva-bookworm-backports.sources >/dev/null
  fi
  "${sudo_cmd[@]}" apt-get update -qq || echo "apt-get update: some lists did not load; going on with those that did"
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends -t bookworm-backports qemu-user >/dev/null
}
emulator_is_new() {
  [ -x "$qemu_i386" ] && "$qemu_i386" --version 2>/dev/null | grep -Eq 'version ([1-9][0-9]|9\.[1-9])'
}

register_i386_emulator() {
  local misc=/proc/sys/fs/binfmt_misc
  [ -f "$misc/register" ] || "${sudo_cmd[@]}" mount -t binfmt_misc binfmt_misc "$misc"
  local magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00'
  local mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
  local kind
  for kind in 02 03; do  # executables and position-independent ones
    local entry="$misc/zolva-i386-$kind"
    # An entry of an earlier install may name the slow emulator: it is made again.
    if [ -e "$entry" ] && ! grep -qx "interpreter $qemu_i386" "$entry"; then
      echo -1 | "${sudo_cmd[@]}" tee "$entry" >/dev/null
    fi
    [ -e "$entry" ] && continue
    echo ":zolva-i386-$kind:M::$magic\x$kind\x00\x03\x00:$mask:$qemu_i386:F" |
      "${sudo_cmd[@]}" tee "$misc/register" >/dev/null
  done
}

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ] || [ "$need_i386" -eq 1 ]; then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  [ "$need_i386" -eq 1 ] && "${sudo_cmd[@]}" dpkg --add-architecture i386
  "${sudo_cmd[@]}" apt-get update -qq || echo "apt-get update: some lists did not load; going on with those that did"
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Registered through us, i386 programs "run" even when the emulator is the slow one: it is
# checked by what the entry names, not by whether ld.so starts.
misc_entry=/proc/sys/fs/binfmt_misc/zolva-i386-03
if ! runs_i386 || { [ -e "$misc_entry" ] && ! grep -qx "interpreter $qemu_i386" "$misc_entry"; }; then
  echo "this kernel runs no 32-bit programs: registering qemu's i386 emulator for them"
  emulator_is_new || install_i386_emulator
  register_i386_emulator
  runs_i386 || { echo "32-bit programs still do not run; Wine cannot start"; exit 1; }
fi
