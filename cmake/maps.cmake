# The map store's tests, fuzz targets and benchmarks, and the map tool (mapstore/ and
# maptools/). Included by both builds; the Windows build only compiles the store into
# devhost's interface library.
if(WIN32)
    target_sources(hpi PRIVATE ${MAP_STORE_SOURCES})
    return()
endif()

option(ZOLVA_FUZZ "Build the libFuzzer targets (clang only)" OFF)

# The map tool reads and writes real elevation formats through GDAL; it uses the store and
# nothing of devhost or the plug-in, and nothing built for Windows links it.
find_package(GDAL CONFIG REQUIRED)
add_library(zolva_map_tools STATIC
    maptools/command_line.cpp
    maptools/gdal_export.cpp
    maptools/gdal_import.cpp
    maptools/gdal_raster.cpp
    maptools/import_fill.cpp
    maptools/import_georef.cpp
    maptools/import_source.cpp
    maptools/map_commands.cpp
    maptools/map_info.cpp
    maptools/map_recover.cpp
    maptools/map_stream.cpp
    maptools/sidecar_json.cpp
    maptools/staged_output.cpp
    maptools/void_crop.cpp)
target_link_libraries(zolva_map_tools PUBLIC map_store GDAL::GDAL)

add_executable(zolva-make-map maptools/make_map.cpp)

# Holds a map's write lock, for the test of locks across Wine and native programs.
add_executable(hold_map_lock tests/hold_map_lock.cpp)
target_link_libraries(hold_map_lock PRIVATE map_store)
target_link_libraries(zolva-make-map PRIVATE zolva_map_tools)

# Makes record locks fail as on a file system without them, for the lock tests. Built
# without the sanitizers: it is preloaded ahead of their runtime.
add_library(no_lock_shim MODULE tests/no_lock_shim.c)
set_property(TARGET no_lock_shim PROPERTY COMPILE_OPTIONS "")
set_property(TARGET no_lock_shim PROPERTY LINK_OPTIONS "")
target_link_libraries(no_lock_shim PRIVATE ${CMAKE_DL_LIBS})

if(TARGET GTest::gtest_main)
    add_executable(map_store_tests tests/native/map_file_test.cpp tests/native/map_header_test.cpp
                   tests/native/map_lock_test.cpp tests/native/map_recover_test.cpp tests/native/map_tools_test.cpp tests/native/map_voids_test.cpp tests/native/map_cli_test.cpp
                   tests/native/map_export_formats_test.cpp tests/native/map_heights_test.cpp tests/native/map_advice_test.cpp
                   tests/native/relief_test.cpp tests/native/view_blocks_test.cpp
                   tests/native/reference_relief.cpp ${DEVHOST_VIEW_SOURCES})
    target_link_libraries(map_store_tests PRIVATE zolva_map_tools GTest::gtest_main)
    target_compile_definitions(map_store_tests PRIVATE
        ZOLVA_SAMPLES_DIR="${CMAKE_SOURCE_DIR}/samples"
        ZOLVA_MAKE_MAP="$<TARGET_FILE:zolva-make-map>"
        ZOLVA_NO_LOCK_SHIM="$<TARGET_FILE:no_lock_shim>")
    add_dependencies(map_store_tests zolva-make-map no_lock_shim)
    add_test(NAME map_store COMMAND map_store_tests)
endif()

if(ZOLVA_BENCHMARKS)
    find_package(benchmark REQUIRED)
    add_executable(map_file_bench bench/map_file_bench.cpp)
    target_link_libraries(map_file_bench PRIVATE map_store benchmark::benchmark)
    add_executable(map_tools_bench bench/map_tools_bench.cpp)
    target_link_libraries(map_tools_bench PRIVATE zolva_map_tools benchmark::benchmark)
    add_executable(relief_bench bench/relief_bench.cpp tests/native/reference_relief.cpp ${DEVHOST_VIEW_SOURCES})
    target_link_libraries(relief_bench PRIVATE map_store benchmark::benchmark)
endif()

if(ZOLVA_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        message(FATAL_ERROR "ZOLVA_FUZZ needs clang (configure with CXX=clang++)")
    endif()
    # The store is compiled into the target itself, so all of it carries the fuzzer's
    # coverage instrumentation.
    set(FUZZ_FLAGS -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    add_executable(map_file_fuzz fuzz/map_file_fuzz.cpp ${MAP_STORE_SOURCES}
                   mapstore/file_io_posix.cpp)
    target_include_directories(map_file_fuzz PRIVATE ${CMAKE_SOURCE_DIR})
    target_compile_options(map_file_fuzz PRIVATE ${FUZZ_FLAGS} -g -O1)
    target_link_options(map_file_fuzz PRIVATE ${FUZZ_FLAGS})
    # The one-pass reader, export and compaction, with the tools' own sources instrumented.
    add_executable(map_tools_fuzz fuzz/map_tools_fuzz.cpp ${MAP_STORE_SOURCES}
                   mapstore/file_io_posix.cpp maptools/gdal_export.cpp maptools/gdal_raster.cpp
                   maptools/map_commands.cpp maptools/map_info.cpp maptools/map_stream.cpp maptools/sidecar_json.cpp
                   maptools/staged_output.cpp)
    target_include_directories(map_tools_fuzz PRIVATE ${CMAKE_SOURCE_DIR})
    target_compile_options(map_tools_fuzz PRIVATE ${FUZZ_FLAGS} -g -O1)
    target_link_options(map_tools_fuzz PRIVATE ${FUZZ_FLAGS})
    target_link_libraries(map_tools_fuzz PRIVATE GDAL::GDAL)
    add_executable(map_file_seeds fuzz/make_seeds.cpp)
    target_link_libraries(map_file_seeds PRIVATE map_store)
endif()
