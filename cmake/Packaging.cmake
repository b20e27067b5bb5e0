# Install rules of the program folder and the Debian package built from them.
#
# The program folder (default /opt/kestrava) holds the executable, its database
# and languages/, because the program finds everything beside itself. The menu
# entry and icons go to the system's data folder (/usr/share) so desktops find
# them. Stage an unprivileged install with DESTDIR:
#   DESTDIR=/tmp/stage cmake --install build/x
# Package: cpack --config build/x/CPackConfig.cmake (writes kestrava_<version>_<arch>.deb)

# /usr/local is CMake's own default, also in build folders configured before
# these rules existed; a prefix the user chose is kept.
if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT
   OR (NOT DEFINED CACHE{KESTRAVA_PREFIX_DEFAULTED} AND CMAKE_INSTALL_PREFIX STREQUAL "/usr/local"))
  set(CMAKE_INSTALL_PREFIX /opt/kestrava CACHE PATH "The program folder" FORCE)
endif()
set(KESTRAVA_PREFIX_DEFAULTED ON CACHE INTERNAL "The program folder's default was applied once")
set(KESTRAVA_XDG_DATA_DIR /usr/share CACHE PATH "Where the menu entry and the icons are installed")

set(pkg_src ${CMAKE_SOURCE_DIR}/packaging)
set(pkg_out ${CMAKE_BINARY_DIR}/packaging)

# --- the program folder -----------------------------------------------------
install(TARGETS Kestrava RUNTIME DESTINATION .)

file(GLOB shipped_languages ${CMAKE_SOURCE_DIR}/languages/*.INI)
install(FILES ${shipped_languages} ${KESTRAVA_HELP_FILES} DESTINATION languages)

# A database of its own for installing: the one in the build's program folder
# collects the event log of test runs.
if(TARGET mkdb)
  set(shipped_db ${pkg_out}/Kestrava.mdb.default)
  set(mkdb_args ${shipped_db})
  set(mkdb_depends mkdb)
  if(TARGET artwork_bmp)
    list(APPEND mkdb_args ${KESTRAVA_IMGLST_DIR})
    list(APPEND mkdb_depends artwork_bmp)
  endif()
  add_custom_command(
    OUTPUT ${shipped_db}
    COMMAND ${CMAKE_COMMAND} -E rm -f ${shipped_db}
    COMMAND mkdb ${mkdb_args}
    DEPENDS ${mkdb_depends}
    COMMENT "Writing the database the installation starts with"
    VERBATIM)
  add_custom_target(shipped_db ALL DEPENDS ${shipped_db})
else()
  set(shipped_db ${KESTRAVA_BIN_DIR}/Kestrava.mdb)
endif()
install(FILES ${shipped_db} DESTINATION share RENAME Kestrava.mdb.default
        PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)

# A plain install gets a database too, unless one is there already: the user's
# settings and event log are never overwritten. The package leaves this to its
# postinst (see packaging/strip-live-files.cmake).
install(CODE [[
  set(live_db "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/Kestrava.mdb")
  if(NOT EXISTS "${live_db}")
    file(COPY_FILE "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/share/Kestrava.mdb.default" "${live_db}")
    file(CHMOD "${live_db}" PERMISSIONS OWNER_READ OWNER_WRITE)
    message(STATUS "Installing: ${live_db}")
  else()
    message(STATUS "Kept: ${live_db}")
  endif()
]])

install(PROGRAMS ${pkg_src}/set-desk-user DESTINATION share)
install(FILES ${pkg_src}/70-kestrava-ups.rules DESTINATION share/udev)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs/guide/en ${CMAKE_SOURCE_DIR}/docs/guide/zh
        DESTINATION share/doc/guide FILES_MATCHING PATTERN "*.html" PATTERN "*.css")

# Entries that start the program: written at install time, so that they name
# the folder the program really went to (cmake --install --prefix ...).
string(CONFIGURE [[
  set(KESTRAVA_PROGRAM_DIR "${CMAKE_INSTALL_PREFIX}")
  configure_file("@pkg_src@/kestrava-autostart.desktop.in"
                 "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/share/kestrava-autostart.desktop" @ONLY)
  configure_file("@pkg_src@/kestrava.desktop.in"
                 "$ENV{DESTDIR}@KESTRAVA_XDG_DATA_DIR@/applications/kestrava.desktop" @ONLY)
  message(STATUS "Installing: $ENV{DESTDIR}@KESTRAVA_XDG_DATA_DIR@/applications/kestrava.desktop")
]] entries_code @ONLY)
install(CODE "${entries_code}")

# --- desktop integration ------------------------------------------------------
if(KESTRAVA_ICON_DIR)
  foreach(size 16 22 24 32 48 64 128 256)
    install(FILES ${KESTRAVA_ICON_DIR}/kestrava-${size}.png
            DESTINATION ${KESTRAVA_XDG_DATA_DIR}/icons/hicolor/${size}x${size}/apps RENAME kestrava.png)
  endforeach()
endif()

# --- the Debian package -------------------------------------------------------
set(KESTRAVA_PROGRAM_DIR /opt/kestrava)
configure_file(${pkg_src}/debian/postinst.in ${pkg_out}/debian/postinst @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
configure_file(${pkg_src}/debian/postrm.in ${pkg_out}/debian/postrm @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kestrava)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Kestrava developers")
set(CPACK_PACKAGE_CONTACT "Kestrava developers <kestrava@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Desktop monitor for one small UPS")
set(CPACK_PACKAGE_DESCRIPTION
    "Kestrava watches one small UPS over a serial contact-closure cable or USB HID,\n"
    "shows mains, battery and link states with a tray icon, logs every power event,\n"
    "warns in a window and by mail, and shuts the computer down in time.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGING_INSTALL_PREFIX ${KESTRAVA_PROGRAM_DIR})
# absolute destinations (/usr/share) must land in the staging folder, not on
# the build machine
set(CPACK_SET_DESTDIR ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PRE_BUILD_SCRIPTS ${pkg_src}/strip-live-files.cmake)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# not linked, but needed at run time: the platform plugin, the Chinese glyphs,
# the bus the power-off request goes over
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-noto-cjk, libqt6dbus6")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xchm | kchmviewer")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${pkg_out}/debian/postinst ${pkg_out}/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
