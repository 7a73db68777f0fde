# How the library's layers are built. Each subsystem folder is an object
# library of its own that sees only what the layers below it export; the
# installed library `vantel` is the objects of all of them in one archive.

# Warnings, and answers that are bit-identical everywhere: no contraction of
# a * b + c into a fused multiply-add, and SSE2 instead of x87 on 32-bit x86.
function(vantel_target_options target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
    -ffp-contract=off
    $<$<BOOL:${VANTEL_WERROR}>:-Werror>)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4 AND CMAKE_SYSTEM_PROCESSOR MATCHES "^(i.86|x86|X86)$")
    target_compile_options(${target} PRIVATE -msse2 -mfpmath=sse)
  endif()
endfunction()

# vantel_export_headers(TARGET [PUBLIC header...] [LAYER header...])
#
# Makes the named headers, and only those, reachable from the targets that
# link TARGET: PUBLIC ones from include/vantel/ as "vantel/NAME.h", LAYER ones
# from the calling folder as "FOLDER/NAME.h". They are offered through a
# folder of links of TARGET's own in the build tree, so that a header a
# subsystem keeps to itself is found by no other subsystem and a wrong include
# fails to compile. Within its own folder a source includes its neighbours by
# their bare names.
function(vantel_export_headers target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "PUBLIC;LAYER")
  set(stage ${PROJECT_BINARY_DIR}/exported/${target})
  file(REMOVE_RECURSE ${stage})
  get_filename_component(folder ${CMAKE_CURRENT_SOURCE_DIR} NAME)
  foreach(header IN LISTS arg_PUBLIC)
    file(MAKE_DIRECTORY ${stage}/vantel)
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/include/vantel/${header} ${stage}/vantel/${header} SYMBOLIC)
  endforeach()
  foreach(header IN LISTS arg_LAYER)
    file(MAKE_DIRECTORY ${stage}/${folder})
    file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR}/${header} ${stage}/${folder}/${header} SYMBOLIC)
  endforeach()
  file(MAKE_DIRECTORY ${stage})
  target_include_directories(${target} PUBLIC $<BUILD_INTERFACE:${stage}>)
endfunction()

# vantel_add_layer(NAME SOURCES... ) adds the object library vantel_NAME.
function(vantel_add_layer name)
  add_library(vantel_${name} OBJECT ${ARGN})
  vantel_target_options(vantel_${name})
  set_property(GLOBAL APPEND PROPERTY VANTEL_LAYERS vantel_${name})
endfunction()
