# cmake/package.cmake — the Debian package (make package): CPack's DEB generator over the install
# rules of cmake/install.cmake, in a Release build made with LEXORM_DEBIAN_LAYOUT, so that the
# launcher lands in /usr/games and the program with its data in /usr/lib/games/lexorm. The
# libraries it needs are found by dpkg-shlibdeps; the files are stripped.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lexorm)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${LEXORM_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "timed word game on a board of letter tiles")
# The synopsis above goes first; CPack indents these lines and marks the empty one.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Lexorm is a word game against the clock. Trace a chain through neighbouring
tiles of a seven by seven board of letters: a word found in the word list
scores the points on its tiles times its length, its tiles vanish and new
ones fall in.

Games last 30, 60 or 120 seconds; the best and the last ten scores of each
length, the best and longest words and the settings are saved. The mouse, the
keyboard, game pads and key-pair controllers all play it.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT) # lexorm_<version>_<architecture>.deb
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils") # links open in the player's browser
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL lexorm)
set(CPACK_DEB_COMPONENT_INSTALL OFF)
include(CPack)
