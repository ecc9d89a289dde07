# quillon_hide_internals(target... [MAP file])
#   A shared library exports only what its public header marks for export:
#   its code is compiled with hidden visibility, and the link keeps every
#   other name local through a version script. The compiler alone does not
#   hide everything: the standard library's templates are declared with
#   default visibility, so their instances in the library (vector, map,
#   string code) would still be exported. The default script keeps every
#   C++ name local, for the libraries whose interface is plain C functions;
#   a library with a C++ interface names its own script with MAP.
#   For a library built from an object library, name both: the visibility
#   applies to the objects, the script to the shared library.
function(quillon_hide_internals)
  cmake_parse_arguments(ARG "" "MAP" "" ${ARGN})
  if(NOT ARG_MAP)
    set(ARG_MAP ${PROJECT_SOURCE_DIR}/cmake/c_interface.map)
  endif()
  foreach(target ${ARG_UNPARSED_ARGUMENTS})
    set_target_properties(${target} PROPERTIES C_VISIBILITY_PRESET hidden CXX_VISIBILITY_PRESET hidden
                          VISIBILITY_INLINES_HIDDEN ON)
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "SHARED_LIBRARY")
      target_link_options(${target} PRIVATE "LINKER:--version-script=${ARG_MAP}")
      set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${ARG_MAP})
    endif()
  endforeach()
endfunction()

# quillon_add_c_library(PREFIX SHARED name SOURCES src... [SHARED_SOURCES src...] [LIBS lib...])
#   A library of plain C functions built once as objects (PREFIX_objects)
#   and linked twice: PREFIX_static for unit tests, which also see its src/
#   headers, and the shared library NAME that exports the functions declared
#   in include/ and hides everything else. SHARED_SOURCES are compiled into
#   the shared library alone (code that runs when it is loaded); LIBS are
#   linked by all three.
function(quillon_add_c_library prefix)
  cmake_parse_arguments(ARG "" "SHARED" "SOURCES;SHARED_SOURCES;LIBS" ${ARGN})
  set(include ${CMAKE_CURRENT_SOURCE_DIR}/include)
  set(src ${CMAKE_CURRENT_SOURCE_DIR}/src)

  add_library(${prefix}_objects OBJECT ${ARG_SOURCES})
  target_include_directories(${prefix}_objects PUBLIC ${include} PRIVATE ${src})
  target_link_libraries(${prefix}_objects PUBLIC ${ARG_LIBS})

  add_library(${prefix}_static STATIC $<TARGET_OBJECTS:${prefix}_objects>)
  target_include_directories(${prefix}_static PUBLIC ${include} INTERFACE ${src})
  target_link_libraries(${prefix}_static PUBLIC ${ARG_LIBS})

  add_library(${ARG_SHARED} SHARED $<TARGET_OBJECTS:${prefix}_objects> ${ARG_SHARED_SOURCES})
  target_include_directories(${ARG_SHARED} PUBLIC ${include} PRIVATE ${src})
  target_link_libraries(${ARG_SHARED} PUBLIC ${ARG_LIBS})
  quillon_hide_internals(${prefix}_objects ${ARG_SHARED})
endfunction()
