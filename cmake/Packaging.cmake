# Install layout and the Debian package.
#
#   cmake --install build --prefix P   P/bin/Tankmon, P/share/tankmon (help and
#                                      data files, found from P/bin), desktop
#                                      entry, icons, systemd unit, docs, the
#                                      manual page
#   cd build && cpack -G DEB           tankmon_VERSION_ARCH.deb
include(GNUInstallDirs)

set(TANKMON_PKG_DIR ${CMAKE_SOURCE_DIR}/packaging)

install(TARGETS Tankmon RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The program looks for its help pages and data files in ../share/tankmon
# when it runs from a bin folder.
install(DIRECTORY DESTINATION ${CMAKE_INSTALL_DATADIR}/tankmon)
if(IS_DIRECTORY ${CMAKE_SOURCE_DIR}/help)
  install(DIRECTORY ${CMAKE_SOURCE_DIR}/help DESTINATION ${CMAKE_INSTALL_DATADIR}/tankmon
          PATTERN CMakeLists.txt EXCLUDE)
endif()

install(FILES ${TANKMON_PKG_DIR}/tankmon.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
# Rendered from tankmon.svg: rsvg-convert -w 256 -h 256 tankmon.svg -o tankmon-256.png
install(FILES ${TANKMON_PKG_DIR}/tankmon-256.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps RENAME tankmon.png)
# Debian wants a compressed changelog beside the copyright file.
string(TIMESTAMP TANKMON_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${TANKMON_PKG_DIR}/changelog.in ${CMAKE_BINARY_DIR}/packaging/changelog @ONLY)
file(ARCHIVE_CREATE OUTPUT ${CMAKE_BINARY_DIR}/packaging/changelog.gz
     PATHS ${CMAKE_BINARY_DIR}/packaging/changelog FORMAT raw COMPRESSION GZip COMPRESSION_LEVEL 9)
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${TANKMON_PKG_DIR}/copyright ${CMAKE_BINARY_DIR}/packaging/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tankmon)

# The manual page, made from --help and --version by help2man (so it lists
# the same options, environment and exit statuses), with the sections
# --help has no room for from Tankmon.h2m; compressed as Debian wants it.
find_program(TANKMON_HELP2MAN help2man)
find_program(TANKMON_GZIP gzip)
if(TANKMON_HELP2MAN AND TANKMON_GZIP)
  set(TANKMON_MANPAGE ${CMAKE_BINARY_DIR}/packaging/Tankmon.1)
  add_custom_command(OUTPUT ${TANKMON_MANPAGE} ${TANKMON_MANPAGE}.gz
    COMMAND ${TANKMON_HELP2MAN} --no-info --locale=C.UTF-8 --section=1 "--manual=User Commands" --source=Tankmon
            --include=${TANKMON_PKG_DIR}/Tankmon.h2m --output=${TANKMON_MANPAGE} $<TARGET_FILE:Tankmon>
    # help2man knows no exit-status section: --help's paragraph becomes one.
    COMMAND sed -i -e "s/^\\.SS \"Exit status:\"$/.SH \"EXIT STATUS\"/" ${TANKMON_MANPAGE}
    COMMAND ${TANKMON_GZIP} -9 -n -k -f ${TANKMON_MANPAGE}
    DEPENDS Tankmon ${TANKMON_PKG_DIR}/Tankmon.h2m
    COMMENT "Writing the manual page Tankmon.1" VERBATIM)
  add_custom_target(tankmon_manpage ALL DEPENDS ${TANKMON_MANPAGE}.gz)
  install(FILES ${TANKMON_MANPAGE}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
  message(WARNING "help2man or gzip is missing (tools/setup.sh installs them): no manual page")
endif()

# The desktop entry and the unit name the executable by its full path, which
# is known only when installing (--prefix, or the package's /usr).
install(CODE "
  set(TANKMON_BINDIR \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
  set(TANKMON_DOCDIR \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/doc/tankmon\")
  foreach(_pair \"tankmon.desktop.in;${CMAKE_INSTALL_DATADIR}/applications/tankmon.desktop\"
                \"tankmon.service.in;lib/systemd/system/tankmon.service\")
    list(GET _pair 0 _in)
    list(GET _pair 1 _rel)
    set(_to \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/\${_rel}\")
    message(STATUS \"Installing: \${_to}\")
    configure_file(\"${TANKMON_PKG_DIR}/\${_in}\" \"\${_to}\" @ONLY)
  endforeach()
")

set(CPACK_PACKAGE_NAME tankmon)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "VALMOR Messtechnik GmbH")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "links a PC to up to 56 tank-level measuring devices")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Tankmon receives the telegrams of tank-level measuring devices over a serial\n"
    "line or TCP, shows each tank's contents, fill level, temperature and alarm,\n"
    "records the history of every tank, computes the monthly consumption and sends\n"
    "notification e-mails. It runs with a window or as the service tankmon.service.")
set(CPACK_GENERATOR DEB)
# The desktop entry and the unit are written with the package's prefix, not
# with the staging folder's: install into the staging folder through DESTDIR.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "VALMOR Messtechnik GmbH <info@valmor.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Beyond the libraries the binary links: the user is made with adduser, and
# the window needs Qt's platform plugins.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "adduser, qt6-qpa-plugins")
# Qt's own button texts in the chosen language; without them they stay English.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${TANKMON_PKG_DIR}/debian/postinst ${TANKMON_PKG_DIR}/debian/prerm ${TANKMON_PKG_DIR}/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
