#!/usr/bin/env bash
# What a Windows user does with the download: unpack it into a fresh folder, check the
# sums, and run devhost from there with the tour on a copy of the sample map, headless.
# Nothing from the build tree is on the path. Keeps the folder and names it on failure.
#   tests/windows/package_test.sh DIST_DIR   (expects the Wine environment of wine-env.sh)
set -uo pipefail
zip_path=$(ls "$1"/zolva-*-win32.zip 2>/dev/null | head -1)
[ -n "$zip_path" ] || { echo "no zolva-*-win32.zip in $1"; exit 1; }
work=$(mktemp -d)
fail() { echo "package test: $* (folder kept: $work)"; exit 1; }

unzip -q "$zip_path" -d "$work" || fail "cannot unpack $zip_path"
folder=$(ls -d "$work"/zolva-*-win32)
cd "$folder" || fail "no top folder in the zip"
for file in Zolva.qpl devhost.exe README-ja.txt README-en.txt SHA256SUMS jacksboro.map tour.zscript; do
    [ -f "$file" ] || fail "$file is missing"
done
sha256sum --quiet -c SHA256SUMS || fail "SHA256SUMS does not match"
grep -q '地形エディタ' README-ja.txt || fail "README-ja.txt has no Japanese text"

cp jacksboro.map edit.map
mkdir shots
timeout $((300 * ${ZOLVA_WINE_SLOWDOWN:-1})) xvfb-run -a -s "-screen 0 1280x800x24" wine devhost.exe --quit --profile-dir profiles \
    --out shots --map edit.map --script tour.zscript --compare jacksboro.map >devhost.log 2>&1
status=$?
[ "$status" -eq 0 ] || { tail -20 devhost.log; fail "devhost exited with $status"; }
cmp -s edit.map jacksboro.map && fail "the tour saved nothing into edit.map"
for shot in before.png generation-dialog.png after.png; do
    [ -s "shots/$shot" ] || fail "screenshot $shot is missing"
done
summary=$(grep -m1 'blocks edited' devhost.log)
cd / && rm -rf "$work"
echo "package: $(basename "$zip_path") unpacked and toured from a fresh folder: $summary"
