# What the Windows build links, made from source with the cross-compiler: Debian ships these
# libraries built for Linux only. Everything the system provides (MCI and the mixer in winmm,
# WinHTTP, WinINet, the shell's folder dialog) comes from mingw-w64's import libraries.
find_package(Threads REQUIRED)

# GoogleTest from the source that Debian's libgtest-dev installs.
if(WAVLON_BUILD_TESTS)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  # It defines the GTest:: names itself.
endif()

# Duktape, the script engine: its amalgamated source ships in Debian's duktape-dev.
add_library(wavlon_duktape STATIC /usr/share/duktape/duktape.c)
target_include_directories(wavlon_duktape SYSTEM PUBLIC /usr/share/duktape)
add_library(PkgConfig::DUKTAPE ALIAS wavlon_duktape)

# PCRE2, the expression engine: the upstream source of Debian's pcre2 package, fetched once
# per build folder (scripts/fetch-debian-source.sh).
set(source_dir ${CMAKE_BINARY_DIR}/_sources)
if(NOT EXISTS ${source_dir}/pcre2.path)
  execute_process(
      COMMAND ${CMAKE_SOURCE_DIR}/scripts/fetch-debian-source.sh pcre2 ${source_dir}
      RESULT_VARIABLE fetched)
  if(NOT fetched EQUAL 0)
    message(FATAL_ERROR "The source of Debian's pcre2 could not be fetched")
  endif()
endif()
file(READ ${source_dir}/pcre2.path pcre2_dir)
string(STRIP "${pcre2_dir}" pcre2_dir)
set(PCRE2_BUILD_PCRE2GREP OFF CACHE BOOL "" FORCE)
set(PCRE2_BUILD_TESTS OFF CACHE BOOL "" FORCE)
set(PCRE2_SUPPORT_UNICODE ON CACHE BOOL "" FORCE)
set(PCRE2_SUPPORT_JIT OFF CACHE BOOL "" FORCE)
add_subdirectory(${pcre2_dir} ${CMAKE_BINARY_DIR}/pcre2 EXCLUDE_FROM_ALL SYSTEM)
add_library(PkgConfig::PCRE2 ALIAS pcre2-8-static)
