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
