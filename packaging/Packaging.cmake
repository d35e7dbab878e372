# Installation and the Debian package:
#   cmake --build build && cmake --install build --prefix ~/.local
#   (cd build && cpack -G DEB)    # lidar-waveform_<version>_<arch>.deb
include(GNUInstallDirs)

# Installing and packaging take what was built; they never start a build of
# every target (tests and benchmarks included) themselves.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

install(TARGETS lidar-waveform lidar-cli lidar-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(PROGRAMS ${CMAKE_SOURCE_DIR}/packaging/lidar-waveform-desktop DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_SOURCE_DIR}/packaging/lidar-waveform.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size 16 32)
  install(FILES ${CMAKE_SOURCE_DIR}/resources/images/lidar-waveform-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME lidar-waveform.png)
endforeach()
install(FILES ${CMAKE_SOURCE_DIR}/packaging/lidar-waveform.1 ${CMAKE_SOURCE_DIR}/packaging/lidar-cli.1
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# Where bash-completion looks on demand, under the command's name.
install(FILES ${CMAKE_SOURCE_DIR}/packaging/lidar-cli.bash-completion
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME lidar-cli)
# Debian looks for the copyright under the package's name, not the project's.
install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/lidar-waveform)

set(CPACK_PACKAGE_NAME lidar-waveform)
set(CPACK_PACKAGE_VENDOR "Lidar waveform tool")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Test and calibration tool for a time-of-flight lidar distance sensor")
set(CPACK_PACKAGE_CONTACT "Lidar waveform tool <support@lidar-waveform.example.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
# The libraries (Qt 5 with its serial port module, QCustomPlot) come from the
# binaries; the rest is what they load or show at run time. Qt loads its
# database drivers as plugins, which no binary links: the SQLite one keeps the
# results by default, the PostgreSQL one only a shared store needs.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-wqy-microhei, qttranslations5-l10n, libqt5sql5-sqlite")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libqt5sql5-psql")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Shows a lidar distance sensor's measurements live, records and plays back\ncurves, and downloads firmware over a USB serial bridge. Includes lidar-cli,\nthe same from a terminal or a script, and lidar-sim, a sensor simulator on a\npseudo-terminal.")
include(CPack)
