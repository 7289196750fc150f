#!/usr/bin/env bash
# What a Windows user does with the download: unpack it into a fresh folder, check the
# sums, and run devhost from there with the tour on a copy of the sample map, headless.
# Nothing from the build tree is on the path. Before the tour: every binary read as
# Windows' loader reads it (pe_audit.py), the stripped module's tables, the texts as
# Notepad and cmd.exe read them, and an address in the module turned into its source line
# through the debug zip. Keeps the folder and names it on failure.
#   tests/windows/package_test.sh DIST_DIR   (expects the Wine environment of wine-env.sh)
set -uo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
dist=$(cd "$1" && pwd) || exit 1
zip_path=$(ls "$dist"/zolva-*-win32.zip 2>/dev/null | head -1)
[ -n "$zip_path" ] || { echo "no zolva-*-win32.zip in $1"; exit 1; }
debug_zip="${zip_path%.zip}-debug.zip"
work=$(mktemp -d)
fail() { echo "package test: $* (folder kept: $work)"; exit 1; }

unzip -q "$zip_path" -d "$work" || fail "cannot unpack $zip_path"
folder=$(ls -d "$work"/zolva-*-win32)
cd "$folder" || fail "no top folder in the zip"
for file in Zolva.qpl devhost.exe README-ja.txt README-en.txt LICENSE.txt CHANGELOG.txt SHA256SUMS \
            jacksboro.map tour.zscript try-sample.cmd; do
    [ -f "$file" ] || fail "$file is missing"
done
sha256sum --quiet -c SHA256SUMS || fail "SHA256SUMS does not match"
grep -q '地形エディタ' README-ja.txt || fail "README-ja.txt has no Japanese text"
grep -q 'Copyright (c) 2026 the Zolva developers' LICENSE.txt || fail "LICENSE.txt has no copyright line"

# Notepad on any code page: UTF-8 with a byte-order mark and CRLF everywhere. cmd.exe
# reads a mark as part of the first command, so the .cmd has CRLF and no mark.
for text in README-ja.txt README-en.txt LICENSE.txt CHANGELOG.txt tour.zscript try-sample.cmd; do
    mark=$(head -c 3 "$text" | od -An -tx1 | tr -d ' ')
    if [ "$text" = try-sample.cmd ]; then
        [ "$mark" != efbbbf ] || fail "$text starts with a byte-order mark"
    else
        [ "$mark" = efbbbf ] || fail "$text has no UTF-8 byte-order mark"
    fi
    iconv -f UTF-8 -t UTF-8 "$text" >/dev/null 2>&1 || fail "$text is not UTF-8"
    lines=$(tr -cd '\n' <"$text" | wc -c)
    crlf=$(grep -c $'\r$' "$text")
    [ "$lines" -gt 0 ] && [ "$crlf" -eq "$lines" ] && [ "$(tail -c 2 "$text" | od -An -tx1 | tr -d ' ')" = 0d0a ] ||
        fail "$text: $crlf of $lines lines end in CRLF"
done

python3 "$here/pe_audit.py" . || fail "the binaries break Windows' rules"

# A crash report's address in the module: the image base plus Init's offset. Stripped,
# the module names no line; with the debug zip unpacked over the download, it does.
dump=$(i686-w64-mingw32-objdump -p Zolva.qpl)
base=$(awk '/^ImageBase/ { print $2 }' <<<"$dump")
offset=$(awk '/^Export Address Table -- / { table = 1; next }
              /\[Ordinal\/Name Pointer\] Table/ { names = 1; next }
              /^$/ { table = names = 0 }
              table { gsub(/[][]/, " "); rva[$1] = $4 }
              names && $3 == "Init" { gsub(/[][]/, " "); print rva[$1] }' <<<"$dump")
[ -n "$base" ] && [ -n "$offset" ] || fail "no image base or Init in the module's tables"
address=$(printf '0x%x' $((0x$base + 0x$offset)))
line=$(grep -n '^extern "C" int Init(' "$here/../../module/entry.cpp" | cut -d: -f1)
stripped=$(i686-w64-mingw32-addr2line -f -e Zolva.qpl "$address" | tail -1)
[ "$stripped" = "??:0" ] || fail "the stripped module still names a line: $stripped"
unzip -q "$debug_zip" -d "$work" || fail "cannot unpack $debug_zip"
for binary in *.exe *.dll *.qpl; do
    [ -f "$binary.debug" ] || fail "the debug zip has no $binary.debug"
done
"$here/module_tables.sh" Zolva.qpl || fail "the stripped module's tables differ"
resolved=$(i686-w64-mingw32-addr2line -f -e Zolva.qpl "$address" | paste -sd' ')
[ "$resolved" = "Init module/entry.cpp:$line" ] ||
    fail "$address resolved to \"$resolved\", not \"Init module/entry.cpp:$line\""
rm -f ./*.debug

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
summary=$(grep -m1 'blocks edited' devhost.log) || fail "devhost printed no summary into its redirected output"
cd / && rm -rf "$work"
echo "package: $(basename "$zip_path") unpacked and toured from a fresh folder, its binaries as Windows reads them, $address resolved to $resolved: $summary"
