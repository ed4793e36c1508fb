# One static library per source folder: every .cpp of the folder belongs to it.
# A folder without sources yet becomes an interface library with the same dependencies.
# Usage: wavlon_layer(<target> <folder> [EXCLUDE files...] [DEPENDS deps...])
function(wavlon_layer name dir)
  cmake_parse_arguments(arg "" "" "DEPENDS;EXCLUDE" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.cpp)
  foreach(excluded ${arg_EXCLUDE})
    list(REMOVE_ITEM sources ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/${excluded})
  endforeach()
  if(sources)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${arg_DEPENDS})
    wavlon_warnings(${name})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${CMAKE_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE ${arg_DEPENDS})
  endif()
endfunction()

# One test executable per layer: every .cpp of the test folder, linked with GoogleTest's main.
# In a Windows build, ONLY names the folder's files that hold there, and the folder's win/
# subfolder adds the tests of the Windows implementations.
# Usage: wavlon_test_suite(<target> <folder> [LABELS labels...] [SOURCES more.cpp...]
#                          [ONLY files...] DEPENDS deps...)
function(wavlon_test_suite name dir)
  cmake_parse_arguments(arg "" "" "DEPENDS;FIXTURES;LABELS;SOURCES;ONLY" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.cpp)
  if(WIN32)
    list(TRANSFORM arg_ONLY PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/)
    file(GLOB windows_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/win/*.cpp)
    set(sources ${arg_ONLY} ${windows_sources})
  endif()
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources} ${arg_SOURCES})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${arg_DEPENDS} wavlon_test_support
                        GTest::gtest_main GTest::gmock)
  wavlon_warnings(${name})
  # Where the tests' helper scripts live (not __FILE__: ccache makes source paths relative).
  target_compile_definitions(${name} PRIVATE WAVLON_TESTS_DIR="${CMAKE_SOURCE_DIR}/tests")
  add_test(NAME ${name} COMMAND ${name} --gtest_color=no)
  # Every suite has a sound server of its own (FIXTURES pulse starts one with a null sink), so
  # suites running side by side never see each other's volume, mute or streams. A suite
  # without it points at a folder where nothing answers: it cannot reach another's server.
  set(pulse_dir ${WAVLON_PULSE_DIR}/${name})
  set_tests_properties(${name} PROPERTIES
      ENVIRONMENT "QT_QPA_PLATFORM=offscreen;WAVLON_TEST_DATA=${CMAKE_SOURCE_DIR}/tests/data;PULSE_SERVER=unix:${pulse_dir}/native"
      TIMEOUT 900)
  if("pulse" IN_LIST arg_FIXTURES)
    list(REMOVE_ITEM arg_FIXTURES pulse)
    add_test(NAME ${name}_pulse_start
             COMMAND ${CMAKE_SOURCE_DIR}/scripts/pulse-fixture.sh start ${pulse_dir})
    add_test(NAME ${name}_pulse_stop
             COMMAND ${CMAKE_SOURCE_DIR}/scripts/pulse-fixture.sh stop ${pulse_dir})
    set_tests_properties(${name}_pulse_start PROPERTIES FIXTURES_SETUP pulse_${name})
    set_tests_properties(${name}_pulse_stop PROPERTIES FIXTURES_CLEANUP pulse_${name})
    list(APPEND arg_FIXTURES pulse_${name})
  endif()
  if(arg_FIXTURES)
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED "${arg_FIXTURES}")
  endif()
  if(arg_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${arg_LABELS}")
  endif()
endfunction()
