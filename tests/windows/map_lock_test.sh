#!/usr/bin/env bash
# Two programs writing one map, one native and one under Wine: each sees the other's write
# lock (Wine takes LockFileEx as POSIX record locks, the kind the native store takes), so
# the second writer waits briefly, fails with a clear message and changes nothing. Once
# the lock is gone, writing works again. Keeps its folder and names it on failure.
#   tests/windows/map_lock_test.sh NATIVE_BIN WINDOWS_BIN SAMPLE_MAP   (with wine-env.sh's environment)
set -uo pipefail
native_bin=$1 win_bin=$2 sample=$3
work=$(mktemp -d)
fail() { [ -n "${holder:-}" ] && kill "$holder" 2>/dev/null; echo "map lock test: $* (folder kept: $work)"; exit 1; }

# Starts a lock holder in the background and waits until it holds the lock.
hold() {
    "$@" >"$work/holder.out" 2>&1 &
    holder=$!
    for _ in $(seq 1 $((200 * ${ZOLVA_WINE_SLOWDOWN:-1}))); do
        grep -q locked "$work/holder.out" 2>/dev/null && return 0
        kill -0 "$holder" 2>/dev/null || break
        sleep 0.1
    done
    cat "$work/holder.out"
    fail "the holder never took the lock: $*"
}

devhost_save() {
    (cd "$win_bin" && timeout $((120 * ${ZOLVA_WINE_SLOWDOWN:-1})) xvfb-run -a wine devhost.exe --quit --profile-dir "Z:$work/profiles" \
        --map "Z:$work/lock.map" --script "Z:$work/stroke.zscript") >"$work/devhost.out" 2>&1
}

printf 'menu 地形エディタ\nclick 8515\ndragmesh 60 90 190 130 10\nsave\n' >"$work/stroke.zscript"
cp "$sample" "$work/lock.map"
cp "$sample" "$work/before.map"

# The holders hold far longer than any check takes and are ended once it is done, so a
# slow start of the program under Wine cannot outlast them.
release() { kill "$holder" 2>/dev/null; wait "$holder" 2>/dev/null; }

# A native program holds the map: devhost's save under Wine must not go through.
hold "$native_bin/hold_map_lock" "$work/lock.map" 3600000
devhost_save && fail "devhost saved while a native program held the map"
grep -q 'being written by another program' "$work/devhost.out" || { cat "$work/devhost.out"; fail "devhost did not say why"; }
cmp -s "$work/lock.map" "$work/before.map" || fail "the map changed while a native program held it"
release

# A program under Wine holds the map: a native tool must not write it.
hold wine "$win_bin/hold_map_lock.exe" "Z:$work/lock.map" 3600000
"$native_bin/zolva-make-map" compact "$work/lock.map" >"$work/compact.out" 2>&1 &&
    fail "compact wrote the map while a program under Wine held it"
grep -q 'being written by another program' "$work/compact.out" || { cat "$work/compact.out"; fail "compact did not say why"; }
cmp -s "$work/lock.map" "$work/before.map" || fail "the map changed while a program under Wine held it"
release

# With no holder left the save goes through.
devhost_save || { tail -5 "$work/devhost.out"; fail "devhost could not save after the holders ended"; }
cmp -s "$work/lock.map" "$work/before.map" && fail "the save after the holders ended wrote nothing"
rm -rf "$work"
echo "map lock: native and Wine writers each refused while the other held the map; saved once it was free"
