# The layer rule: what each folder's sources may include, and no SQL text in the windows.
#
# cmake/LayerRules.cmake holds one kelvar_layer_rule() per source folder; cmake/LayerExceptions.cmake
# the temporary exceptions. kelvar_check_layers() fails the configuration on a breach. The same
# check runs as a script, which prints every breach in the form of an exception line instead:
#   cmake -DKELVAR_SOURCE_DIR=. -P cmake/KelvarLayers.cmake
#
# An include counts when it names a header of this tree, in either form ("..." or <...>): a path
# that starts with a top folder, a path relative to the including file, or a header of the test
# kit ("common/..." means tests/common/...). Other includes (system, Qt, libraries) don't count.

if(CMAKE_SCRIPT_MODE_FILE)
  cmake_minimum_required(VERSION 3.25)
endif()

set(KELVAR_TOP_FOLDERS foundation platform audio media database core controls gui setup encoder tests tools bench)

# kelvar_layer_rule(<folder> [<allowed>...])
# <folder> is a folder of the tree, or "<folder>/*" for a folder and every folder below it (a rule
# of the folder itself wins). <allowed> entries: a folder (its own headers, not those of its
# sub-folders), "<folder>/*" (the folder and everything below it), one header ("media/SongInfo.h"),
# or "*" (anything). A folder may always include its own headers.
function(kelvar_layer_rule folder)
  set_property(GLOBAL APPEND PROPERTY KELVAR_LAYER_FOLDERS "${folder}")
  set_property(GLOBAL PROPERTY "KELVAR_LAYER_RULE_${folder}" "${ARGN}")
endfunction()

# kelvar_layer_exception(<file> <header>)
# A breach that is known and waits for its fix; the check lets exactly this include through.
function(kelvar_layer_exception file header)
  set_property(GLOBAL APPEND PROPERTY KELVAR_LAYER_EXCEPTIONS "${file}|${header}")
endfunction()

# kelvar_sql_exception(<file>)
# A window file that still holds SQL text and waits for its fix.
function(kelvar_sql_exception file)
  set_property(GLOBAL APPEND PROPERTY KELVAR_SQL_EXCEPTIONS "${file}")
endfunction()

# The rule of a folder: its own entry, else the nearest "<parent>/*" entry. Empty with found
# FALSE when there is none.
function(_kelvar_rule_of folder out_rule out_found)
  get_property(_folders GLOBAL PROPERTY KELVAR_LAYER_FOLDERS)
  if("${folder}" IN_LIST _folders)
    get_property(_rule GLOBAL PROPERTY "KELVAR_LAYER_RULE_${folder}")
    set(${out_rule} "${_rule}" PARENT_SCOPE)
    set(${out_found} TRUE PARENT_SCOPE)
    return()
  endif()
  set(_probe "${folder}")
  while(_probe MATCHES "/")
    get_filename_component(_probe "${_probe}" DIRECTORY)
    if("${_probe}/*" IN_LIST _folders)
      get_property(_rule GLOBAL PROPERTY "KELVAR_LAYER_RULE_${_probe}/*")
      set(${out_rule} "${_rule}" PARENT_SCOPE)
      set(${out_found} TRUE PARENT_SCOPE)
      return()
    endif()
  endwhile()
  if("${folder}/*" IN_LIST _folders)
    get_property(_rule GLOBAL PROPERTY "KELVAR_LAYER_RULE_${folder}/*")
    set(${out_rule} "${_rule}" PARENT_SCOPE)
    set(${out_found} TRUE PARENT_SCOPE)
    return()
  endif()
  set(${out_rule} "" PARENT_SCOPE)
  set(${out_found} FALSE PARENT_SCOPE)
endfunction()

# The tree's path of an included header, or empty when it is not a header of this tree.
function(_kelvar_resolve_include root file_dir header out)
  set(${out} "" PARENT_SCOPE)
  string(REGEX MATCH "^[^/]+" _first "${header}")
  if(header MATCHES "/" AND _first IN_LIST KELVAR_TOP_FOLDERS)
    set(${out} "${header}" PARENT_SCOPE)
  elseif(EXISTS "${root}/${file_dir}/${header}")
    get_filename_component(_abs "${root}/${file_dir}/${header}" ABSOLUTE)
    file(RELATIVE_PATH _rel "${root}" "${_abs}")
    set(${out} "${_rel}" PARENT_SCOPE)
  elseif(header MATCHES "/" AND EXISTS "${root}/tests/${header}")
    set(${out} "tests/${header}" PARENT_SCOPE)
  endif()
endfunction()

# True when the rule lets the folder include the header.
function(_kelvar_allowed folder rule header out)
  get_filename_component(_header_dir "${header}" DIRECTORY)
  if(_header_dir STREQUAL folder)
    set(${out} TRUE PARENT_SCOPE)
    return()
  endif()
  foreach(_entry IN LISTS rule)
    if(_entry STREQUAL "*" OR _entry STREQUAL header OR _entry STREQUAL _header_dir)
      set(${out} TRUE PARENT_SCOPE)
      return()
    endif()
    if(_entry MATCHES "^(.*)/\\*$")
      set(_base "${CMAKE_MATCH_1}")
      string(LENGTH "${_base}/" _length)
      string(SUBSTRING "${header}" 0 ${_length} _start)
      if(_start STREQUAL "${_base}/")
        set(${out} TRUE PARENT_SCOPE)
        return()
      endif()
    endif()
  endforeach()
  set(${out} FALSE PARENT_SCOPE)
endfunction()

