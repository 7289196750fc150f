#!/usr/bin/env bash
# The main job: installs what is missing, builds everything and runs the scripted tour of
# devhost (samples/tour.zscript) headless under Wine in Xvfb on a copy of the sample map,
# writing screenshots, the edited map, its GeoTIFF export and a summary under out/, and
# builds the zip for Windows users under dist/.
set -euo pipefail
ZOLVA_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export ZOLVA_ROOT
"$ZOLVA_ROOT/scripts/install-deps.sh"
source "$ZOLVA_ROOT/scripts/build.sh"
source "$ZOLVA_ROOT/scripts/wine-env.sh"

out="$ZOLVA_ROOT/out"
mkdir -p "$out"
echo "== building"
{ zolva_build_windows && zolva_build_map_tool; } >"$out/build.log" 2>&1 || { tail -40 "$out/build.log"; exit 1; }
zolva_wine_setup
zolva_wine_start

echo "== the tour: devhost with Zolva.qpl on the sample map"
cp "$ZOLVA_ROOT/samples/jacksboro.map" "$out/tour.map"
rm -rf "$out/profiles"
cd "$ZOLVA_ROOT/build/win/bin"
status=0
timeout $((300 * ZOLVA_WINE_SLOWDOWN)) xvfb-run -a -s "-screen 0 1280x800x24" wine devhost.exe --quit \
    --profile-dir 'Z:'"$out/profiles" --out 'Z:'"$out" \
    --map 'Z:'"$out/tour.map" --script 'Z:'"$ZOLVA_ROOT/samples/tour.zscript" \
    --compare 'Z:'"$ZOLVA_ROOT/samples/jacksboro.map" \
    --menu-screenshot 'Z:'"$out/devhost-tools-menu.png" || status=$?
zolva_wine_stop
[ "$status" -eq 0 ] || { echo "the tour failed (exit $status)"; exit "$status"; }

echo "== exporting the edited map as GeoTIFF"
"$ZOLVA_ROOT/build/native/bin/zolva-make-map" export "$out/tour.map" "$out/tour.tif"
echo "== the download for Windows users"
"$ZOLVA_ROOT/scripts/package.sh" --no-build
echo "output: $out/tour.map (the edited map), $out/tour.tif (its GeoTIFF); screenshots $out/before.png, $out/generation-dialog.png, $out/after-generation.png, $out/after.png, $out/devhost-tools-menu.png"
