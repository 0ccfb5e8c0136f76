# The Debian package of the installed tree (cpack -G DEB; scripts/package.sh builds and checks it).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tavrin)
set(CPACK_PACKAGE_VENDOR "Tavrin developers")
set(CPACK_PACKAGE_CONTACT "${TAVRIN_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries come from the binary; Qt's X11 platform plugin and its SVG icon engine (for the
# tray icons) are loaded, not linked.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6svg6")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, qt6-wayland")
# CPack indents the lines after the first and turns the empty one into a paragraph break.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "popup menu on a spare mouse button that types the chosen entry
Tavrin turns one spare mouse button into a popup menu at the pointer. The
entry you pick is typed into the application in front, as a piece of text
or as one special key such as Return, Escape or Tab.

It lives in the tray, has a settings window where you assign the button and
edit the entries, keeps its settings between runs and can start at login.
It works in X11 sessions and natively on sway and the other wlroots Wayland
compositors.")
include(CPack)
