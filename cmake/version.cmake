# What every shipped binary says about itself. The version is the module's own, the
# FILEVERSION of its version resource (res/zolva.rc), which also names the download
# (scripts/package.sh); the manifests' architecture comes from the toolchain. Both are
# written into the manifests and the version resources here, so neither can drift from
# the binaries they describe.
file(STRINGS ${CMAKE_SOURCE_DIR}/res/zolva.rc ZOLVA_FILEVERSION_LINE REGEX "^[ \t]*FILEVERSION[ \t]" LIMIT_COUNT 1)
if(NOT ZOLVA_FILEVERSION_LINE MATCHES "([0-9]+)[ \t]*,[ \t]*([0-9]+)[ \t]*,[ \t]*([0-9]+)[ \t]*,[ \t]*([0-9]+)")
    message(FATAL_ERROR "res/zolva.rc gives no FILEVERSION a,b,c,d")
endif()
set(ZOLVA_VERSION "${CMAKE_MATCH_1}.${CMAKE_MATCH_2}.${CMAKE_MATCH_3}.${CMAKE_MATCH_4}")
set(ZOLVA_VERSION_COMMAS "${CMAKE_MATCH_1},${CMAKE_MATCH_2},${CMAKE_MATCH_3},${CMAKE_MATCH_4}")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/res/zolva.rc)

# The side-by-side loader's names for the image's machine.
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(i[3-6]86|x86)$")
    set(ZOLVA_MANIFEST_ARCHITECTURE x86)
elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$")
    set(ZOLVA_MANIFEST_ARCHITECTURE amd64)
elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^(aarch64|ARM64|arm64)$")
    set(ZOLVA_MANIFEST_ARCHITECTURE arm64)
else()
    message(FATAL_ERROR "no manifest architecture for the processor ${CMAKE_SYSTEM_PROCESSOR}")
endif()

# Generated manifests and the version header, found by windres through the include path.
set(ZOLVA_RESOURCE_DIR ${CMAKE_BINARY_DIR}/resources)
configure_file(res/zolva.manifest.in ${ZOLVA_RESOURCE_DIR}/zolva.manifest @ONLY)
configure_file(devhost/app/devhost.manifest.in ${ZOLVA_RESOURCE_DIR}/devhost.manifest @ONLY)
set(ZOLVA_MANIFEST_NAME ${HOST_INTERFACE_BASENAME})
configure_file(devhost/library.manifest.in ${ZOLVA_RESOURCE_DIR}/interface.manifest @ONLY)
set(ZOLVA_MANIFEST_NAME ${HOST_SERVICES_BASENAME})
configure_file(devhost/library.manifest.in ${ZOLVA_RESOURCE_DIR}/services.manifest @ONLY)
configure_file(devhost/zolva_version.h.in ${ZOLVA_RESOURCE_DIR}/zolva_version.h @ONLY)

# A resource script's binary is made again when a file it names changes.
function(zolva_resource_depends script)
    list(TRANSFORM ARGN PREPEND ${ZOLVA_RESOURCE_DIR}/ OUTPUT_VARIABLE generated)
    set_source_files_properties(${script} PROPERTIES OBJECT_DEPENDS "${generated};${ZOLVA_RESOURCE_DIR}/zolva_version.h")
endfunction()
