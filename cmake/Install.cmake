# Desktop integration: launcher, icons and manual pages in their FHS places,
# and the Debian package built from the same install rules (`make deb`).
# The program and its engine host install themselves where they are defined.

set(ZELVO_RES ${CMAKE_SOURCE_DIR}/resources)

install(FILES ${ZELVO_RES}/zelvo.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

foreach(size 16 32 48 64 128 256)
  install(FILES ${ZELVO_RES}/icons/zelvo-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME zelvo.png)
endforeach()
install(FILES ${ZELVO_RES}/icons/zelvo.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# Manual pages go in compressed, as Debian expects; -n keeps the archive free
# of time stamps so that rebuilds are identical.
find_program(ZELVO_GZIP gzip REQUIRED)
set(ZELVO_MAN_EN ${CMAKE_BINARY_DIR}/man/zelvo.1.gz)
set(ZELVO_MAN_JA ${CMAKE_BINARY_DIR}/man/ja/zelvo.1.gz)
add_custom_command(
  OUTPUT ${ZELVO_MAN_EN} ${ZELVO_MAN_JA}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man/ja
  COMMAND ${ZELVO_GZIP} -9nc ${CMAKE_SOURCE_DIR}/docs/zelvo.1 > ${ZELVO_MAN_EN}
  COMMAND ${ZELVO_GZIP} -9nc ${CMAKE_SOURCE_DIR}/docs/ja/zelvo.1 > ${ZELVO_MAN_JA}
  DEPENDS ${CMAKE_SOURCE_DIR}/docs/zelvo.1 ${CMAKE_SOURCE_DIR}/docs/ja/zelvo.1
  VERBATIM)
add_custom_target(zelvo_man ALL DEPENDS ${ZELVO_MAN_EN} ${ZELVO_MAN_JA})
install(FILES ${ZELVO_MAN_EN} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${ZELVO_MAN_JA} DESTINATION ${CMAKE_INSTALL_MANDIR}/ja/man1)

# ---- Debian package ---------------------------------------------------------
# The program finds its host by the libexec path compiled into it, so the
# package must install under the prefix the build was configured with;
# `make deb` configures /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zelvo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Zelvo developers <zelvo@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "web browser with two engines side by side")
set(CPACK_PACKAGE_DESCRIPTION
    "Zelvo is a desktop web browser with a Japanese user interface. Every page\n"
    "opens in a window of its own inside one main window, and each new window\n"
    "uses Qt WebEngine or WebKitGTK, as chosen in its engine menu. Bookmarks\n"
    "are shown in a menu and in a side bar and are edited in an editor.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Besides the libraries: the font the forms are designed in, the X11
# platform plugin the program insists on and the SQLite driver of the
# history, which are loaded, not linked, and the programs WebKit's sandbox
# runs its web processes in.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-ipafont-gothic, qt6-qpa-plugins, libqt6sql6-sqlite, bubblewrap, xdg-dbus-proxy")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
if(NOT CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  message(STATUS "Zelvo: a Debian package from this build installs under ${CMAKE_INSTALL_PREFIX}")
endif()
include(CPack)
