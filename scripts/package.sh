#!/usr/bin/env bash
# Builds the download for Windows users: dist/zolva-<version>-win32.zip with Zolva.qpl,
# devhost.exe and its two libraries, the sample map and tour, the readme texts and
# SHA256SUMS. The version is the module's own, from its version resource.
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

# FILEVERSION 1,0,1,1 -> 1.0.1.1
version=$(grep -m1 -E '^ *FILEVERSION' "$ZOLVA_ROOT/res/zolva.rc" | grep -oE '[0-9]+(,[0-9]+)*' | tr ',' '.')
cache_value() { grep -m1 "^$1:" "$cache" | cut -d= -f2-; }
interface=$(cache_value ZOLVA_HOST_INTERFACE_LIBRARY)
services=$(cache_value ZOLVA_HOST_SERVICES_LIBRARY)

name="zolva-$version-win32"
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
folder="$stage/$name"
mkdir -p "$folder"
cp "$bin/Zolva.qpl" "$bin/devhost.exe" "$bin/$interface" "$bin/$services" "$folder/"
cp "$ZOLVA_ROOT/samples/jacksboro.map" "$ZOLVA_ROOT/samples/tour.zscript" "$folder/"
# Texts for Windows: CRLF line ends, names filled in.
for text in README-en.txt README-ja.txt try-sample.cmd; do
    sed -e "s/@VERSION@/$version/g" -e "s/@INTERFACE@/$interface/g" -e "s/@SERVICES@/$services/g" \
        -e 's/$/\r/' "$ZOLVA_ROOT/res/package/$text" >"$folder/$text"
done
(cd "$folder" && sha256sum -- * >SHA256SUMS)

mkdir -p "$ZOLVA_ROOT/dist"
zip_path="$ZOLVA_ROOT/dist/$name.zip"
rm -f "$zip_path"
(cd "$stage" && zip -qr -X "$zip_path" "$name")
echo "package: $zip_path ($(du -k "$zip_path" | cut -f1) KiB, $(ls "$folder" | wc -l) files)"
