# Windows build (mingw-w64): everything, run under Wine.
include(cmake/sources.cmake)
enable_language(RC)

add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
# Static runtimes, so Wine never misses libgcc, libstdc++ or winpthread.
# GetProcAddress results are cast to the entry points' real types.
add_compile_options(-Wno-cast-function-type)
# SSE2 for the brush and noise kernels, and SSE arithmetic for doubles, so that the module
# computes exactly what the native build computes (x87's 80-bit intermediates would not).
add_compile_options(-msse2 -mfpmath=sse)
# Line information for the debug files that ship beside the stripped binaries
# (scripts/package.sh), naming sources from the top of the tree; it does not change the
# code generated.
# (The build folder's own mapping comes last, so that it wins inside the source tree.)
add_compile_options(-g -fdebug-prefix-map=${CMAKE_SOURCE_DIR}/= -fdebug-prefix-map=${CMAKE_BINARY_DIR}=)
add_link_options(-static -static-libgcc -static-libstdc++)
set(STB_INCLUDE_DIR /usr/include/stb)
include(cmake/host_libraries.cmake)
include(cmake/version.cmake)
# devhost and the test programs may use 4 GiB of address space on 64-bit Windows.
set(LARGE_ADDRESS_AWARE -Wl,--large-address-aware)

# hpi.dll: the stand-in host's plug-in interface library.
add_library(hpi SHARED
    ${DEVHOST_PORTABLE_SOURCES}
    mapstore/file_io_win.cpp
    devhost/hpi/hpi_plugin.cpp
    devhost/hpi/hpi_maps.cpp
    devhost/hpi/hpi_voids.cpp
    devhost/hpi/message_capture.cpp
    devhost/hpi/hpi.rc
)
target_include_directories(hpi PUBLIC ${CMAKE_SOURCE_DIR})
target_include_directories(hpi PRIVATE ${ZOLVA_RESOURCE_DIR})
zolva_resource_depends(devhost/hpi/hpi.rc interface.manifest)
target_compile_definitions(hpi PRIVATE HPI_BUILDING_LIBRARY)
set_target_properties(hpi PROPERTIES PREFIX "" OUTPUT_NAME ${HOST_INTERFACE_BASENAME})

# The stand-in host's services library: the noise family, exported under the host
# compiler's names only.
add_library(hpi_services SHARED devhost/services/perlin_noise.cpp devhost/services/services.rc
            ${HOST_NAMES_DIR}/services_exports.def)
target_include_directories(hpi_services PRIVATE ${CMAKE_SOURCE_DIR} ${ZOLVA_RESOURCE_DIR})
zolva_resource_depends(devhost/services/services.rc services.manifest)
target_compile_definitions(hpi_services PRIVATE HPI_BUILDING_SERVICES)
set_target_properties(hpi_services PROPERTIES PREFIX "" OUTPUT_NAME ${HOST_SERVICES_BASENAME})

