# cmake/install.cmake — what `make install` (cmake --install) puts under the prefix:
#   lib/lexorm/lexorm, lib/lexorm/data/...   the program and its data, side by side as it expects
#   bin/lexorm                               the launcher (dist/lexorm.in), which runs the game in
#                                            the player's state folder
#   share/applications/lexorm.desktop, share/icons/hicolor/{64x64,256x256}/apps/lexorm.png
#   share/metainfo/org.lexorm.Lexorm.metainfo.xml, share/man/man6/lexorm.6.gz
#   share/doc/lexorm/LICENSE, WORDS-LICENSE.txt  the project's licence and the word list's
# With LEXORM_DEBIAN_LAYOUT (the package's build, cmake/package.cmake) the program goes to
# lib/games/lexorm and the launcher to games, as Debian lays out its games, and the notices are
# the package's share/doc/lexorm/copyright (both licences, machine-readable) and changelog.gz.
# Every file lands in install_manifest.txt, which `make uninstall` removes again, and the prefix in
# install_prefix.txt beside it (the manifest may be edited by whoever built: uninstall trusts only
# paths inside that prefix). All of it is the
# component `lexorm`: `cmake --install --component lexorm` installs the same files and records them
# in install_manifest_lexorm.txt instead, leaving the record of a `make install` alone (the install
# test does that).

option(LEXORM_DEBIAN_LAYOUT "Install as the Debian package lays the game out" OFF)
if(LEXORM_DEBIAN_LAYOUT)
  set(LEXORM_INSTALL_DIR lib/games/lexorm)
  set(LEXORM_BIN_DIR games)
  set(LEXORM_PROGRAM_DIR /usr/${LEXORM_INSTALL_DIR})
else()
  set(LEXORM_INSTALL_DIR lib/lexorm)
  set(LEXORM_BIN_DIR bin)
  set(LEXORM_PROGRAM_DIR PREFIX/${LEXORM_INSTALL_DIR})
endif()
set(LEXORM_MAINTAINER "Lexorm developers <developers@lexorm.invalid>")

# The manual page, the AppStream entry, the package's copyright and changelog (cmake/deb_files.cmake),
# made after the data: the copyright quotes the word list's licence.
set(LEXORM_DIST ${CMAKE_BINARY_DIR}/dist)
add_custom_command(
  OUTPUT ${LEXORM_DIST}/copyright ${LEXORM_DIST}/changelog.gz ${LEXORM_DIST}/lexorm.6.gz
         ${LEXORM_DIST}/org.lexorm.Lexorm.metainfo.xml
  COMMAND ${CMAKE_COMMAND} -E make_directory ${LEXORM_DIST}
  COMMAND ${CMAKE_COMMAND} -DSOURCE=${PROJECT_SOURCE_DIR} -DDATA=${CMAKE_BINARY_DIR}/data -DOUT=${LEXORM_DIST}
          -DVERSION=${PROJECT_VERSION} "-DMAINTAINER=${LEXORM_MAINTAINER}" -DPROGRAM_DIR=${LEXORM_PROGRAM_DIR}
          -P ${PROJECT_SOURCE_DIR}/cmake/deb_files.cmake
  DEPENDS ${PROJECT_SOURCE_DIR}/cmake/deb_files.cmake ${PROJECT_SOURCE_DIR}/LICENSE
          ${PROJECT_SOURCE_DIR}/dist/deb/changelog.in ${PROJECT_SOURCE_DIR}/dist/deb/lexorm.6
          ${PROJECT_SOURCE_DIR}/dist/deb/lexorm.metainfo.xml data
  COMMENT "Writing the manual page, the AppStream entry and the package's notices" VERBATIM)
add_custom_target(dist_files ALL DEPENDS ${LEXORM_DIST}/copyright)

install(TARGETS lexorm RUNTIME DESTINATION ${LEXORM_INSTALL_DIR} COMPONENT lexorm)
install(FILES ${LEXORM_DIST}/lexorm.6.gz DESTINATION share/man/man6 COMPONENT lexorm)
install(FILES ${LEXORM_DIST}/org.lexorm.Lexorm.metainfo.xml DESTINATION share/metainfo COMPONENT lexorm)
if(LEXORM_DEBIAN_LAYOUT)
  install(FILES ${LEXORM_DIST}/copyright ${LEXORM_DIST}/changelog.gz DESTINATION share/doc/lexorm COMPONENT lexorm)
else()
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE ${CMAKE_BINARY_DIR}/data/WORDS-LICENSE.txt
          DESTINATION share/doc/lexorm COMPONENT lexorm)
endif()

# The generated data but for the generator's own stamp and any half-written file it left.
install(DIRECTORY ${CMAKE_BINARY_DIR}/data/ DESTINATION ${LEXORM_INSTALL_DIR}/data COMPONENT lexorm
        PATTERN ".generated" EXCLUDE
        PATTERN "*.tmp" EXCLUDE)

install(FILES ${PROJECT_SOURCE_DIR}/dist/lexorm.desktop DESTINATION share/applications COMPONENT lexorm)
foreach(size 64 256)
  install(FILES ${CMAKE_BINARY_DIR}/icons/${size}x${size}/lexorm.png
          DESTINATION share/icons/hicolor/${size}x${size}/apps COMPONENT lexorm)
endforeach()

# The launcher names the program by its final path, known only when installing: `cmake --install
# --prefix` may choose another prefix than the configured one. It is written under the build
# folder (a file per prefix, so two installs never share one), installed, and removed again.
# A relative prefix counts from the folder the install runs in, as the installed files do; single
# quotes in the path are escaped for the launcher's single-quoted string.
install(CODE "
  get_filename_component(_lexorm_prefix \"\${CMAKE_INSTALL_PREFIX}\" ABSOLUTE)
  set(_lexorm_program \"\${_lexorm_prefix}/${LEXORM_INSTALL_DIR}/lexorm\")
  string(REPLACE \"'\" \"'\\\\''\" LEXORM_INSTALLED_PROGRAM \"\${_lexorm_program}\")
  file(READ \"${PROJECT_SOURCE_DIR}/dist/lexorm.in\" _lexorm_text)
  string(CONFIGURE \"\${_lexorm_text}\" _lexorm_text @ONLY)
  string(MD5 _lexorm_key \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}\")
  set(_lexorm_dir \"${CMAKE_BINARY_DIR}/launcher-\${_lexorm_key}\")
  file(WRITE \"\${_lexorm_dir}/lexorm\" \"\${_lexorm_text}\")
  file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${LEXORM_BIN_DIR}\" TYPE PROGRAM FILES \"\${_lexorm_dir}/lexorm\")
  file(REMOVE_RECURSE \"\${_lexorm_dir}\")
  # The prefix, beside the manifest and named as it is (install_prefix.txt, install_prefix_lexorm.txt
  # for --component lexorm): `make uninstall` removes only what lies inside it.
  if(CMAKE_INSTALL_COMPONENT)
    set(_lexorm_record \"${CMAKE_BINARY_DIR}/install_prefix_\${CMAKE_INSTALL_COMPONENT}.txt\")
  else()
    set(_lexorm_record \"${CMAKE_BINARY_DIR}/install_prefix.txt\")
  endif()
  file(WRITE \"\${_lexorm_record}\" \"\${_lexorm_prefix}\\n\")
  file(CHMOD \"\${_lexorm_record}\" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
" COMPONENT lexorm)
