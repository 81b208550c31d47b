# SPDX-License-Identifier: GPL-3.0-or-later
# The .deb, made by CPack from the install rules (scripts/package runs
# `cpack --config <build>/CPackConfig.cmake`).

# The Debian changelog, which only the .deb carries.
string(TIMESTAMP changelog_date "%a, %d %b %Y %H:%M:%S +0000" UTC)
set(BRIVANE_DEB_MAINTAINER "The brivane developers <brivane@users.noreply.github.com>")
set(BRIVANE_DEB_VERSION ${PROJECT_VERSION}-1)
configure_file(changelog.Debian.in ${CMAKE_CURRENT_BINARY_DIR}/changelog.Debian @ONLY)
set(deb_changelog ${CMAKE_CURRENT_BINARY_DIR}/changelog.Debian.gz)
add_custom_command(OUTPUT ${deb_changelog}
    COMMAND sh -c "\"$0\" -9 -n -c \"$1\" > \"$2\"" ${BRIVANE_GZIP} ${CMAKE_CURRENT_BINARY_DIR}/changelog.Debian
        ${deb_changelog}
    DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/changelog.Debian
    VERBATIM)

add_custom_target(brivane_deb_changelog ALL DEPENDS ${deb_changelog})
install(FILES ${deb_changelog} DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT debian EXCLUDE_FROM_ALL)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME brivane)
set(CPACK_PACKAGE_VENDOR "The brivane developers")
set(CPACK_PACKAGE_CONTACT ${BRIVANE_DEB_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "calendar in the desktop panel, with the next event always in view")
# Below the summary, which CPack puts first.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "brivane shows the next event and its countdown beside its tray icon, and
the month with the day's and the week's events one click away. It reads
folders of iCalendar files as vdirsyncer and khal keep them, the desktop's
calendars through Evolution Data Server, and Zoho Calendar.
.
The brivane command prints the agenda and the status title for scripts and
text panels (waybar, polybar), and adds and deletes events.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# The program's files and the Debian changelog, in one package.
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_COMPONENTS_ALL Unspecified debian)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://github.com/brivane/brivane)
# The libraries linked come from dpkg-shlibdeps; the QML modules and the SVG
# plugins the windows and icons load at run time are no linked library.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qml6-module-qtquick, qml6-module-qtquick-layouts, qml6-module-qtquick-templates, qml6-module-qtquick-window, qml6-module-qtqml-workerscript, libqt6svg6")
# Optional at run time: the desktop's calendars need the Evolution Data
# Server's services running, Wayland sessions Qt's Wayland platform, and the
# symbolic icons an icon theme that has them.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "evolution-data-server, qt6-wayland, adwaita-icon-theme")
# Where the Zoho connection's tokens are kept.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "gnome-keyring")
include(CPack)
