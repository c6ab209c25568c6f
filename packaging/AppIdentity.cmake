# What the program is built with from this folder, so included before src/: the application id
# (which the desktop entry, the AppStream file and the icons are named after) and the resource
# file of the window icon.
set(KRV_APP_ID org.example.krvClientA)
set(KRV_PACKAGING_DIR ${CMAKE_CURRENT_LIST_DIR})
set(KRV_ICON_SIZES 16 32 48 64 128 256)

# The window icon is the same picture as the desktop's; Qt loads PNG without an extra image
# plugin, SVG would need one.
set(KRV_ICON_QRC ${CMAKE_CURRENT_BINARY_DIR}/krvClientA-icons.qrc)
set(KRV_ICON_QRC_TEXT "<RCC>\n  <qresource prefix=\"/icons\">\n")
foreach(size ${KRV_ICON_SIZES})
    string(APPEND KRV_ICON_QRC_TEXT
           "    <file alias=\"${KRV_APP_ID}-${size}.png\">${KRV_PACKAGING_DIR}/icons/${KRV_APP_ID}-${size}.png</file>\n")
endforeach()
string(APPEND KRV_ICON_QRC_TEXT "  </qresource>\n</RCC>\n")
file(CONFIGURE OUTPUT ${KRV_ICON_QRC} CONTENT "${KRV_ICON_QRC_TEXT}")

# The Debian package's name, after which its documentation folder is named too.
set(KRV_PACKAGE_NAME krvclienta)
