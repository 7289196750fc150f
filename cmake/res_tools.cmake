# The program that draws the palette's icon strips (native build only). Run
# `cmake --build <dir> --target palette_bitmaps` to remake res/*.bmp; the Windows build
# links the committed files and never runs it. scripts/test.sh checks that the program
# still draws the committed files byte for byte.
add_executable(draw_icons res/draw_icons.cpp)
add_custom_target(palette_bitmaps
    COMMAND draw_icons ${CMAKE_SOURCE_DIR}/res
    DEPENDS draw_icons
    COMMENT "Drawing res/method_icons.bmp and res/preset_icons.bmp")
