#!/usr/bin/env bash
# devhost on a real display, after a build: the project's Wine prefix and fonts, and a
# copy of the sample map (out/edit.map, made on first use) unless a map is named.
#   ./scripts/devhost.sh [MAP]
set -euo pipefail
ZOLVA_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export ZOLVA_ROOT
source "$ZOLVA_ROOT/scripts/wine-env.sh"
[ -f "$ZOLVA_ROOT/build/win/bin/devhost.exe" ] || { echo "build first: ./scripts/run.sh or ./scripts/test.sh"; exit 1; }
zolva_wine_setup
map="${1:-$ZOLVA_ROOT/out/edit.map}"
if [ $# -eq 0 ] && [ ! -f "$map" ]; then
    mkdir -p "$ZOLVA_ROOT/out"
    cp "$ZOLVA_ROOT/samples/jacksboro.map" "$map"
fi
map="$(cd "$(dirname "$map")" && pwd)/$(basename "$map")"
cd "$ZOLVA_ROOT/build/win/bin"
exec wine devhost.exe --profile-dir 'Z:'"$ZOLVA_ROOT/out/profiles" --map 'Z:'"$map"
