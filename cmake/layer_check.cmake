# Run as a script at every native build: the portable core must not reach <windows.h>
# or the Windows-only folders frame/ and palette/, directly or through a header. Each
# file is run through the preprocessor alone and its dependency list searched.
#   cmake -DCOMPILER=... -DSOURCE_DIR=... -DFILES="a.cpp;b.h" -P layer_check.cmake
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
