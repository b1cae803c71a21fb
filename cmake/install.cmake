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

# Generated files go to data/ in the build folder: the manual pages with the project's version,
# compressed as Debian wants them (gzip -9n: no name or time stamp, so each build is the same);
# the change log, compressed too; and the copyright file in Debian's machine-readable format with
# the licence texts from LICENSES/, each line indented and empty lines written as " .".
set(QM_GENERATED ${PROJECT_BINARY_DIR}/data)
function(qm_gzip source target)
  execute_process(COMMAND gzip -9n INPUT_FILE ${source} OUTPUT_FILE ${target}
                  RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "gzip ${source}: ${status}")
  endif()
endfunction()
# qm_copyright_text(FILE FIRST VAR): the licence text of FILE from its line starting with FIRST.
function(qm_copyright_text source first var)
  execute_process(COMMAND sed -n "/^${first}/,$p" ${source}
                  COMMAND sed -e "s/^$/./" -e "s/^/ /"
                  OUTPUT_VARIABLE text OUTPUT_STRIP_TRAILING_WHITESPACE)
  set(${var} "${text}" PARENT_SCOPE)
endfunction()
foreach(page quellmark.6 quellmark-render.1 quellmark-export.1)
  configure_file(${QM_DATA_DIR}/man/${page} ${QM_GENERATED}/man/${page} @ONLY)
  qm_gzip(${QM_GENERATED}/man/${page} ${QM_GENERATED}/man/${page}.gz)
  string(REGEX REPLACE ".*\\." "" section ${page})
  install(FILES ${QM_GENERATED}/man/${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section})
endforeach()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${QM_DATA_DIR}/changelog
             ${PROJECT_SOURCE_DIR}/LICENSES/MIT.txt ${PROJECT_SOURCE_DIR}/LICENSES/CC-BY-4.0.txt)
qm_gzip(${QM_DATA_DIR}/changelog ${QM_GENERATED}/changelog.gz)
qm_copyright_text(${PROJECT_SOURCE_DIR}/LICENSES/MIT.txt Permission QM_LICENSE_MIT)
qm_copyright_text(${PROJECT_SOURCE_DIR}/LICENSES/CC-BY-4.0.txt Attribution QM_LICENSE_CC_BY)
configure_file(${QM_DATA_DIR}/copyright ${QM_GENERATED}/copyright @ONLY)
install(FILES ${QM_GENERATED}/copyright ${QM_GENERATED}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quellmark)

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
# Debian wants a mail address here; the project has no mail host of its own yet, so the address
# is one under the domain kept for examples until a packager gives theirs.
set(QM_MAINTAINER "The Quellmark developers <quellmark@example.org>" CACHE STRING
    "The Debian package's Maintainer field: a name and a mail address")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QM_MAINTAINER}")
# misc, not games: a magazine to read is no game, and Debian keeps games in /usr/games.
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
