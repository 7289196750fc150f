# Sourced by the scripts: configure and build both builds. Expects ZOLVA_ROOT.
zolva_build_native() {
    cmake -S "$ZOLVA_ROOT" -B "$ZOLVA_ROOT/build/native" -DCMAKE_BUILD_TYPE=Debug \
        -DZOLVA_SANITIZE=ON >/dev/null
    cmake --build "$ZOLVA_ROOT/build/native" -j"$(nproc)"
}

zolva_build_windows() {
    cmake -S "$ZOLVA_ROOT" -B "$ZOLVA_ROOT/build/win" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$ZOLVA_ROOT/cmake/mingw-w64-x86_64.cmake" >/dev/null
    cmake --build "$ZOLVA_ROOT/build/win" -j"$(nproc)"
}
