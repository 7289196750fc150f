#!/usr/bin/env bash
# Reads the import and export tables of the built module as the host's loader sees them
# and checks them exactly: a 32-bit image; the host's two libraries and Windows system
# DLLs only (no MinGW runtime DLL); every HPI_ function from the interface library; the
# noise members under the Microsoft compiler's names from the services library; the four
# entry points undecorated and the three copy operators under the Microsoft names.
#   tests/windows/module_tables.sh Zolva.qpl [interface.dll services.dll]
set -uo pipefail
module=$1
interface=${2:-hpi.dll}
services=${3:-hpisvc.dll}
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}

table=$("$objdump" -p "$module") || { echo "cannot read $module"; exit 1; }
failed=0

# Compares an actual list with the expected one, both one item per line.
check() {
    local what=$1 actual=$2 expected=$3
    if [ "$(sort <<<"$actual")" != "$(sort <<<"$expected")" ]; then
        echo "$what differ (< expected, > actual):"
        diff <(sort <<<"$expected") <(sort <<<"$actual") | grep '^[<>]'
        failed=1
    fi
}

format=$(grep -oE 'file format [^ ]+' <<<"$table" | head -1)
check "image formats" "$format" "file format pei-i386"

dlls=$(grep -oE 'DLL Name: .*' <<<"$table" | cut -d' ' -f3 | tr 'A-Z' 'a-z')
check "imported libraries" "$dlls" "$(printf '%s\n' kernel32.dll user32.dll gdi32.dll comctl32.dll msvcrt.dll \
    "$(tr 'A-Z' 'a-z' <<<"$interface")" "$(tr 'A-Z' 'a-z' <<<"$services")")"

# Names imported from one library: the rows under its "DLL Name" up to the blank line.
imports_from() {
    awk -v dll="$1" 'tolower($0) ~ /dll name:/ { on = (tolower($3) == tolower(dll)); next }
                     on && NF == 0 { on = 0 }
                     on && $1 ~ /^[0-9a-f]+$/ && NF == 3 { print $3 }' <<<"$table"
}

check "functions imported from $interface" "$(imports_from "$interface")" "$(printf '%s\n' \
    HPI_AddMapHook HPI_AddMenu HPI_AddViewHook HPI_AppendBlockEvm HPI_ClearViewCache HPI_CloseEvm \
    HPI_GetActiveBaseMap HPI_GetActiveView HPI_GetHwnd HPI_GetMainWnd HPI_GetMapBlock HPI_GetMapFile \
    HPI_GetMapType HPI_GetMeshSize HPI_GetProfileInt HPI_GetResourceHandle HPI_GetVersion \
    HPI_GetViewCenter HPI_GetZoomView HPI_IsMAT HPI_IsOpenedMap HPI_OpenAppendEvm HPI_PosToMesh \
    HPI_Pump HPI_ReplaceCache HPI_SetResourceHandle HPI_UpdateView HPI_WriteProfileInt)"

check "members imported from $services" "$(imports_from "$services")" "$(printf '%s\n' \
    '??0CPerlinNoise@@QAE@XZ' '??1CPerlinNoise@@QAE@XZ' '?Create@CPerlinNoise@@QAEXNNNN@Z' \
    '?GetOctaves@CPerlinNoise@@QAEHAAN0@Z' '?PerlinNoise2D@CPerlinNoise@@QAENNNH@Z')"

exports=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$table" | grep -oE '^\s+\[ *[0-9]+\] .*' | sed 's/.*\] //')
check "exports" "$exports" "$(printf '%s\n' Init Close About Release \
    '??4CPerlinNoise@@QAEAAV0@ABV0@@Z' '??4CPerlinCloud@@QAEAAV0@ABV0@@Z' '??4CPerlinBump@@QAEAAV0@ABV0@@Z')"

# Nothing in the module allocates behind its back when memory is short: no C++ exception
# is thrown (throwing needs memory, and the runtime's emergency pool a lazily allocated
# lock), no guarded static takes that lock, no throwing or catching operator new is
# linked, and no C runtime decimal conversion or formatted output (they allocate).
symbols=$("${NM:-i686-w64-mingw32-nm}" "$module" 2>/dev/null)
# A stripped module keeps its symbols in the debug file beside it.
if [ -z "$symbols" ] && [ -f "$module.debug" ]; then
    symbols=$("${NM:-i686-w64-mingw32-nm}" "$module.debug" 2>/dev/null)
fi
if [ -z "$symbols" ]; then
    echo "$module has no symbol table: its runtime pieces cannot be checked"
    failed=1
else
    check "runtime pieces that allocate behind the module's back" "$(grep -oE ' (___cxa_throw|___cxa_allocate_exception|__Unwind_RaiseException|___cxa_guard_acquire|_pthread_mutex_lock|___mingw_pformat|___mingw_wcstod|___mingw_wcstold|___mingw_strtod|___strtodg|__Zn[wa]j|__Zn[wa]jRKSt9nothrow_t|__Zn[wa]jSt11align_val_tRKSt9nothrow_t)$' <<<"$symbols" | sort -u | sed 's/^ //')" ""
fi

if [ "$failed" -eq 0 ]; then
    echo "module tables: $format, $(wc -l <<<"$dlls") libraries, $(wc -l <<<"$exports") exports as expected"
fi
exit "$failed"
