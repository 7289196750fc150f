#!/usr/bin/env bash
# The main job: installs what is missing, builds everything and runs devhost headless
# under Wine in Xvfb with the plug-in loaded and the sample map open, writing a
# screenshot under out/.
set -euo pipefail
ZOLVA_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export ZOLVA_ROOT
"$ZOLVA_ROOT/scripts/install-deps.sh"
source "$ZOLVA_ROOT/scripts/build.sh"
source "$ZOLVA_ROOT/scripts/wine-env.sh"

out="$ZOLVA_ROOT/out"
mkdir -p "$out"
echo "== building"
zolva_build_windows >"$out/build.log" 2>&1 || { tail -40 "$out/build.log"; exit 1; }
zolva_wine_setup

echo "== devhost with Zolva.qpl"
cd "$ZOLVA_ROOT/build/win/bin"
status=0
timeout 120 xvfb-run -a -s "-screen 0 1280x800x24" wine devhost.exe --quit \
    --map 'Z:'"$ZOLVA_ROOT/samples/jacksboro.map" \
    --profile-dir 'Z:'"$out/profiles" --screenshot 'Z:'"$out/devhost-main.png" \
    --menu-screenshot 'Z:'"$out/devhost-tools-menu.png" || status=$?
zolva_wine_stop
[ "$status" -eq 0 ] || { echo "devhost failed (exit $status)"; exit "$status"; }
echo "output: $out/devhost-main.png $out/devhost-tools-menu.png"
