#!/usr/bin/env bash
# Runs every test: installs what is missing, builds the native build with sanitizers and
# runs its tests, then the Windows build and its tests under Wine in Xvfb. Prints counts.
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
set -e

echo "== Windows build (mingw-w64)"
zolva_build_windows >"$log_dir/windows-build.log" 2>&1 || { tail -40 "$log_dir/windows-build.log"; exit 1; }
zolva_wine_setup
set +e
(cd "$ZOLVA_ROOT/build/win/bin" && timeout 600 xvfb-run -a wine zolva_windows_tests.exe) \
    >"$log_dir/windows.log" 2>&1
report "Windows tests (Wine)" "$log_dir/windows.log" $?
zolva_wine_stop
set -e

if [ "$failed" -ne 0 ]; then
    echo "SOME TESTS FAILED (logs in $log_dir)"
    exit 1
fi
echo "ALL TESTS PASSED"
