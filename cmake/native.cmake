# Native build: the portable core and its tests under the sanitizers.
include(cmake/sources.cmake)

if(ZOLVA_SANITIZE)
    set(SANITIZE_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    add_compile_options(${SANITIZE_FLAGS})
    add_link_options(${SANITIZE_FLAGS})
endif()

add_library(zolva_portable STATIC ${ZOLVA_PORTABLE_SOURCES})
target_include_directories(zolva_portable PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_options(zolva_portable PRIVATE ${ZOLVA_PLUGIN_COMPILE_OPTIONS})

# The layers: nothing in the portable core reaches <windows.h>, frame/ or palette/. All
# of engine/ is portable, so every file there is checked, new ones included.
file(GLOB ENGINE_FILES RELATIVE ${CMAKE_SOURCE_DIR} CONFIGURE_DEPENDS engine/*.cpp engine/*.h)
set(LAYER_CHECKED_FILES ${ENGINE_FILES} ${ZOLVA_PORTABLE_SOURCES} ${ZOLVA_PORTABLE_HEADERS})
list(REMOVE_DUPLICATES LAYER_CHECKED_FILES)
add_custom_target(portable_layer_check ALL
    COMMAND ${CMAKE_COMMAND} -DCOMPILER=${CMAKE_CXX_COMPILER} -DSOURCE_DIR=${CMAKE_SOURCE_DIR}
            "-DFILES=${LAYER_CHECKED_FILES}" -P ${CMAKE_SOURCE_DIR}/cmake/layer_check.cmake
    COMMENT "Checking that the portable core stays clear of the Windows side"
    VERBATIM)
add_dependencies(zolva_portable portable_layer_check)
# Every folder includes only from the folders below it.
add_custom_target(include_layer_check ALL
    COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${CMAKE_SOURCE_DIR} -DRULES=ON -P ${CMAKE_SOURCE_DIR}/cmake/layer_check.cmake
    COMMENT "Checking that every include runs down the layers"
    VERBATIM)
add_dependencies(zolva_portable include_layer_check)

# The map store: a library of its own, which devhost and the map tool both use.
add_library(map_store STATIC ${MAP_STORE_SOURCES} mapstore/file_io_posix.cpp)
target_include_directories(map_store PUBLIC ${CMAKE_SOURCE_DIR})

add_library(devhost_portable STATIC ${DEVHOST_PORTABLE_SOURCES} devhost/services/perlin_noise.cpp)
target_include_directories(devhost_portable PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(devhost_portable PUBLIC map_store)

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

enable_testing()
add_executable(zolva_native_tests
    tests/native/host_headers_check.cpp
    tests/native/profile_store_test.cpp
    tests/native/fake_host.cpp
    tests/native/block_geometry_test.cpp
    tests/native/map_editor_test.cpp
    tests/native/brush_apply_test.cpp
    tests/native/brush_kernel_test.cpp
    tests/native/terrain_generator_test.cpp
    tests/native/number_text_test.cpp
)
target_link_libraries(zolva_native_tests PRIVATE zolva_portable devhost_portable GTest::gtest_main)
add_test(NAME native COMMAND zolva_native_tests)
include(cmake/maps.cmake)
include(cmake/res_tools.cmake)

if(ZOLVA_BENCHMARKS)
    find_package(benchmark REQUIRED)
    add_executable(zolva_engine_bench bench/map_editor_bench.cpp tests/native/fake_host.cpp)
    target_link_libraries(zolva_engine_bench PRIVATE zolva_portable benchmark::benchmark)
    add_executable(zolva_noise_bench bench/noise_bench.cpp tests/native/fake_host.cpp)
    target_link_libraries(zolva_noise_bench PRIVATE zolva_portable devhost_portable noise benchmark::benchmark)
    add_executable(zolva_brush_bench bench/brush_bench.cpp tests/native/fake_host.cpp)
    target_link_libraries(zolva_brush_bench PRIVATE zolva_portable benchmark::benchmark)
endif()
