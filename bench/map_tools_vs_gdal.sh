#!/bin/sh
# The map tool against GDAL's utilities on one generated raster, in one run: import vs
# gdal_translate to ENVI, COG export vs gdal_translate -of COG, --fill-voids vs
# gdal_fillnodata -md 100. Prints each time, peak memory and the ratio beside its target.
#
#   bench/map_tools_vs_gdal.sh [SIZE] [TOOL]     (default 8000, build/rel/bin/zolva-make-map)
#
# Use a Release build: cmake -S . -B build/rel -DCMAKE_BUILD_TYPE=Release -DZOLVA_SANITIZE=OFF
set -eu
size=${1:-8000}
tool=${2:-build/rel/bin/zolva-make-map}
work=$(mktemp -d "${TMPDIR:-/tmp}/map-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

# Seconds and peak resident MiB of a command, as "seconds mib".
measure() {
    /usr/bin/time -f "%e %M" -o "$work/time" "$@" >/dev/null 2>"$work/err" || { cat "$work/err" >&2; exit 1; }
    awk '{ printf "%s %.0f", $1, $2 / 1024 }' "$work/time"
}

ratio() {  # name, ours, theirs, target
    echo "$2 $3" | awk -v n="$1" -v t="$4" '{ split($0, a, " ");
        r = a[1] / (a[3] > 0 ? a[3] : 0.01);
        printf "%-22s %8.2f s %6d MiB | %8.2f s %6d MiB | ratio %.2f (target <= %s)\n", n, a[1], a[2], a[3], a[4], r, t }'
}

# A synthetic map exported as a tiled GeoTIFF is the common source; a copy with voids
# (every 997th cell, in runs) feeds the fill.
"$tool" synthetic "$size" "$size" "$work/src.map" >/dev/null
"$tool" export "$work/src.map" "$work/src.tif" >/dev/null
gdal_calc.py --quiet -A "$work/src.tif" --outfile="$work/voids.tif" --NoDataValue=-32768 --type=Int16 \
    --co TILED=YES --calc="where((A % 97) == 3, -32768, A)" >/dev/null 2>&1 ||
    gdal_translate -q -a_nodata 500 "$work/src.tif" "$work/voids.tif"

ours=$(measure "$tool" import "$work/src.tif" "$work/a.map")
theirs=$(measure gdal_translate -q -of ENVI "$work/src.tif" "$work/a.envi")
ratio "import" "$ours" "$theirs" 1.3

ours=$(measure "$tool" export "$work/src.map" "$work/b.tif" --format COG)
theirs=$(measure gdal_translate -q -of COG "$work/src.tif" "$work/b-gdal.tif")
ratio "COG export" "$ours" "$theirs" 1.2

ours=$(measure "$tool" import "$work/voids.tif" "$work/c.map" --fill-voids)
theirs=$(measure gdal_fillnodata.py -q -md 100 "$work/voids.tif" "$work/c-gdal.tif")
ratio "--fill-voids" "$ours" "$theirs" 1.3
