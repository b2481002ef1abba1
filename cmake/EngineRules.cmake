# The engine (everything but src/ui) is plain C++: batch mode and the
# engine tests must run without a display, so no engine file may include Qt or link it, and no
# file may include a header of a layer above its own (Layers.cmake).

set(LW_ENGINE_TARGETS "")

function(lw_engine_library name dir)
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS
       ${PROJECT_SOURCE_DIR}/${dir}/*.cpp ${PROJECT_SOURCE_DIR}/${dir}/*.h)
  # Folders named *_module hold run-time modules, built as libraries of their own.
  list(FILTER sources EXCLUDE REGEX "/[^/]+_module/")
  # A folder without code yet still gives a library, so the others can link it.
  set(placeholder ${PROJECT_BINARY_DIR}/generated/${name}_placeholder.cpp)
  file(WRITE ${placeholder} "// ${name}\n")
  add_library(${name} STATIC ${sources} ${placeholder})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  set(LW_ENGINE_TARGETS ${LW_ENGINE_TARGETS} ${name} PARENT_SCOPE)
endfunction()

include(${CMAKE_CURRENT_LIST_DIR}/Layers.cmake)

function(lw_check_engine_has_no_qt)
  lw_check_layers(${PROJECT_SOURCE_DIR})
  foreach(t IN LISTS LW_ENGINE_TARGETS)
    get_target_property(libs ${t} LINK_LIBRARIES)
    if(libs AND "${libs}" MATCHES "Qt")
      message(FATAL_ERROR "engine target ${t} links Qt")
    endif()
  endforeach()
endfunction()