# The plug-in's code, as a static library so tests can link it too.
add_library(zolva_plugin_code STATIC
    ${ZOLVA_PORTABLE_SOURCES}
    platform/afx.cpp
    platform/wnd.cpp
    platform/controls.cpp
    module/callbacks.cpp
    module/entry.cpp
    frame/module.cpp
    frame/generation_guard.cpp
    generator/progress_dialog.cpp
    module/perlin_copy.cpp
    frame/plugin_dialog.cpp
    frame/registry.cpp
    module/statics.cpp
    palette/brush_settings.cpp
    palette/zolva_palette.cpp
    generator/generate_command.cpp
    generator/generation_dialog.cpp
    generator/terrain_gen_dlg.cpp
    frame/stroke_tracker.cpp
    frame/trail_spans.cpp
)
target_include_directories(zolva_plugin_code PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_options(zolva_plugin_code PRIVATE ${ZOLVA_PLUGIN_COMPILE_OPTIONS})
target_link_libraries(zolva_plugin_code PUBLIC comctl32 gdi32 user32)

# Zolva.qpl: the plug-in module. It reaches the host only through the import libraries
# made from the definition files, under the configured library names.
add_library(zolva_module SHARED module/dll_main.cpp res/zolva.rc ${HOST_NAMES_DIR}/zolva.def)
target_link_libraries(zolva_module PRIVATE -Wl,--whole-archive zolva_plugin_code -Wl,--no-whole-archive
                      host_interface_imports host_services_imports comctl32 gdi32 user32)
target_compile_options(zolva_module PRIVATE ${ZOLVA_PLUGIN_COMPILE_OPTIONS})
set_target_properties(zolva_module PROPERTIES OUTPUT_NAME Zolva PREFIX "" SUFFIX ".qpl")
target_include_directories(zolva_module PRIVATE ${ZOLVA_RESOURCE_DIR})
zolva_resource_depends(res/zolva.rc zolva.manifest)

# devhost.exe
add_executable(devhost
    devhost/app/main.cpp
    devhost/app/main_window.cpp
    devhost/app/map_view.cpp
    ${DEVHOST_VIEW_SOURCES}
    devhost/app/report.cpp
    devhost/app/user_messages.cpp
    devhost/app/script.cpp
    devhost/app/script_controls.cpp
    devhost/app/script_text.cpp
    ${MAP_STORE_SOURCES}
    devhost/app/screenshot.cpp
    devhost/app/output.cpp
    mapstore/file_io_win.cpp
    devhost/app/devhost.rc
)
# A GUI program: no console window of its own (devhost/app/output.h says where its
# printed lines go).
set_target_properties(devhost PROPERTIES WIN32_EXECUTABLE ON)
target_include_directories(devhost PRIVATE ${ZOLVA_RESOURCE_DIR})
zolva_resource_depends(devhost/app/devhost.rc devhost.manifest)
target_include_directories(devhost SYSTEM PRIVATE ${STB_INCLUDE_DIR})
target_link_libraries(devhost PRIVATE hpi comctl32 comdlg32 gdi32 user32 shell32 ${LARGE_ADDRESS_AWARE})
add_dependencies(devhost zolva_module hpi_services)

# Holds a map's write lock, for the test of locks across Wine and native programs.
add_executable(hold_map_lock tests/hold_map_lock.cpp ${MAP_STORE_SOURCES} mapstore/file_io_win.cpp)
target_include_directories(hold_map_lock PRIVATE ${CMAKE_SOURCE_DIR})

# Windows tests.
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

add_executable(zolva_windows_tests
    tests/windows/test_main.cpp
    tests/windows/plugin_fixture.cpp
    tests/windows/lifecycle_test.cpp
    tests/windows/plugin_dialog_test.cpp
    tests/windows/host_maps_test.cpp
    tests/windows/block_change_test.cpp
    tests/windows/map_view_test.cpp
    devhost/app/main_window.cpp
    devhost/app/map_view.cpp
    devhost/app/report.cpp
    devhost/app/user_messages.cpp
    ${DEVHOST_VIEW_SOURCES}
    tests/windows/palette_test.cpp
    tests/windows/palette_test_support.cpp
    tests/windows/palette_test_window.cpp
    tests/windows/registry_test.cpp
    tests/windows/map_fixture.cpp
    tests/windows/stroke_test.cpp
    tests/windows/generation_dialog_test.cpp
    tests/windows/progress_dialog_test.cpp
    tests/windows/devhost_cli_test.cpp
    tests/windows/user_messages_test.cpp
    tests/windows/main_window_test.cpp
    tests/windows/allocation_sweep_test.cpp
    ${MAP_STORE_SOURCES}
    mapstore/file_io_win.cpp
    tests/windows/test_dialogs.rc
)
target_include_directories(zolva_windows_tests SYSTEM PRIVATE ${STB_INCLUDE_DIR})
target_link_libraries(zolva_windows_tests PRIVATE zolva_plugin_code hpi host_services_imports version comdlg32
                      GTest::gtest ${LARGE_ADDRESS_AWARE})
add_dependencies(zolva_windows_tests zolva_module hpi_services)
include(cmake/maps.cmake)

# The ABI check: a DLL in the host compiler's own mode, and the test that calls it through
# the plug-in's declarations and the generated import libraries.
set(ABI_CHECK_DLL ${CMAKE_BINARY_DIR}/bin/${ZOLVA_ABI_CHECK_LIBRARY})
add_custom_command(OUTPUT ${ABI_CHECK_DLL}
    COMMAND ${ZOLVA_HOST_MODE_CXX} ${HOST_MODE_FLAGS} -c ${CMAKE_SOURCE_DIR}/tests/abi/host_abi_check.cpp
            -o ${CMAKE_BINARY_DIR}/host_abi_check.obj
    COMMAND ${ZOLVA_LLD_LINK} /dll /noentry /nodefaultlib /machine:x86 /out:${ABI_CHECK_DLL}
            /implib:${CMAKE_BINARY_DIR}/host_abi_check.lib ${CMAKE_BINARY_DIR}/host_abi_check.obj
    DEPENDS ${CMAKE_SOURCE_DIR}/tests/abi/host_abi_check.cpp
    COMMENT "Building the ABI check DLL in the host compiler's mode" VERBATIM)
add_custom_target(host_abi_check ALL DEPENDS ${ABI_CHECK_DLL})

add_executable(zolva_abi_tests tests/windows/host_abi_test.cpp)
target_include_directories(zolva_abi_tests PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(zolva_abi_tests PRIVATE check_interface_imports check_services_imports GTest::gtest_main
                      ${LARGE_ADDRESS_AWARE})
add_dependencies(zolva_abi_tests host_abi_check)
