# Run as a script at every native build, in two checks.
#
# With FILES: the portable core must not reach <windows.h> or the Windows-only folders
# frame/ and palette/, directly or through a header. Each file is run through the
# preprocessor alone and its dependency list searched.
#   cmake -DCOMPILER=... -DSOURCE_DIR=... -DFILES="a.cpp;b.h" -P layer_check.cmake
#
# With RULES: every project include of every source and header names a folder that the
# including folder may build on. The folders are layers, each on those below it, so a
# file that keeps to its own folder's list cannot reach a higher layer through a header
# either.
#   cmake -DSOURCE_DIR=... -DRULES=ON -P layer_check.cmake
cmake_minimum_required(VERSION 3.25)
if(RULES)
    # Folder: the folders its files may include from (itself included).
    set(allowed_host host)
    set(allowed_platform host platform)
    set(allowed_engine host engine)
    set(allowed_frame host engine platform frame res)
    set(allowed_generator host engine platform frame generator res)
    set(allowed_palette host engine platform frame generator palette res)
    set(allowed_module host engine platform frame generator palette module res)
    # The map store stands alone (beside the host headers' UTF-8 helpers); the map tool
    # uses only the store, and GDAL.
    set(allowed_mapstore host mapstore)
    set(allowed_maptools mapstore maptools)
    set(failures "")
    foreach(folder host platform engine frame generator palette module mapstore maptools)
        file(GLOB_RECURSE sources RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/${folder}/*.cpp ${SOURCE_DIR}/${folder}/*.h)
        foreach(source IN LISTS sources)
            file(STRINGS ${SOURCE_DIR}/${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]+\"[^\"]+/")
            foreach(line IN LISTS includes)
                string(REGEX MATCH "\"([^/\"]+)/" found "${line}")
                set(target ${CMAKE_MATCH_1})
                if(NOT target IN_LIST allowed_${folder})
                    string(APPEND failures "${source}: includes ${target}/, which ${folder}/ does not build on\n")
                endif()
            endforeach()
        endforeach()
    endforeach()
    if(failures)
        message(FATAL_ERROR "An include runs against the layers:\n${failures}")
    endif()
    return()
endif()

set(failures "")
foreach(file IN LISTS FILES)
    execute_process(
        COMMAND ${COMPILER} -std=c++17 -x c++ -M -I${SOURCE_DIR} ${SOURCE_DIR}/${file}
        RESULT_VARIABLE status OUTPUT_VARIABLE depends ERROR_VARIABLE errors)
    if(NOT status EQUAL 0)
        string(APPEND failures "${file}: does not preprocess without Windows headers:\n${errors}\n")
        continue()
    endif()
    string(REGEX MATCHALL "[^ \\\\\n]*([wW]indows\\.h|/frame/[^ \\\\\n]*|/palette/[^ \\\\\n]*)" reached "${depends}")
    foreach(header IN LISTS reached)
        string(APPEND failures "${file}: reaches ${header}\n")
    endforeach()
endforeach()
if(failures)
    message(FATAL_ERROR "The portable core reaches the Windows side:\n${failures}")
endif()
