# Everything a system-wide install and the Debian package need, in one place: the client, the
# command-line tool with its man page, the demo server, the desktop entry, the icon in its
# sizes, the AppStream file, the README and the LICENSE.
include(GNUInstallDirs)

set(KRV_APP_ID org.example.krvClientA)
set(KRV_PACKAGING_DIR ${CMAKE_CURRENT_LIST_DIR})
set(KRV_ICON_SIZES 16 32 48 64 128 256)

install(TARGETS krvClientA krvadmin krv-demo-server RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/docs/krvadmin.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
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
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${PROJECT_NAME})

# The window icon is the same picture, built into the program so that it shows from the build
# tree too; Qt loads PNG without an extra image plugin, SVG would need one.
set(KRV_ICON_QRC ${CMAKE_CURRENT_BINARY_DIR}/krvClientA-icons.qrc)
set(KRV_ICON_QRC_TEXT "<RCC>\n  <qresource prefix=\"/icons\">\n")
foreach(size ${KRV_ICON_SIZES})
    string(APPEND KRV_ICON_QRC_TEXT
           "    <file alias=\"${KRV_APP_ID}-${size}.png\">${KRV_PACKAGING_DIR}/icons/${KRV_APP_ID}-${size}.png</file>\n")
endforeach()
string(APPEND KRV_ICON_QRC_TEXT "  </qresource>\n</RCC>\n")
file(CONFIGURE OUTPUT ${KRV_ICON_QRC} CONTENT "${KRV_ICON_QRC_TEXT}")
target_sources(krvClientA PRIVATE ${KRV_ICON_QRC})
set_target_properties(krvClientA PROPERTIES AUTORCC ON)
target_compile_definitions(krvClientA PRIVATE KRV_APP_ID="${KRV_APP_ID}")

# cpack -G DEB in a Release build directory; dpkg-shlibdeps computes the library dependencies.
set(CPACK_PACKAGE_NAME krvclienta)
set(CPACK_PACKAGE_VENDOR "The krvClientA developers")
set(CPACK_PACKAGE_CONTACT "The krvClientA developers <author@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Administration client for a Korvane bot server")
set(CPACK_PACKAGE_DESCRIPTION "A desktop client that keeps a live list of a Korvane bot server's member \
accounts and sends administration requests: add, edit, delete, expel, log off, reconnect. \
Comes with a demo server.")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://www.example.org/korvane-admin/")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
