# Installation as a desktop program (GNUInstallDirs) and the Debian package made by CPack:
# `cmake --install build`, or `make package` in the build folder for ventiro_<version>_<arch>.deb.
include(GNUInstallDirs)

# One application id everywhere: the desktop entry's file name, the AppStream id, the icon's name and
# the name the program gives the window system (QGuiApplication::setDesktopFileName).
set(VENTIRO_APP_ID "org.ventiro.Ventiro")
target_compile_definitions(ventiro_app PUBLIC VENTIRO_APP_ID="${VENTIRO_APP_ID}")

# A Windows copy is portable: it is unpacked into a folder of its own, there is nothing to install.
if(WIN32)
    return()
endif()

set(VENTIRO_SUMMARY "Start panel for the tools of a CAD/CAM workstation")
set(VENTIRO_MAINTAINER "Ventiro developers <ventiro@example.org>")
# The project's web page; the AppStream screenshots are docs/*.png published below it.
set(VENTIRO_HOMEPAGE "https://ventiro.example.org")
set(dist ${PROJECT_SOURCE_DIR}/dist)
set(generated ${PROJECT_BINARY_DIR}/dist)

configure_file(${dist}/ventiro.desktop.in ${generated}/${VENTIRO_APP_ID}.desktop @ONLY)
configure_file(${dist}/ventiro.metainfo.xml.in ${generated}/${VENTIRO_APP_ID}.metainfo.xml @ONLY)

# Manual page and changelog compressed without a time stamp, so that every build gives the same bytes.
find_program(VENTIRO_GZIP gzip REQUIRED)
set(compressed)
foreach(pair "ventiro.1|ventiro.1.gz" "changelog|changelog.gz")
    string(REPLACE "|" ";" pair "${pair}")
    list(GET pair 0 source)
    list(GET pair 1 target)
    add_custom_command(OUTPUT ${generated}/${target}
                       COMMAND ${VENTIRO_GZIP} -9 -n -c ${dist}/${source} > ${generated}/${target}
                       DEPENDS ${dist}/${source} VERBATIM)
    list(APPEND compressed ${generated}/${target})
endforeach()
add_custom_target(ventiro_dist ALL DEPENDS ${compressed})

install(TARGETS ventiro RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${generated}/${VENTIRO_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${generated}/${VENTIRO_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size 16 32 48 64 128 256)
    install(FILES ${dist}/icons/${size}.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME ${VENTIRO_APP_ID}.png)
endforeach()
install(FILES ${dist}/icons/ventiro.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${VENTIRO_APP_ID}.svg)
install(FILES ${generated}/ventiro.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${dist}/copyright ${generated}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/ventiro)

# The Debian package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ventiro)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Ventiro developers")
set(CPACK_PACKAGE_CONTACT "${VENTIRO_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${VENTIRO_SUMMARY}")
# Extended description, lines of at most 80 characters.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
       "Ventiro shows one window with five titled groups of buttons, each starting\n"
       "one tool of the Cimatron E suite or of a neighbouring product. What a button\n"
       "starts is a line Name=Command of a table that the operator edits in the\n"
       "settings window; Windows programs are started through Wine, documents and\n"
       "folders through xdg-open. The table and the placement of both windows are\n"
       "kept in one INI file.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
    GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VENTIRO_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The libraries alone open no window: Qt's X11 platform plugin is a package of its own.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# Qt's own texts (the edit menu of a text field, dialog buttons) in German.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, qt6-wayland, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "wine")
include(CPack)
