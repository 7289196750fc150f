# Sourced by the scripts: a project-local Wine prefix with Japanese fonts.
# Expects ZOLVA_ROOT; sets WINEPREFIX and WINEDEBUG.
export WINEPREFIX="${ZOLVA_WINEPREFIX:-$ZOLVA_ROOT/build/wineprefix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

zolva_wine_setup() {
    local marker="$WINEPREFIX/.zolva-setup-3"
    [ -f "$marker" ] && return 0
    echo "setting up the Wine prefix in $WINEPREFIX"
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
