# Sourced by the scripts: a project-local Wine prefix with Japanese fonts.
# Expects ZOLVA_ROOT; sets WINEPREFIX, WINEARCH and WINEDEBUG. Everything we run under
# Wine is 32-bit, as the host is, so the prefix is a 32-bit one.
export WINEPREFIX="${ZOLVA_WINEPREFIX:-$ZOLVA_ROOT/build/wineprefix}"
export WINEARCH=win32
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

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
    xvfb-run -a wineboot -i >/dev/null 2>&1 || true
    # Dialogs ask for "ＭＳ Ｐゴシック" and captions use Tahoma: both map to IPA P Gothic.
    local key='HKCU\Software\Wine\Fonts\Replacements'
    wine reg add "$key" /v 'ＭＳ Ｐゴシック' /t REG_SZ /d IPAPGothic /f >/dev/null 2>&1
    wine reg add "$key" /v 'ＭＳ ゴシック' /t REG_SZ /d IPAGothic /f >/dev/null 2>&1
    wine reg add "$key" /v Tahoma /t REG_SZ /d IPAPGothic /f >/dev/null 2>&1
    # Caption buttons are drawn with Marlett; this Wine does not find its own copy.
    if [ -f /usr/share/wine/fonts/marlett.ttf ]; then
        cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
    fi
    # Xvfb has no window manager: let Wine draw captions and frames itself.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
    wineserver -w
    touch "$marker"
}

zolva_wine_stop() {
    wineserver -k >/dev/null 2>&1 || true
}
