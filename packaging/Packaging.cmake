# A system-wide install and the Debian package: the client, the command-line tool, the demo
# server, the desktop entry, the icon in its sizes, the AppStream file and the changelog; the top
# CMakeLists.txt installs its own README, copyright file and man pages, and defines
# krv_install_gzipped and KRV_DOC_DIR. packaging/AppIdentity.cmake, included before, names the
# application, its icon sizes and the package.
include(GNUInstallDirs)

install(TARGETS krvClientA krvadmin krv-demo-server RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${KRV_PACKAGING_DIR}/${KRV_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
# The release named in the AppStream file is the project's version.
configure_file(${KRV_PACKAGING_DIR}/${KRV_APP_ID}.metainfo.xml.in ${CMAKE_CURRENT_BINARY_DIR}/${KRV_APP_ID}.metainfo.xml
               @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${KRV_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${KRV_PACKAGING_DIR}/icons/${KRV_APP_ID}.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size ${KRV_ICON_SIZES})
    install(FILES ${KRV_PACKAGING_DIR}/icons/${KRV_APP_ID}-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME ${KRV_APP_ID}.png)
endforeach()

# A Debian package's documentation comes with its changelog; this one names the project's version.
configure_file(${KRV_PACKAGING_DIR}/changelog.in ${CMAKE_CURRENT_BINARY_DIR}/changelog @ONLY)
krv_install_gzipped(${CMAKE_CURRENT_BINARY_DIR}/changelog ${KRV_DOC_DIR})

# cpack -G DEB in a Release build directory; dpkg-shlibdeps computes the library dependencies
# from the programs, which cannot see what Qt loads later: the platform plugins, without which the
# window cannot open, are in qt6-qpa-plugins on some Debian releases, and Qt's GUI library only
# recommends that package, so an install without recommendations would leave them out.
# QtKeychain reaches the Secret Service through libsecret, which it loads only at run time.
set(CPACK_PACKAGE_NAME ${KRV_PACKAGE_NAME})
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libsecret-1-0")
# SSH tunnels run the system's ssh; without it only plain TCP and TLS are there.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "openssh-client")
set(CPACK_PACKAGE_VENDOR "The krvClientA developers")
set(CPACK_PACKAGE_CONTACT "The krvClientA developers <author@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Administration client for a Korvane bot server")
# Debian's description lines are at most 80 wide; cpack indents each line of this.
set(CPACK_PACKAGE_DESCRIPTION "A desktop client that keeps a live list of a Korvane bot server's
member accounts and sends administration requests: add, edit, delete, expel,
log off, reconnect. With the command-line tool krvadmin, which does the same
from scripts, and a demo server to try both.")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://www.example.org/korvane-admin/")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
