# A system-wide install and the Debian package: the client, the command-line tool, the demo
# server, the desktop entry, the icon in its sizes and the AppStream file; the top
# CMakeLists.txt installs its own README, LICENSE and man page. packaging/AppIdentity.cmake,
# included before, names the application and its icon sizes.
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

# cpack -G DEB in a Release build directory; dpkg-shlibdeps computes the library dependencies.
set(CPACK_PACKAGE_NAME krvclienta)
set(CPACK_PACKAGE_VENDOR "The krvClientA developers")
set(CPACK_PACKAGE_CONTACT "The krvClientA developers <author@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Administration client for a Korvane bot server")
set(CPACK_PACKAGE_DESCRIPTION "A desktop client that keeps a live list of a Korvane bot server's member \
accounts and sends administration requests: add, edit, delete, expel, log off, reconnect. \
Comes with a demo server.")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://www.example.org/korvane-admin/")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
