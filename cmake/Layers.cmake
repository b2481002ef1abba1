# The layers of the sources, bottom to top. A file may include headers of its own layer and of
# the layers below it, never above; only the folders of src/ui may include Qt. The user interface
# is five layers of its own, so its folders cannot include each other in circles either. Used
# when CMake configures and, in script mode, by a test:
#   cmake -DLW_CHECK_ROOT=<folder holding src/> -P cmake/Layers.cmake

set(LW_LAYERS platform base core colour edit formats shell
              ui/common ui/dialogs ui/save ui/services ui/window)
set(LW_FIRST_UI_LAYER ui/common)
# The engine takes its settings as parameters: the layers below shell/ never read a preference,
# so none of their files may include the headers that do, nor the settings store beneath them
# (base/preference_layout.h, which only says where a setting sits in its word, they may; the
# store's own folder includes its header). A layer joins this list once its last read is gone.
set(LW_PREFERENCE_FREE_LAYERS platform core colour edit formats)
set(LW_PREFERENCE_HEADERS base/preferences.h base/settings.h platform/settings_store.h)

# Rank of a path relative to src/, counting from 0 at the bottom; the main files sit above
# every layer; -1 for a folder that is no layer.
function(lw_layer_rank path out)
  list(LENGTH LW_LAYERS top_rank)
  if(path MATCHES "^(main|window_main|manual_main)\\.cpp$")
    set(${out} ${top_rank} PARENT_SCOPE)
    return()
  endif()
  if(path MATCHES "^ui/")
    string(REGEX MATCH "^ui/[^/]+" top "${path}")
  else()
    string(REGEX MATCH "^[^/]+" top "${path}")
  endif()
  list(FIND LW_LAYERS "${top}" rank)
  set(${out} ${rank} PARENT_SCOPE)
endfunction()

# Inside formats/ three levels, bottom to top: the helpers every format may use (formats/common),
# the formats, one folder each, and the flows with the registry (the files of formats/ itself).
# A format knows no other format: what two of them share goes down into formats/common.
# Level of a path relative to src/formats (0 common, 1 a format's folder, 2 the flows) and the
# format's folder in `folder`.
function(lw_formats_level path out folder)
  if(NOT path MATCHES "/")
    set(${out} 2 PARENT_SCOPE)
    set(${folder} "" PARENT_SCOPE)
    return()
  endif()
  string(REGEX MATCH "^[^/]+" top "${path}")
  if(top STREQUAL "common")
    set(${out} 0 PARENT_SCOPE)
  else()
    set(${out} 1 PARENT_SCOPE)
  endif()
  set(${folder} "${top}" PARENT_SCOPE)
endfunction()

# The fault (empty when none) of rel, a file of formats/, including target, another one.
function(lw_formats_fault rel target out)
  set(fault "")
  string(REGEX REPLACE "^formats/" "" from "${rel}")
  string(REGEX REPLACE "^formats/" "" to "${target}")
  lw_formats_level("${from}" from_level from_folder)
  lw_formats_level("${to}" to_level to_folder)
  if(to_level GREATER from_level)
    set(fault "${rel}: includes ${target}, a header of a higher level inside formats/ "
              "(the flows above the formats, the formats above formats/common)")
  elseif(from_level EQUAL 1 AND to_level EQUAL 1 AND NOT from_folder STREQUAL to_folder)
    set(fault "${rel}: includes ${target}, another format's header "
              "(what formats share goes into formats/common)")
  endif()
  string(CONCAT fault ${fault})
  set(${out} "${fault}" PARENT_SCOPE)
endfunction()

# Returns in `out` one line per broken rule found under root/src (empty when all hold).
function(lw_find_layer_faults root out)
  set(faults "")
  file(GLOB_RECURSE files RELATIVE ${root}/src
       ${root}/src/*.cpp ${root}/src/*.h ${root}/src/*.inc)
  list(FIND LW_LAYERS ${LW_FIRST_UI_LAYER} ui_rank)
  foreach(rel IN LISTS files)
    lw_layer_rank("${rel}" rank)
    string(REGEX MATCH "^[^/]+" top "${rel}")
    list(FIND LW_PREFERENCE_FREE_LAYERS "${top}" free_index)
    if(free_index LESS 0)
      set(reads_allowed TRUE)
    else()
      set(reads_allowed FALSE)
    endif()
    if(rank LESS 0)
      list(APPEND faults "${rel}: the folder is not one of the layers (${LW_LAYERS})")
      continue()
    endif()
    file(STRINGS ${root}/src/${rel} lines REGEX "^[ \t]*#[ \t]*include")
    foreach(line IN LISTS lines)
      if(NOT line MATCHES "include[ \t]*[<\"]([^>\"]+)[>\"]")
        continue()
      endif()
      set(target "${CMAKE_MATCH_1}")
      if(target MATCHES "(^|/)\\.\\./")
        list(APPEND faults "${rel}: includes ${target}; name headers from src/, not relative to the file")
      elseif(rank LESS ui_rank AND target MATCHES "^Q[A-Za-z]*($|/)")
        list(APPEND faults "${rel}: includes Qt (${target}), but only the folders of ui/ may")
      elseif(target MATCHES "/")
        lw_layer_rank("${target}" target_rank)
        if(target_rank GREATER rank)
          list(APPEND faults "${rel}: includes ${target}, a header of a higher layer")
        elseif(rel MATCHES "^formats/" AND target MATCHES "^formats/")
          lw_formats_fault("${rel}" "${target}" fault)
          if(fault)
            list(APPEND faults "${fault}")
          endif()
        endif()
      endif()
      list(FIND LW_PREFERENCE_HEADERS "${target}" reader_index)
      string(REGEX MATCH "^[^/]+" target_top "${target}")
      if(NOT reads_allowed AND reader_index GREATER -1 AND NOT target_top STREQUAL top)
        list(APPEND faults "${rel}: includes ${target}; the engine takes its settings as parameters")
      endif()
    endforeach()
  endforeach()
  set(${out} "${faults}" PARENT_SCOPE)
endfunction()

function(lw_check_layers root)
  lw_find_layer_faults(${root} faults)
  if(faults)
    list(JOIN faults "\n  " text)
    message(FATAL_ERROR "layering broken (layers, bottom to top: ${LW_LAYERS}):\n  ${text}")
  endif()
endfunction()

if(CMAKE_SCRIPT_MODE_FILE AND DEFINED LW_CHECK_ROOT)
  lw_check_layers(${LW_CHECK_ROOT})
endif()
