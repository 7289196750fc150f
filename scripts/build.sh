# Sourced by the scripts: configure and build both builds. Expects ZOLVA_ROOT.
zolva_configure_native() {
    cmake -S "$ZOLVA_ROOT" -B "$ZOLVA_ROOT/build/native" -DCMAKE_BUILD_TYPE=Debug \
        -DZOLVA_SANITIZE=ON >/dev/null
}

zolva_build_native() {
    zolva_configure_native && cmake --build "$ZOLVA_ROOT/build/native" -j"$(nproc)"
}

# Only zolva-make-map, in the native build's tree.
zolva_build_map_tool() {
    zolva_configure_native && cmake --build "$ZOLVA_ROOT/build/native" -j"$(nproc)" --target zolva-make-map
}

zolva_build_windows() {
    cmake -S "$ZOLVA_ROOT" -B "$ZOLVA_ROOT/build/win" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$ZOLVA_ROOT/cmake/mingw-w64-i686.cmake" >/dev/null
    cmake --build "$ZOLVA_ROOT/build/win" -j"$(nproc)"
}
