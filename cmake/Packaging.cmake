# SPDX-License-Identifier: GPL-3.0-or-later
# Installation into the usual places and a Debian package through CPack.
include(GNUInstallDirs)

foreach(program zr8-setup zr8-sim zr8ctl)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()
if(TARGET zr8-setup)
  install(FILES resources/zr8-setup.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES resources/zr8-setup.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endif()
if(TARGET zr8ctl)
  # Built compressed by ui/cli.
  install(FILES ${PROJECT_BINARY_DIR}/ui/cli/zr8ctl.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES docs/zr8ctl-backup.schema.json docs/zr8ctl-output.schema.json
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/zr8-setup)
  # Where bash-completion looks for a command's completion when it is first asked.
  install(FILES ui/cli/zr8ctl.bash-completion
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME zr8ctl)
endif()
# Under the package's name, where the packaging tools look for it.
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/zr8-setup)

set(CPACK_PACKAGE_NAME zr8-setup)
set(CPACK_PACKAGE_VENDOR "zr8-setup developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Setup tool for the ZR8 telescope-mount controller and its encoders")
set(CPACK_PACKAGE_DESCRIPTION "zr8-setup connects to the ZR8 mount controller over a serial port, \
reads its configuration and both encoders, sets the encoder data format and calibration, \
reverses the motors, moves the mount by hand, switches tracking and stores the settings \
in the controller. zr8ctl does the same from a terminal or a script, and keeps backups of \
the configuration that it can diff and restore. zr8-sim plays a ZR8 on a pseudo-terminal \
for trying the tools without one.")
set(CPACK_PACKAGE_CONTACT "zr8-setup developers <zr8-setup@users.noreply.invalid>")
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The debug information of RelWithDebInfo builds stays out of the package.
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
include(CPack)
