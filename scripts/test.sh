#!/usr/bin/env bash
# Runs every test: installs what is missing, builds the native build with sanitizers and
# runs its tests, fuzzes the map file reader briefly, then the Windows build and its tests
# under Wine in Xvfb. Prints counts.
set -uo pipefail
ZOLVA_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export ZOLVA_ROOT
"$ZOLVA_ROOT/scripts/install-deps.sh" || { echo "installing packages failed"; exit 1; }
source "$ZOLVA_ROOT/scripts/build.sh"
source "$ZOLVA_ROOT/scripts/wine-env.sh"
set -e

log_dir="$ZOLVA_ROOT/build/test-logs"
mkdir -p "$log_dir"
failed=0

# Prints "passed/failed" counts of a GoogleTest log and remembers a failure.
report() {
    local name=$1 log=$2 status=$3
    local passed failed_count
    passed=$(grep -c '^\[       OK \]' "$log" || true)
    failed_count=$(grep -c '^\[  FAILED  \] .*(' "$log" || true)
    echo "$name: $passed passed, $failed_count failed (exit $status)"
    if [ "$status" -ne 0 ] || [ "$failed_count" -ne 0 ] || [ "$passed" -eq 0 ]; then
        grep -E '^\[  FAILED  \]|Failure|ERROR|Sanitizer' "$log" | head -40
        failed=1
    fi
}

echo "== native build (AddressSanitizer + UndefinedBehaviorSanitizer)"
zolva_build_native >"$log_dir/native-build.log" 2>&1 || { tail -40 "$log_dir/native-build.log"; exit 1; }
set +e
timeout 600 "$ZOLVA_ROOT/build/native/bin/zolva_native_tests" >"$log_dir/native.log" 2>&1
report "native tests" "$log_dir/native.log" $?
timeout 600 "$ZOLVA_ROOT/build/native/bin/map_store_tests" >"$log_dir/map-store.log" 2>&1
report "map store and view tests" "$log_dir/map-store.log" $?
set -e

# The icon program must still draw the committed bitmaps, so they can be remade.
icons_dir="$ZOLVA_ROOT/build/native/icons"
rm -rf "$icons_dir" && mkdir -p "$icons_dir"
if "$ZOLVA_ROOT/build/native/bin/draw_icons" "$icons_dir" >"$log_dir/draw-icons.log" 2>&1 &&
   cmp "$icons_dir/method_icons.bmp" "$ZOLVA_ROOT/res/method_icons.bmp" &&
   cmp "$icons_dir/preset_icons.bmp" "$ZOLVA_ROOT/res/preset_icons.bmp"; then
    echo "icon bitmaps: redrawn byte for byte"
else
    echo "icon bitmaps: FAILED (draw_icons no longer draws res/*.bmp)"
    failed=1
fi

echo "== fuzz (libFuzzer, clang)"
fuzz_dir="$ZOLVA_ROOT/build/fuzz"
if ! { CC=clang CXX=clang++ cmake -S "$ZOLVA_ROOT" -B "$fuzz_dir" -DCMAKE_BUILD_TYPE=Debug \
        -DZOLVA_FUZZ=ON -DZOLVA_SANITIZE=OFF >/dev/null &&
      cmake --build "$fuzz_dir" -j"$(nproc)" --target map_file_fuzz map_tools_fuzz map_file_seeds zolva-make-map; } \
        >"$log_dir/fuzz-build.log" 2>&1; then
    tail -40 "$log_dir/fuzz-build.log"
    exit 1