# Every source file of the tree, relative to root (build folders and hidden folders left out).
function(_kelvar_source_files root out)
  set(_globs)
  foreach(_top IN LISTS KELVAR_TOP_FOLDERS)
    list(APPEND _globs "${root}/${_top}/*.h" "${root}/${_top}/*.hpp" "${root}/${_top}/*.cpp" "${root}/${_top}/*.c")
  endforeach()
  file(GLOB_RECURSE _files RELATIVE "${root}" ${_globs})
  list(SORT _files)
  set(${out} "${_files}" PARENT_SCOPE)
endfunction()

# Breaches of the layer rule, each "<file>|<header>"; files of folders without a rule are listed
# as "<file>|(no rule for <folder>)".
function(_kelvar_layer_breaches root out)
  _kelvar_source_files("${root}" _files)
  set(_breaches)
  foreach(_file IN LISTS _files)
    get_filename_component(_dir "${_file}" DIRECTORY)
    _kelvar_rule_of("${_dir}" _rule _found)
    if(NOT _found)
      list(APPEND _breaches "${_file}|(no rule for ${_dir})")
      continue()
    endif()
    file(STRINGS "${root}/${_file}" _lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"][^>\"]+[>\"]")
    foreach(_line IN LISTS _lines)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[<\"]([^>\"]+)[>\"].*" "\\1" _header "${_line}")
      _kelvar_resolve_include("${root}" "${_dir}" "${_header}" _path)
      if(NOT _path)
        continue()
      endif()
      _kelvar_allowed("${_dir}" "${_rule}" "${_path}" _ok)
      if(NOT _ok)
        list(APPEND _breaches "${_file}|${_path}")
      endif()
    endforeach()
  endforeach()
  set(${out} "${_breaches}" PARENT_SCOPE)
endfunction()

# Window files with SQL text: a string literal that holds a statement (SELECT ... FROM, INSERT
# INTO, UPDATE ... SET, DELETE FROM) or starts with a statement's keyword.
function(_kelvar_sql_files root out)
  file(GLOB_RECURSE _files RELATIVE "${root}" "${root}/gui/*.h" "${root}/gui/*.cpp")
  list(SORT _files)
  # Inside a literal: after whole literals only, an opening quote and no closing one yet.
  set(_literal "^([^\"]*\"[^\"]*\")*[^\"]*\"")
  set(_found)
  foreach(_file IN LISTS _files)
    file(STRINGS "${root}/${_file}" _hits
         REGEX "${_literal}([^\"]*(SELECT [^\"]*FROM|INSERT INTO |UPDATE [A-Za-z_]+ SET |DELETE FROM )|(SELECT|INSERT|UPDATE|DELETE) )")
    if(_hits)
      list(APPEND _found "${_file}")
    endif()
  endforeach()
  set(${out} "${_found}" PARENT_SCOPE)
endfunction()

# kelvar_check_layers(<root>)
# Fails the configuration on a breach of the layer rule or on SQL text in a window file that is
# not a listed exception; also fails on an exception that no longer matches anything, so that the
# list only shrinks.
function(kelvar_check_layers root)
  _kelvar_layer_breaches("${root}" _breaches)
  get_property(_exceptions GLOBAL PROPERTY KELVAR_LAYER_EXCEPTIONS)
  set(_errors)
  foreach(_breach IN LISTS _breaches)
    if(NOT _breach IN_LIST _exceptions)
      string(REPLACE "|" " includes " _text "${_breach}")
      list(APPEND _errors "${_text}")
    endif()
  endforeach()
  foreach(_exception IN LISTS _exceptions)
    if(NOT _exception IN_LIST _breaches)
      string(REPLACE "|" " -> " _text "${_exception}")
      list(APPEND _errors "stale layer exception (remove it from cmake/LayerExceptions.cmake): ${_text}")
    endif()
  endforeach()
  _kelvar_sql_files("${root}" _sql)
  get_property(_sql_exceptions GLOBAL PROPERTY KELVAR_SQL_EXCEPTIONS)
  foreach(_file IN LISTS _sql)
    if(NOT _file IN_LIST _sql_exceptions)
      list(APPEND _errors "${_file} holds SQL text: windows call the song database layer's operations")
    endif()
  endforeach()
  foreach(_file IN LISTS _sql_exceptions)
    if(NOT _file IN_LIST _sql)
      list(APPEND _errors "stale SQL exception (remove it from cmake/LayerExceptions.cmake): ${_file}")
    endif()
  endforeach()
  if(_errors)
    list(JOIN _errors "\n  " _message)
    message(FATAL_ERROR "Layer rule (cmake/LayerRules.cmake) broken:\n  ${_message}")
  endif()
endfunction()

# As a script: print every breach as an exception line, or with -DKELVAR_CHECK=ON run the check
# itself (the test "layer_rules" does, so that a breach added without a new configuration fails too).
if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  if(NOT KELVAR_SOURCE_DIR)
    get_filename_component(KELVAR_SOURCE_DIR "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
  endif()
  get_filename_component(KELVAR_SOURCE_DIR "${KELVAR_SOURCE_DIR}" ABSOLUTE)
  include("${CMAKE_CURRENT_LIST_DIR}/LayerRules.cmake")
  if(KELVAR_CHECK)
    kelvar_check_layers("${KELVAR_SOURCE_DIR}")
    return()
  endif()
  _kelvar_layer_breaches("${KELVAR_SOURCE_DIR}" _breaches)
  foreach(_breach IN LISTS _breaches)
    string(REPLACE "|" " " _args "${_breach}")
    message("kelvar_layer_exception(${_args})")
  endforeach()
  _kelvar_sql_files("${KELVAR_SOURCE_DIR}" _sql)
  foreach(_file IN LISTS _sql)
    message("kelvar_sql_exception(${_file})")
  endforeach()
endif()
