# Installing the magazine as a desktop program, and its Debian package.
#   cmake --install build [--prefix DIR]     (DESTDIR is honoured)
#   cpack -G DEB (in build/)                 quellmark_VERSION_ARCH.deb
include(GNUInstallDirs)

set(QM_APP_ID org.quellmark.quellmark)
set(QM_DATA_DIR ${PROJECT_SOURCE_DIR}/data)

install(TARGETS quellmark quellmark-render quellmark-export
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${QM_DATA_DIR}/${QM_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${QM_DATA_DIR}/${QM_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size 16 32 48 64 128 256)
  install(FILES ${QM_DATA_DIR}/icons/${size}x${size}/quellmark.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES ${QM_DATA_DIR}/man/quellmark.6 DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
install(FILES ${QM_DATA_DIR}/man/quellmark-render.1 ${QM_DATA_DIR}/man/quellmark-export.1
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quellmark)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "disk magazine of the release charts, in 80-column text art")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "The Quellmark presents issue 47 of a monthly chart magazine of the release
scene as pages of 80-column text art, with menus, buttons, an animated intro
and background music played by its own SID-chip emulator and XM module player.
The package also holds quellmark-render, which renders the tunes and modules to
WAV files, and quellmark-export, which writes the pages as text and HTML.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The Quellmark developers")
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
