#!/usr/bin/env bash
# Builds the download for Windows users, dist/zolva-<version>-win32.zip: Zolva.qpl,
# devhost.exe and its two libraries, stripped; the sample map and tour; the readme texts,
# licence and changelog; try-sample.cmd and SHA256SUMS. Beside it go the binaries' debug
# information, dist/zolva-<version>-win32-debug.zip (unpacked over the download, it puts
# each binary's .debug file beside it, where the binary's debug link sends addr2line), and the
# sources, dist/zolva-<version>-src.zip. The version is the module's own, from its
# version resource.
#   ./scripts/package.sh [--no-build]   (--no-build packages the existing build/win)
set -euo pipefail
ZOLVA_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export ZOLVA_ROOT

if [ "${1:-}" != "--no-build" ]; then
    "$ZOLVA_ROOT/scripts/install-deps.sh"
    source "$ZOLVA_ROOT/scripts/build.sh"
    zolva_build_windows >/dev/null
fi

bin="$ZOLVA_ROOT/build/win/bin"
cache="$ZOLVA_ROOT/build/win/CMakeCache.txt"
[ -f "$bin/Zolva.qpl" ] && [ -f "$cache" ] || { echo "no Windows build in build/win"; exit 1; }
objcopy=i686-w64-mingw32-objcopy

# FILEVERSION 1,0,1,1 -> 1.0.1.1
version=$(grep -m1 -E '^ *FILEVERSION' "$ZOLVA_ROOT/res/zolva.rc" | grep -oE '[0-9]+(,[0-9]+)*' | tr ',' '.')
cache_value() { grep -m1 "^$1:" "$cache" | cut -d= -f2-; }
interface=$(cache_value ZOLVA_HOST_INTERFACE_LIBRARY)
services=$(cache_value ZOLVA_HOST_SERVICES_LIBRARY)

name="zolva-$version-win32"
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
folder="$stage/$name"
# The debug zip unpacks into the same folder as the download: each .debug file beside its binary.
debug="$stage/debug/$name"
mkdir -p "$folder" "$debug"

# Each binary ships stripped and linked to its debug file, which keeps the rest.
for binary in Zolva.qpl devhost.exe "$interface" "$services"; do
    "$objcopy" --only-keep-debug "$bin/$binary" "$debug/$binary.debug"
    (cd "$debug" && "$objcopy" --strip-all --add-gnu-debuglink="$binary.debug" "$bin/$binary" "$folder/$binary")
done
cp "$ZOLVA_ROOT/samples/jacksboro.map" "$folder/"

# Texts for Windows: UTF-8 with a byte-order mark and CRLF line ends, so that Notepad
# shows them on any code page; names filled in. try-sample.cmd gets CRLF but no mark,
# which cmd.exe would take for part of its first command.
windows_text() {
    local source=$1 target=$2 mark=$3
    { [ "$mark" = bom ] && printf '\xEF\xBB\xBF'
      sed -e "s/@VERSION@/$version/g" -e "s/@INTERFACE@/$interface/g" -e "s/@SERVICES@/$services/g" \
          -e 's/$/\r/' "$source"; } >"$target"
}
for text in README-en.txt README-ja.txt; do
    windows_text "$ZOLVA_ROOT/res/package/$text" "$folder/$text" bom
done
windows_text "$ZOLVA_ROOT/LICENSE" "$folder/LICENSE.txt" bom
windows_text "$ZOLVA_ROOT/CHANGELOG.md" "$folder/CHANGELOG.txt" bom
windows_text "$ZOLVA_ROOT/samples/tour.zscript" "$folder/tour.zscript" bom
windows_text "$ZOLVA_ROOT/res/package/try-sample.cmd" "$folder/try-sample.cmd" none
(cd "$folder" && sha256sum -- * >SHA256SUMS)

mkdir -p "$ZOLVA_ROOT/dist"
zip_path="$ZOLVA_ROOT/dist/$name.zip"
debug_zip="$ZOLVA_ROOT/dist/$name-debug.zip"
rm -f "$zip_path" "$debug_zip"
(cd "$stage" && zip -qr -X "$zip_path" "$name")
(cd "$stage/debug" && zip -qr -X "$debug_zip" "$name")
echo "package: $zip_path ($(du -k "$zip_path" | cut -f1) KiB, $(ls "$folder" | wc -l) files)"
echo "debug information: $debug_zip ($(du -k "$debug_zip" | cut -f1) KiB)"

# The sources: the checked-out tree as it is, uncommitted changes to tracked files included.
src_zip="$ZOLVA_ROOT/dist/zolva-$version-src.zip"
if tree=$(git -C "$ZOLVA_ROOT" stash create 2>/dev/null); then
    rm -f "$src_zip"
    git -C "$ZOLVA_ROOT" archive --format=zip --prefix="zolva-$version-src/" -o "$src_zip" "${tree:-HEAD}"
    echo "sources: $src_zip ($(du -k "$src_zip" | cut -f1) KiB)"
else
    echo "sources: not a git checkout, no $(basename "$src_zip")"
fi
