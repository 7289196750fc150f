# devhost's map files: the store, its tests, fuzz target, benchmark and the map tool.
# Included by both builds.
if(WIN32)
    target_sources(hpi PRIVATE ${DEVHOST_MAP_FILE_SOURCES})
    return()
endif()

option(ZOLVA_FUZZ "Build the libFuzzer targets (clang only)" OFF)

target_sources(devhost_portable PRIVATE ${DEVHOST_MAP_FILE_SOURCES})

# The map tool reads and writes real elevation formats through GDAL; nothing built for
# Windows links it.
find_package(GDAL CONFIG REQUIRED)
add_library(zolva_map_tools STATIC
    devhost/tools/command_line.cpp
    devhost/tools/gdal_export.cpp
    devhost/tools/gdal_import.cpp
    devhost/tools/gdal_raster.cpp
    devhost/tools/import_fill.cpp
    devhost/tools/import_georef.cpp
    devhost/tools/import_source.cpp
    devhost/tools/map_commands.cpp
    devhost/tools/map_info.cpp
    devhost/tools/map_recover.cpp
    devhost/tools/map_stream.cpp
    devhost/tools/sidecar_json.cpp
    devhost/tools/staged_output.cpp
    devhost/tools/void_crop.cpp)
target_link_libraries(zolva_map_tools PUBLIC devhost_portable GDAL::GDAL)

add_executable(zolva-make-map devhost/tools/make_map.cpp)

# Holds a map's write lock, for the test of locks across Wine and native programs.
add_executable(hold_map_lock tests/hold_map_lock.cpp)
target_link_libraries(hold_map_lock PRIVATE devhost_portable)
target_link_libraries(zolva-make-map PRIVATE zolva_map_tools)

if(TARGET GTest::gtest_main)
    add_executable(devhost_store_tests tests/native/map_file_test.cpp tests/native/map_header_test.cpp
                   tests/native/map_lock_test.cpp tests/native/map_tools_test.cpp tests/native/map_voids_test.cpp tests/native/map_cli_test.cpp
                   tests/native/relief_test.cpp tests/native/view_blocks_test.cpp
                   tests/native/reference_relief.cpp ${DEVHOST_VIEW_SOURCES})
    target_link_libraries(devhost_store_tests PRIVATE zolva_map_tools GTest::gtest_main)
    target_compile_definitions(devhost_store_tests PRIVATE
        ZOLVA_SAMPLES_DIR="${CMAKE_SOURCE_DIR}/samples")
    add_test(NAME devhost_store COMMAND devhost_store_tests)
endif()

if(ZOLVA_BENCHMARKS)
    find_package(benchmark REQUIRED)
    add_executable(map_file_bench bench/map_file_bench.cpp)
    target_link_libraries(map_file_bench PRIVATE devhost_portable benchmark::benchmark)
    add_executable(map_tools_bench bench/map_tools_bench.cpp)
    target_link_libraries(map_tools_bench PRIVATE zolva_map_tools benchmark::benchmark)
    add_executable(relief_bench bench/relief_bench.cpp tests/native/reference_relief.cpp ${DEVHOST_VIEW_SOURCES})
    target_link_libraries(relief_bench PRIVATE devhost_portable benchmark::benchmark)
endif()

if(ZOLVA_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        message(FATAL_ERROR "ZOLVA_FUZZ needs clang (configure with CXX=clang++)")
    endif()
    # The store is compiled into the target itself, so all of it carries the fuzzer's
    # coverage instrumentation.
    set(FUZZ_FLAGS -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    add_executable(map_file_fuzz fuzz/map_file_fuzz.cpp ${DEVHOST_MAP_FILE_SOURCES}
                   devhost/store/file_io_posix.cpp)
    target_include_directories(map_file_fuzz PRIVATE ${CMAKE_SOURCE_DIR})
    target_compile_options(map_file_fuzz PRIVATE ${FUZZ_FLAGS} -g -O1)
    target_link_options(map_file_fuzz PRIVATE ${FUZZ_FLAGS})
    # The one-pass reader, export and compaction, with the tools' own sources instrumented.
    add_executable(map_tools_fuzz fuzz/map_tools_fuzz.cpp ${DEVHOST_MAP_FILE_SOURCES}
                   devhost/store/file_io_posix.cpp devhost/tools/gdal_export.cpp devhost/tools/gdal_raster.cpp
                   devhost/tools/map_commands.cpp devhost/tools/map_info.cpp devhost/tools/map_stream.cpp devhost/tools/sidecar_json.cpp
                   devhost/tools/staged_output.cpp)
    target_include_directories(map_tools_fuzz PRIVATE ${CMAKE_SOURCE_DIR})
    target_compile_options(map_tools_fuzz PRIVATE ${FUZZ_FLAGS} -g -O1)
    target_link_options(map_tools_fuzz PRIVATE ${FUZZ_FLAGS})
    target_link_libraries(map_tools_fuzz PRIVATE GDAL::GDAL)
    add_executable(map_file_seeds fuzz/make_seeds.cpp)
    target_link_libraries(map_file_seeds PRIVATE devhost_portable)
endif()
