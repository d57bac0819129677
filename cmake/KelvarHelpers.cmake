# Helpers shared by the folders' CMakeLists.

set(KELVAR_WARNINGS -Wall -Wextra)

# kelvar_library(<target> [DEPS <targets or libraries>...])
# A static library of every .cpp file in the calling folder (not its sub-folders).
function(kelvar_library target)
  cmake_parse_arguments(ARG "" "" "DEPS;PRIVATE_DEPS" ${ARGN})
  file(GLOB _sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.c)
  file(GLOB _headers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  add_library(${target} STATIC ${_sources} ${_headers})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
  target_compile_options(${target} PRIVATE ${KELVAR_WARNINGS})
  target_link_libraries(${target} PUBLIC ${ARG_DEPS} Threads::Threads PRIVATE ${ARG_PRIVATE_DEPS})
endfunction()

# kelvar_test(<target> [LIBS <libraries>...] [ENVIRONMENT <VAR=value>...])
# One GoogleTest executable of every .cpp file in the calling folder; each test is a CTest test.
function(kelvar_test target)
  cmake_parse_arguments(ARG "" "" "LIBS;ENVIRONMENT" ${ARGN})
  file(GLOB _sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  add_executable(${target} ${_sources})
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
  target_compile_options(${target} PRIVATE ${KELVAR_WARNINGS})
  target_link_libraries(${target} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main GTest::gmock Threads::Threads)
  target_compile_definitions(${target} PRIVATE KELVAR_TEST_SOURCE_DIR="${PROJECT_SOURCE_DIR}/tests")
  # Tests run through `env` so that several variables reach them (a list would be split apart
  # on its way through test discovery).
  if(ARG_ENVIRONMENT)
    set_property(TARGET ${target} PROPERTY CROSSCOMPILING_EMULATOR env ${ARG_ENVIRONMENT})
  endif()
  gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
endfunction()

# kelvar_check_layers(<folders in dependency order>)
# Fails the configuration when a source file of a folder includes a header of a folder that comes
# after it in the list, or of a folder that is not a library folder at all (tests/, bench/, tools/).
function(kelvar_check_layers folders)
  foreach(folder IN LISTS folders)
    if(NOT EXISTS ${PROJECT_SOURCE_DIR}/${folder}/CMakeLists.txt)
      continue()
    endif()
    list(FIND folders ${folder} _own)
    file(GLOB _files ${PROJECT_SOURCE_DIR}/${folder}/*.h ${PROJECT_SOURCE_DIR}/${folder}/*.cpp
         ${PROJECT_SOURCE_DIR}/${folder}/*.c)
    foreach(_file IN LISTS _files)
      file(STRINGS ${_file} _includes REGEX "^[ \t]*#[ \t]*include[ \t]+\"[^\"]+/[^\"]+\"")
      foreach(_line IN LISTS _includes)
        string(REGEX REPLACE ".*\"([^\"]+)\".*" "\\1" _header "${_line}")
        get_filename_component(_target_folder ${_header} DIRECTORY)
        list(FIND folders ${_target_folder} _used)
        if(_used EQUAL -1 OR _used GREATER _own)
          file(RELATIVE_PATH _rel ${PROJECT_SOURCE_DIR} ${_file})
          message(FATAL_ERROR "${_rel} includes ${_header}: ${folder} may use only folders listed before it")
        endif()
      endforeach()
    endforeach()
  endforeach()
endfunction()
