# Installation and the Debian package: `cpack -G DEB` in a build folder (`make package`).
#
# Installs the player, its desktop entry, icons, AppStream data, manual page and the Debian
# documentation files; the song service and its systemd user units (the socket enabled for
# every user) when the project has them.
include(GNUInstallDirs)

set(WAVLON_MAINTAINER "Wavlon developers <wavlon@packages.invalid>")
# Date of this version, for the AppStream release, the manual page and the Debian changelog.
set(WAVLON_RELEASE_DATE "2026-12-08")
set(WAVLON_RELEASE_TIME "Tue, 08 Dec 2026 12:00:00 +0000")

set(desktop_src ${CMAKE_SOURCE_DIR}/resources/desktop)
set(desktop_out ${CMAKE_BINARY_DIR}/desktop)
configure_file(${desktop_src}/wavlon.desktop.in ${desktop_out}/${WAVLON_APP_ID}.desktop @ONLY)
configure_file(${desktop_src}/wavlon.metainfo.xml.in
               ${desktop_out}/${WAVLON_APP_ID}.metainfo.xml @ONLY)
configure_file(${desktop_src}/changelog ${desktop_out}/changelog @ONLY)

# Debian wants compressed manual pages and changelogs without a time stamp in them.
foreach(file wavlon.1 wavlon-songd.1 changelog)
  if(file STREQUAL "changelog")
    set(input ${desktop_out}/changelog)
  else()
    set(input ${desktop_src}/${file})
  endif()
  add_custom_command(OUTPUT ${desktop_out}/${file}.gz
                     COMMAND sh -c "gzip -9nc '${input}' > '${desktop_out}/${file}.gz'"
                     DEPENDS ${input} VERBATIM)
  list(APPEND compressed ${desktop_out}/${file}.gz)
endforeach()
add_custom_target(wavlon_compressed_docs ALL DEPENDS ${compressed})

install(TARGETS wavlon RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The modules the player loads on first use, where it looks for them relative to itself.
install(TARGETS wavlon_media wavlon_net LIBRARY DESTINATION ${WAVLON_MODULE_INSTALL_DIR})
install(FILES ${desktop_out}/${WAVLON_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${desktop_out}/${WAVLON_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${CMAKE_SOURCE_DIR}/resources/icons/wavlon.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${WAVLON_APP_ID}.svg)
foreach(size ${WAVLON_ICON_SIZES})
  install(FILES ${CMAKE_SOURCE_DIR}/resources/icons/wavlon-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME ${WAVLON_APP_ID}.png)
endforeach()
install(FILES ${desktop_out}/wavlon.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${desktop_src}/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
# A version without a Debian revision makes a native package, whose changelog is changelog.gz.
install(FILES ${desktop_out}/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})

if(TARGET wavlon-songd)
  install(TARGETS wavlon-songd RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${desktop_out}/wavlon-songd.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
if(EXISTS ${CMAKE_SOURCE_DIR}/resources/wavlon-songd.service)
  # @CMAKE_INSTALL_FULL_BINDIR@ in the unit becomes the installed program's folder.
  configure_file(${CMAKE_SOURCE_DIR}/resources/wavlon-songd.service
                 ${desktop_out}/wavlon-songd.service @ONLY)
  install(FILES ${desktop_out}/wavlon-songd.service ${CMAKE_SOURCE_DIR}/resources/wavlon-songd.socket
          DESTINATION lib/systemd/user)
  # The socket enabled for every user, as `systemctl --global enable` would: the first search
  # of the player starts the service.
  install(CODE "
    set(wants \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/lib/systemd/user/sockets.target.wants\")
    file(MAKE_DIRECTORY \"\${wants}\")
    file(CREATE_LINK ../wavlon-songd.socket \"\${wants}/wavlon-songd.socket\" SYMBOLIC)")
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME wavlon)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Wavlon developers")
set(CPACK_PACKAGE_CONTACT ${WAVLON_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "small MP3 player with an online song search")
# The long description; CPack puts the summary above it and indents its lines.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Wavlon plays the MP3 files of one music folder in a single window: a track
list, play, pause, stop, previous and next, a progress slider, the system
volume, a clock and a countdown that powers the computer off. An online song
search plays the songs it finds and adds them to the list. Media keys and the
desktop's sound controls drive the player.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${WAVLON_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Loaded at run time, so invisible to shlibdeps: GStreamer's MP3 decoding and sound output,
# the fonts that stand in for the window's faces, the song service's Chinese conversion tables.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "gstreamer1.0-plugins-base, gstreamer1.0-plugins-good, fonts-arphic-uming, fonts-arphic-ukai, fonts-wqy-microhei, libopencc-data")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "fcitx5-frontend-qt6 | ibus, qt6-wayland, qt6-translations-l10n, fonts-noto-cjk, ca-certificates")
include(CPack)
