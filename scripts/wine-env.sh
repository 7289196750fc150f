# Sourced by the scripts: a project-local Wine prefix with Japanese fonts.
# Expects ZOLVA_ROOT; sets WINEPREFIX, WINEARCH and WINEDEBUG. Everything we run under
# Wine is 32-bit, as the host is, so the prefix is a 32-bit one.
export WINEPREFIX="${ZOLVA_WINEPREFIX:-$ZOLVA_ROOT/build/wineprefix}"
export WINEARCH=win32
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# On a kernel with 32-bit emulation off, install-deps.sh has i386 programs run through
# qemu's user-mode emulator, where Wine runs a few times slower: the time limits of Wine
# runs (scripts and tests) are multiplied by this factor.
if [ -e /proc/sys/fs/binfmt_misc/zolva-i386-03 ]; then
    export ZOLVA_WINE_SLOWDOWN=${ZOLVA_WINE_SLOWDOWN:-3}
else
    export ZOLVA_WINE_SLOWDOWN=${ZOLVA_WINE_SLOWDOWN:-1}
fi

zolva_wine_setup() {
    local marker="$WINEPREFIX/.zolva-setup-4-win32"
    [ -f "$marker" ] && return 0
    echo "setting up the Wine prefix in $WINEPREFIX"
    # A prefix from an earlier setup is 64-bit, or was made before wine32 was installed
    # (then every start fails to load kernel32.dll): the project's own one is made again.
    if [ -z "${ZOLVA_WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
        wineserver -k >/dev/null 2>&1 || true
        rm -rf "$WINEPREFIX"
    fi
    mkdir -p "$WINEPREFIX"
    # Dialogs ask for "ＭＳ Ｐゴシック" and captions use Tahoma: both map to IPA P Gothic.
    # Xvfb has no window manager: Wine draws captions and frames itself. One import, as
    # every Wine start is slower where i386 programs are emulated.
    local reg="$WINEPREFIX/zolva-setup.reg"
    printf '%s\r\n' 'Windows Registry Editor Version 5.00' '' \
        '[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]' \
        '"ＭＳ Ｐゴシック"="IPAPGothic"' '"ＭＳ ゴシック"="IPAGothic"' '"Tahoma"="IPAPGothic"' '' \
        '[HKEY_CURRENT_USER\Software\Wine\X11 Driver]' '"Decorated"="N"' '"Managed"="N"' '' |
        iconv -f UTF-8 -t UTF-16 >"$reg"
    # The boot goes on in the background after wineboot returns; one display serves it,
    # the import and the wait for all of it to end, so nothing is left tied to a display
    # that has gone. A setup that never ends is cut off rather than hanging the run.
    timeout $((300 * ZOLVA_WINE_SLOWDOWN)) xvfb-run -a sh -c \
        "wineboot -i; wine reg import 'Z:$reg'; wineserver -w" >/dev/null 2>&1 ||
        { echo "the Wine prefix's setup did not end; going on with it as it is"; wineserver -k >/dev/null 2>&1; }
    # Caption buttons are drawn with Marlett; this Wine does not find its own copy.
    if [ -f /usr/share/wine/fonts/marlett.ttf ]; then
        mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
        cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
    fi
    touch "$marker"
}

# One wine server for a whole run, so that Wine's own services start once rather than
# with every program (each start is slower where i386 programs are emulated).
# zolva_wine_stop ends it.
zolva_wine_start() {
    wineserver -p >/dev/null 2>&1 || true
}

zolva_wine_stop() {
    wineserver -k >/dev/null 2>&1 || true
}
