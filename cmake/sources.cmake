# Source lists shared by both builds.

# The portable core: no <windows.h>.
set(ZOLVA_PORTABLE_SOURCES
    engine/allocation.cpp
    engine/block_geometry.cpp
    engine/brush_kernel.cpp
    engine/brush_apply_sse2.cpp
    engine/brush_apply_avx2.cpp
    engine/map_editor.cpp
    engine/mesh_line.cpp
    engine/wide_math.cpp
    engine/number_text.cpp
    generator/generation_units.cpp
    generator/terrain_generator.cpp
)

# The portable core's headers, for the layer check; the sources above bring in the rest.
set(ZOLVA_PORTABLE_HEADERS
    engine/allocation.h
    engine/block_geometry.h
    engine/brush_kernel.h
    engine/brush_method.h
    engine/map_block.h
    engine/map_editor.h
    engine/number_text.h
    engine/wide_math.h
    generator/generation_units.h
    generator/terrain_generator.h
)

# The plug-in's code is built without exceptions: nothing may unwind into the host, and
# throwing needs memory exactly when there is none. Guarded statics would take the
# runtime's lazily allocated lock; the module has one thread.
set(ZOLVA_PLUGIN_COMPILE_OPTIONS -fno-exceptions -fno-threadsafe-statics)

# devhost's portable parts: the profile store. The noise is the services library of its own.
set(DEVHOST_PORTABLE_SOURCES
    devhost/profiles/profile_store.cpp
)

# The map store (mapstore/): checksums, byte encoding, the header, the lock, the session
# scanner, reader, builder, writer and copy.
set(MAP_STORE_SOURCES
    mapstore/map_checksum.cpp
    mapstore/map_codec.cpp
    mapstore/map_header.cpp
    mapstore/map_lock.cpp
    mapstore/map_scan.cpp
    mapstore/map_file_reader.cpp
    mapstore/map_file_builder.cpp
    mapstore/map_file_writer.cpp
    mapstore/map_copy.cpp
    mapstore/map_compaction.cpp
)

# devhost's view, window-free: relief drawing, block cache, overview levels, positions,
# the change summary.
set(DEVHOST_VIEW_SOURCES
    devhost/app/relief.cpp
    devhost/app/block_cache.cpp
    devhost/app/overview.cpp
    devhost/app/geo_text.cpp
    devhost/app/summary.cpp
)

# Apply's AVX2 form; the plug-in calls it only on CPUs that have AVX2.
set_source_files_properties(engine/brush_apply_avx2.cpp PROPERTIES COMPILE_OPTIONS -mavx2)
