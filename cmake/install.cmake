# cmake/install.cmake — what `make install` (cmake --install) puts under the prefix:
#   lib/lexorm/lexorm, lib/lexorm/data/...   the program and its data, side by side as it expects
#   bin/lexorm                               the launcher (dist/lexorm.in), which runs the game in
#                                            the player's state folder
#   share/applications/lexorm.desktop, share/icons/hicolor/{64x64,256x256}/apps/lexorm.png
# Every file lands in install_manifest.txt, which `make uninstall` removes again, and the prefix in
# install_prefix.txt beside it (the manifest may be edited by whoever built: uninstall trusts only
# paths inside that prefix). All of it is the
# component `lexorm`: `cmake --install --component lexorm` installs the same files and records them
# in install_manifest_lexorm.txt instead, leaving the record of a `make install` alone (the install
# test does that).

set(LEXORM_INSTALL_DIR lib/lexorm)

install(TARGETS lexorm RUNTIME DESTINATION ${LEXORM_INSTALL_DIR} COMPONENT lexorm)

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
  file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/bin\" TYPE PROGRAM FILES \"\${_lexorm_dir}/lexorm\")
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
