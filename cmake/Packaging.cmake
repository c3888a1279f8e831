# SPDX-License-Identifier: GPL-3.0-or-later
# Installation into the usual places and a Debian package through CPack.
include(GNUInstallDirs)

foreach(program zr8-setup zr8-sim zr8ctl zr8-alpaca)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT main)
  endif()
endforeach()
# The INDI driver is a package of its own, so that the tool never pulls in
# libindi: zr8-indi, with the entry that lists it under "Telescopes".
if(TARGET indi_zr8_telescope)
  install(TARGETS indi_zr8_telescope RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT indi)
  install(FILES ${PROJECT_BINARY_DIR}/ui/indi/indi_zr8.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/indi COMPONENT indi)
endif()
if(TARGET zr8-setup)
  install(FILES resources/zr8-setup.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications
          COMPONENT main)
  install(FILES resources/zr8-setup.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT main)
endif()
if(TARGET zr8ctl)
  # Built compressed by ui/cli.
  install(FILES ${PROJECT_BINARY_DIR}/ui/cli/zr8ctl.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
          COMPONENT main)
  install(FILES docs/zr8ctl-backup.schema.json docs/zr8ctl-output.schema.json
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/zr8-setup COMPONENT main)
  # Where bash-completion looks for a command's completion when it is first asked.
  install(FILES ui/cli/zr8ctl.bash-completion
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME zr8ctl
          COMPONENT main)
endif()
if(TARGET zr8-alpaca)
  install(FILES ${PROJECT_BINARY_DIR}/ui/alpaca/zr8-alpaca.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
          COMPONENT main)
endif()
# Under the package's name, where the packaging tools look for it.
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/zr8-setup COMPONENT main)
if(TARGET indi_zr8_telescope)
  install(FILES README.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/zr8-indi COMPONENT indi)
endif()

# The releases, newest first, from CHANGELOG.md's "## [X.Y.Z] - YYYY-MM-DD"
# headings. The project version above is the one place a version is set:
# the newest release in the changelog must be it.
file(STRINGS ${PROJECT_SOURCE_DIR}/CHANGELOG.md zr8_release_headings
     REGEX "^## \\[[0-9]+\\.[0-9]+\\.[0-9]+\\] - [0-9]+-[0-9]+-[0-9]+$")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/CHANGELOG.md)
set(zr8_releases "")
set(zr8_newest_release "")
foreach(heading ${zr8_release_headings})
  string(REGEX REPLACE "^## \\[([0-9.]+)\\] - ([0-9-]+)$" "\\1;\\2" release "${heading}")
  list(GET release 0 version)
  list(GET release 1 date)
  if(NOT zr8_newest_release)
    set(zr8_newest_release ${version})
  endif()
  string(APPEND zr8_releases "    <release version=\"${version}\" date=\"${date}\"/>\n")
endforeach()
if(NOT zr8_newest_release VERSION_EQUAL PROJECT_VERSION)
  message(FATAL_ERROR "CHANGELOG.md's newest release is '${zr8_newest_release}', the project's "
          "version ${PROJECT_VERSION}: give the version its section (see the README's Changelog)")
endif()

# AppStream metadata, for software centres; its releases from the changelog.
file(READ ${PROJECT_SOURCE_DIR}/resources/zr8-setup.metainfo.xml zr8_metainfo)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${PROJECT_SOURCE_DIR}/resources/zr8-setup.metainfo.xml)
string(REGEX REPLACE "  <!-- @RELEASES@[^\n]*-->\n" "  <releases>\n${zr8_releases}  </releases>\n"
       zr8_metainfo "${zr8_metainfo}")
file(GENERATE OUTPUT ${PROJECT_BINARY_DIR}/zr8-setup.metainfo.xml CONTENT "${zr8_metainfo}")
if(TARGET zr8-setup)
  install(FILES ${PROJECT_BINARY_DIR}/zr8-setup.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo
          RENAME example.velmora.zr8setup.metainfo.xml COMPONENT main)
endif()

# The licence and the changelog, as every Debian package carries them.
set(ZR8_CHANGELOG_GZ ${PROJECT_BINARY_DIR}/changelog.gz)
add_custom_command(OUTPUT ${ZR8_CHANGELOG_GZ}
  COMMAND gzip -9 -n -c ${PROJECT_SOURCE_DIR}/CHANGELOG.md > ${ZR8_CHANGELOG_GZ}
  DEPENDS ${PROJECT_SOURCE_DIR}/CHANGELOG.md
  VERBATIM)
add_custom_target(zr8_changelog ALL DEPENDS ${ZR8_CHANGELOG_GZ})
install(FILES resources/debian/copyright ${ZR8_CHANGELOG_GZ}
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/zr8-setup COMPONENT main)
if(TARGET indi_zr8_telescope)
  install(FILES resources/debian/copyright ${ZR8_CHANGELOG_GZ}
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/zr8-indi COMPONENT indi)
endif()

set(CPACK_PACKAGE_NAME zr8-setup)
set(CPACK_PACKAGE_VENDOR "zr8-setup developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Setup tool for the ZR8 telescope-mount controller and its encoders")
set(CPACK_PACKAGE_DESCRIPTION "zr8-setup connects to the ZR8 mount controller over a serial port, \
reads its configuration and both encoders, sets the encoder data format and calibration, \
reverses the motors, moves the mount by hand, switches tracking and stores the settings \
in the controller. zr8ctl does the same from a terminal or a script, and keeps backups of \
the configuration that it can diff and restore. zr8-alpaca serves the ZR8 as an ASCOM \
Alpaca telescope to N.I.N.A. and other Alpaca clients. zr8-sim plays a ZR8 on a \
pseudo-terminal for trying the tools without one.")
set(CPACK_PACKAGE_CONTACT "zr8-setup developers <zr8-setup@users.noreply.invalid>")
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The debug information of RelWithDebInfo builds stays out of the package.
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")

# One .deb per component: zr8-setup (the tool, zr8ctl, zr8-alpaca, zr8-sim) and, where
# the driver is built, zr8-indi. Each one's Depends come from its own files.
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL main)
set(CPACK_DEBIAN_MAIN_PACKAGE_NAME zr8-setup)
set(CPACK_DEBIAN_MAIN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_MAIN_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION_SUMMARY}\n${CPACK_PACKAGE_DESCRIPTION}")
if(TARGET indi_zr8_telescope)
  list(APPEND CPACK_COMPONENTS_ALL indi)
  set(CPACK_DEBIAN_INDI_PACKAGE_NAME zr8-indi)
  set(CPACK_DEBIAN_INDI_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_INDI_PACKAGE_SECTION science)
  set(CPACK_DEBIAN_INDI_PACKAGE_RECOMMENDS "indi-bin")
  set(CPACK_DEBIAN_INDI_DESCRIPTION "INDI driver for the ZR8 telescope-mount controller
indi_zr8_telescope makes a mount driven by the ZR8 usable from KStars/Ekos and
every other INDI client: goto with meridian flip, sync, abort, manual motion,
tracking, pier side, and the controller's setup (encoder format, calibration,
motor reverse, store) from a distance.")
endif()
# Each package's own first line stands as its summary; a global one would
# come before it.
unset(CPACK_PACKAGE_DESCRIPTION_SUMMARY)
include(CPack)
