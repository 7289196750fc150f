#!/bin/sh
# The map tool against GDAL's utilities on one generated raster: import vs gdal_translate
# to ENVI, COG export vs gdal_translate -of COG, --fill-voids vs gdal_fillnodata -md 100.
# Each pair runs RUNS times, interleaved (ours and theirs one after the other, the order
# swapped every run, so that a busy moment of a shared machine falls on both); prints the
# median wall-clock time, CPU time and peak memory of each side, and the ratio of the
# medians beside its target.
#
#   bench/map_tools_vs_gdal.sh [SIZE] [TOOL] [RUNS]   (default 8000, build/rel/bin/zolva-make-map, 5)
#
# Use a Release build: cmake -S . -B build/rel -DCMAKE_BUILD_TYPE=Release -DZOLVA_SANITIZE=OFF
set -eu
size=${1:-8000}
tool=${2:-build/rel/bin/zolva-make-map}
runs=${3:-5}
work=$(mktemp -d "${TMPDIR:-/tmp}/map-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

# Appends "wall cpu mib" of one run of a command to the file $1.
measure() {
    out=$1
    shift
    /usr/bin/time -f "%e %U %S %M" -o "$work/time" "$@" >/dev/null 2>"$work/err" || { cat "$work/err" >&2; exit 1; }
    awk '{ printf "%s %.2f %.0f\n", $1, $2 + $3, $4 / 1024 }' "$work/time" >>"$out"
}

# The median of column $2 of file $1.
median() {
    sort -g -k"$2","$2" "$1" | awk -v c="$2" '{ v[NR] = $c } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# name, target, our command (a shell string), theirs, files to remove before each run
pair() {
    name=$1 target=$2 ours=$3 theirs=$4 clean=$5
    rm -f "$work/ours" "$work/theirs"
    i=0
    while [ "$i" -lt "$runs" ]; do
        if [ $((i % 2)) -eq 0 ]; then order="ours theirs"; else order="theirs ours"; fi
        for side in $order; do
            # shellcheck disable=SC2086
            rm -rf $clean
            if [ "$side" = ours ]; then eval "measure \"$work/ours\" $ours"; else eval "measure \"$work/theirs\" $theirs"; fi
        done
        i=$((i + 1))
    done
    ow=$(median "$work/ours" 1) oc=$(median "$work/ours" 2) om=$(median "$work/ours" 3)
    tw=$(median "$work/theirs" 1) tc=$(median "$work/theirs" 2) tm=$(median "$work/theirs" 3)
    echo "$ow $oc $om $tw $tc $tm" | awk -v n="$name" -v t="$target" '{
        w = $1 / ($4 > 0 ? $4 : 0.01); c = $2 / ($5 > 0 ? $5 : 0.01);
        printf "%-14s %7.2f s %7.2f s cpu %6d MiB | %7.2f s %7.2f s cpu %6d MiB | ratio %.2f wall, %.2f cpu (target <= %s)\n",
               n, $1, $2, $3, $4, $5, $6, w, c, t }'
}

# A synthetic map exported as a tiled GeoTIFF is the common source; a copy with voids
# (every 97th value, in runs) feeds the fill.
"$tool" synthetic "$size" "$size" "$work/src.map" >/dev/null
"$tool" export "$work/src.map" "$work/src.tif" >/dev/null
gdal_calc.py --quiet -A "$work/src.tif" --outfile="$work/voids.tif" --NoDataValue=-32768 --type=Int16 \
    --co TILED=YES --calc="where((A % 97) == 3, -32768, A)" >/dev/null 2>&1 ||
    gdal_translate -q -a_nodata 500 "$work/src.tif" "$work/voids.tif"

echo "median of $runs interleaved runs, $size x $size:   ours (wall, cpu, peak) | GDAL's"
pair import 1.3 "\"$tool\" import -q \"$work/src.tif\" \"$work/a.map\"" \
    "gdal_translate -q -of ENVI \"$work/src.tif\" \"$work/a.envi\"" "$work/a.map $work/a.envi $work/a.hdr"
pair "COG export" 1.2 "\"$tool\" export -q \"$work/src.map\" \"$work/b.tif\" --format COG" \
    "gdal_translate -q -of COG \"$work/src.tif\" \"$work/b-gdal.tif\"" "$work/b.tif $work/b-gdal.tif"
pair --fill-voids 1.3 "\"$tool\" import -q \"$work/voids.tif\" \"$work/c.map\" --fill-voids" \
    "gdal_fillnodata.py -q -md 100 \"$work/voids.tif\" \"$work/c-gdal.tif\"" "$work/c.map $work/c-gdal.tif"