fi
# Seeds: a one-block map, its header alone, a save torn inside its block, a map made with
# a partial block and then saved twice, and the sample map.
seeds="$fuzz_dir/seeds"
rm -rf "$seeds" "$fuzz_dir"/corpus* && mkdir -p "$seeds" "$fuzz_dir/artifacts"
"$fuzz_dir/bin/zolva-make-map" synthetic 40 30 "$seeds/small.map" --type 10 --mat -q
head -c 72 "$seeds/small.map" >"$seeds/header.map"
head -c 1000 "$seeds/small.map" >"$seeds/torn.map"
"$fuzz_dir/bin/map_file_seeds" "$seeds"
cp "$ZOLVA_ROOT/samples/jacksboro.map" "$seeds/sample.map"
# Each target gets its own corpus and a short bounded run.
fuzz_target() {
    local name=$1 seconds=$2 short=$3
    local log="$log_dir/fuzz-$short.log"
    mkdir -p "$fuzz_dir/corpus-$short"
    set +e
    (cd "$fuzz_dir" && timeout $((seconds + 40)) "./bin/$name" -max_total_time="$seconds" -artifact_prefix=artifacts/ \
        "corpus-$short" "$seeds") >"$log" 2>&1
    local status=$?
    set -e
    local runs
    runs=$(grep -oE '^Done [0-9]+ runs' "$log" | grep -oE '[0-9]+' || true)
    if [ "$status" -ne 0 ] || [ -z "$runs" ] || grep -q 'Sanitizer' "$log"; then
        echo "fuzz $short: FAILED (exit $status)"
        grep -E 'ERROR|Sanitizer|runtime error|deadly|Test unit written' "$log" | head -20
        failed=1
    else
        echo "fuzz $short: $runs runs, no crash"
    fi
}
fuzz_target map_file_fuzz 20 map_file
# The one-pass reader against the checked one, export and compaction.
fuzz_target map_tools_fuzz 15 map_tools

echo "== Windows build (mingw-w64, 32-bit, as the host)"
zolva_build_windows >"$log_dir/windows-build.log" 2>&1 || { tail -40 "$log_dir/windows-build.log"; exit 1; }
win_bin="$ZOLVA_ROOT/build/win/bin"
if ! "$ZOLVA_ROOT/tests/windows/module_tables.sh" "$win_bin/Zolva.qpl"; then
    echo "module tables: FAILED"
    failed=1
fi
zolva_wine_setup
zolva_wine_start
set +e
(cd "$win_bin" && timeout $((600 * ZOLVA_WINE_SLOWDOWN)) xvfb-run -a wine zolva_windows_tests.exe) \
    >"$log_dir/windows.log" 2>&1
report "Windows tests (Wine)" "$log_dir/windows.log" $?
(cd "$win_bin" && timeout $((120 * ZOLVA_WINE_SLOWDOWN)) wine zolva_abi_tests.exe) >"$log_dir/abi.log" 2>&1
report "ABI check against the host compiler's mode (Wine)" "$log_dir/abi.log" $?
"$ZOLVA_ROOT/tests/windows/map_lock_test.sh" "$ZOLVA_ROOT/build/native/bin" "$win_bin" \
    "$ZOLVA_ROOT/samples/jacksboro.map" >"$log_dir/map-lock.log" 2>&1
lock_status=$?
tail -1 "$log_dir/map-lock.log"
[ "$lock_status" -eq 0 ] || { echo "map lock: FAILED (exit $lock_status)"; failed=1; }
set -e

echo "== the download, unpacked into a fresh folder"
set +e
"$ZOLVA_ROOT/scripts/package.sh" --no-build >"$log_dir/package.log" 2>&1 &&
    "$ZOLVA_ROOT/tests/windows/package_test.sh" "$ZOLVA_ROOT/dist" >>"$log_dir/package.log" 2>&1
package_status=$?
set -e
zolva_wine_stop
if [ "$package_status" -eq 0 ]; then
    tail -1 "$log_dir/package.log"
else
    echo "package: FAILED (exit $package_status)"
    tail -20 "$log_dir/package.log"
    failed=1
fi

if [ "$failed" -ne 0 ]; then
    echo "SOME TESTS FAILED (logs in $log_dir)"
    exit 1
fi
echo "ALL TESTS PASSED"
