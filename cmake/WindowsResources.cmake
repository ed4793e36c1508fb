# The Windows build's program resources: the icon (resources/icons' PNGs in one .ico, made by
# scripts/make-ico.py), the version information and the application manifest
# (src/wavlon.rc.in, src/wavlon.exe.manifest.in).
# Included once at the top level (resource compiling must be switched on at file scope); then
#   wavlon_windows_resources(<target>)
# gives a program target the resources.
enable_language(RC)

set(WAVLON_PUBLISHER "The Wavlon developers")
set(WAVLON_COPYRIGHT_YEAR 2026)
# The version in four numbers, as Windows keeps it: 0.1 is 0.1.0.0.
set(WAVLON_RC_VERSION_PARTS ${PROJECT_VERSION_MAJOR} ${PROJECT_VERSION_MINOR}
    ${PROJECT_VERSION_PATCH} ${PROJECT_VERSION_TWEAK})
list(TRANSFORM WAVLON_RC_VERSION_PARTS REPLACE "^$" "0")
list(LENGTH WAVLON_RC_VERSION_PARTS parts)
while(parts LESS 4)
  list(APPEND WAVLON_RC_VERSION_PARTS 0)
  math(EXPR parts "${parts} + 1")
endwhile()
list(JOIN WAVLON_RC_VERSION_PARTS "." WAVLON_RC_VERSION)
list(JOIN WAVLON_RC_VERSION_PARTS "," WAVLON_RC_VERSION_COMMAS)

# The icon, which the installer shows too.
set(WAVLON_ICON ${CMAKE_BINARY_DIR}/windows-resources/wavlon.ico)
set(icon_pngs "")
foreach(size ${WAVLON_ICON_SIZES})
  list(APPEND icon_pngs ${CMAKE_SOURCE_DIR}/resources/icons/wavlon-${size}.png)
endforeach()
find_package(Python3 REQUIRED COMPONENTS Interpreter)
add_custom_command(OUTPUT ${WAVLON_ICON}
    COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/scripts/make-ico.py ${WAVLON_ICON}
            ${icon_pngs}
    DEPENDS ${icon_pngs} ${CMAKE_SOURCE_DIR}/scripts/make-ico.py
    COMMENT "Making wavlon.ico" VERBATIM)
add_custom_target(wavlon_icon DEPENDS ${WAVLON_ICON})

function(wavlon_windows_resources target)
  set(dir ${CMAKE_BINARY_DIR}/windows-resources)
  set(WAVLON_RC_ICON ${WAVLON_ICON})
  set(WAVLON_RC_MANIFEST ${dir}/${target}.exe.manifest)
  configure_file(${CMAKE_SOURCE_DIR}/src/wavlon.exe.manifest.in ${WAVLON_RC_MANIFEST} @ONLY)
  configure_file(${CMAKE_SOURCE_DIR}/src/wavlon.rc.in ${dir}/${target}.rc @ONLY)
  # An object library of its own, so that the program's compiler options (the warnings) do not
  # reach the resource compiler; its object is linked into the program.
  add_library(${target}_resources OBJECT ${dir}/${target}.rc)
  set_source_files_properties(${dir}/${target}.rc PROPERTIES
      OBJECT_DEPENDS "${WAVLON_ICON};${WAVLON_RC_MANIFEST}")
  add_dependencies(${target}_resources wavlon_icon)
  target_link_libraries(${target} PRIVATE ${target}_resources)
endfunction()
