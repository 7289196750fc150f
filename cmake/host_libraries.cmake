# The host's two libraries as the module links them: import libraries made from
# module-definition files, so building never needs anything from the host. The noise
# members' names come from a compiler in the host's own mode (cmake/host_names.cmake).
set(ZOLVA_HOST_INTERFACE_LIBRARY "hpi.dll" CACHE STRING
    "File name of the host's plug-in interface library (the HPI_ functions)")
set(ZOLVA_HOST_SERVICES_LIBRARY "hpisvc.dll" CACHE STRING
    "File name of the host's services library (the CPerlinNoise family)")
set(ZOLVA_ABI_CHECK_LIBRARY "host_abi_check.dll")

find_program(ZOLVA_HOST_MODE_CXX NAMES clang++ clang REQUIRED
    DOC "clang, which compiles in the host compiler's mode with --target=i686-pc-windows-msvc")
find_program(ZOLVA_LLD_LINK NAMES lld-link REQUIRED)
find_program(ZOLVA_DLLTOOL NAMES i686-w64-mingw32-dlltool REQUIRED)
find_program(ZOLVA_OBJDUMP NAMES i686-w64-mingw32-objdump REQUIRED)

set(HOST_NAMES_DIR ${CMAKE_BINARY_DIR}/host_names)
file(MAKE_DIRECTORY ${HOST_NAMES_DIR})
set(HOST_HEADERS ${CMAKE_SOURCE_DIR}/host/hpi.h ${CMAKE_SOURCE_DIR}/host/hpi_win.h ${CMAKE_SOURCE_DIR}/host/perlin.h)
set(PERLIN_CALLS ${CMAKE_SOURCE_DIR}/cmake/host_names/perlin_calls.cpp)
# The host's mode: 32-bit, the Microsoft C++ ABI, no standard library of its own.
set(HOST_MODE_FLAGS --target=i686-pc-windows-msvc -ffreestanding -fno-exceptions -O1)

# Done when CMake configures, so that every target sees finished files; a change to the
# host headers or to the pairing makes CMake configure again.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
    ${HOST_HEADERS} ${PERLIN_CALLS} ${CMAKE_SOURCE_DIR}/cmake/host_names.cmake)

function(zolva_run)
    execute_process(COMMAND ${ARGV} RESULT_VARIABLE status ERROR_VARIABLE errors OUTPUT_VARIABLE output)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "${ARGV}\nfailed (${status}):\n${output}${errors}")
    endif()
endfunction()

zolva_run(${ZOLVA_HOST_MODE_CXX} ${HOST_MODE_FLAGS} -I${CMAKE_SOURCE_DIR} -c ${PERLIN_CALLS}
          -o ${HOST_NAMES_DIR}/perlin_calls_host.obj)
zolva_run(${CMAKE_CXX_COMPILER} -O1 -fno-exceptions -I${CMAKE_SOURCE_DIR} -c ${PERLIN_CALLS}
          -o ${HOST_NAMES_DIR}/perlin_calls_ours.obj)
zolva_run(${CMAKE_COMMAND} -DOBJDUMP=${ZOLVA_OBJDUMP}
          -DHOST_OBJECT=${HOST_NAMES_DIR}/perlin_calls_host.obj
          -DOUR_OBJECT=${HOST_NAMES_DIR}/perlin_calls_ours.obj
          -DSOURCE_DIR=${CMAKE_SOURCE_DIR} -DOUT_DIR=${HOST_NAMES_DIR}
          -DINTERFACE_LIBRARY=${ZOLVA_HOST_INTERFACE_LIBRARY}
          -DSERVICES_LIBRARY=${ZOLVA_HOST_SERVICES_LIBRARY}
          -DCHECK_LIBRARY=${ZOLVA_ABI_CHECK_LIBRARY}
          -P ${CMAKE_SOURCE_DIR}/cmake/host_names.cmake)

# An import library made from one of the generated definition files, as a target.
function(zolva_import_library target def)
    set(library ${HOST_NAMES_DIR}/lib${target}.a)
    zolva_run(${ZOLVA_DLLTOOL} -d ${HOST_NAMES_DIR}/${def} -l ${library})
    add_library(${target} INTERFACE)
    target_link_libraries(${target} INTERFACE ${library})
endfunction()

zolva_import_library(host_interface_imports interface_imports.def)
zolva_import_library(host_services_imports services_imports.def)
zolva_import_library(check_interface_imports check_interface_imports.def)
zolva_import_library(check_services_imports check_services_imports.def)

# The file names without ".dll", for devhost's own libraries, which take the same names.
string(REGEX REPLACE "\\.[dD][lL][lL]$" "" HOST_INTERFACE_BASENAME "${ZOLVA_HOST_INTERFACE_LIBRARY}")
string(REGEX REPLACE "\\.[dD][lL][lL]$" "" HOST_SERVICES_BASENAME "${ZOLVA_HOST_SERVICES_LIBRARY}")
