# The Windows build's packages, made with the program: the program folder (wavlon.exe, a read-me
# and the copyright notice) as the installer build/windows/wavlon-setup.exe (NSIS,
# packaging/windows/wavlon.nsi) and as the portable build/windows/wavlon-<version>-windows-x64.zip.
# Included after src/, once the player target exists; before that there is nothing to pack.
if(NOT TARGET wavlon)
  return()
endif()
find_program(WAVLON_MAKENSIS makensis REQUIRED)

set(stage ${CMAKE_BINARY_DIR}/windows-package/Wavlon)
set(docs ${CMAKE_BINARY_DIR}/windows-package/docs)
# The texts a Windows user opens with Notepad: Windows line ends.
configure_file(${CMAKE_SOURCE_DIR}/packaging/windows/readme.txt.in ${docs}/readme.txt
               @ONLY NEWLINE_STYLE CRLF)
configure_file(${CMAKE_SOURCE_DIR}/resources/desktop/copyright ${docs}/copyright.txt
               @ONLY NEWLINE_STYLE CRLF)

set(setup ${CMAKE_BINARY_DIR}/wavlon-setup.exe)
set(zip_name wavlon-${PROJECT_VERSION}-windows-x64.zip)
set(nsi ${CMAKE_SOURCE_DIR}/packaging/windows/wavlon.nsi)
add_custom_command(OUTPUT ${setup} ${CMAKE_BINARY_DIR}/${zip_name}
    # The program folder, afresh.
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${stage}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${stage}
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:wavlon> ${stage}/wavlon.exe
    # The tests' build keeps its debugging information; what users install does not.
    COMMAND ${CMAKE_STRIP} ${stage}/wavlon.exe
    COMMAND ${CMAKE_COMMAND} -E copy ${docs}/readme.txt ${docs}/copyright.txt ${stage}
    COMMAND ${WAVLON_MAKENSIS} -V2 -NOCD -DVERSION=${PROJECT_VERSION}
            -DVERSION4=${WAVLON_RC_VERSION} -DPUBLISHER=${WAVLON_PUBLISHER}
            -DICON=${WAVLON_ICON} -DPROGRAM_DIR=${stage} -DOUTFILE=${setup} ${nsi}
    COMMAND ${CMAKE_COMMAND} -E tar cf ${CMAKE_BINARY_DIR}/${zip_name} --format=zip Wavlon
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/windows-package
    DEPENDS wavlon $<TARGET_FILE:wavlon> ${nsi} ${WAVLON_ICON} ${docs}/readme.txt
            ${docs}/copyright.txt
    COMMENT "Making wavlon-setup.exe and ${zip_name}" VERBATIM)
add_custom_target(wavlon_windows_packages ALL DEPENDS ${setup} ${CMAKE_BINARY_DIR}/${zip_name})
add_dependencies(wavlon_windows_packages wavlon_icon)
