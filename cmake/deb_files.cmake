# cmake/deb_files.cmake — writes what the Debian package adds beside the game, run as
# `cmake -DSOURCE=... -DDATA=... -DOUT=... -DVERSION=... -DMAINTAINER=... -DPROGRAM_DIR=... -P
# deb_files.cmake` (PROGRAM_DIR: where the manual page says the program and its data are):
#   OUT/copyright         machine-readable: the project's zlib licence (LICENSE) and the word
#                         list's own terms (DATA/WORDS-LICENSE.txt), both texts in full
#   OUT/changelog.gz      dist/deb/changelog.in for this version
#   OUT/lexorm.6.gz       the manual page for this version
#   OUT/org.lexorm.Lexorm.metainfo.xml   the AppStream entry for this version
# Compressed with gzip -9n (no name or time inside), as Debian's tools do.

# A licence text as the copyright format wants it: each line indented, empty lines as " .".
function(deb_indent text out)
  string(REGEX REPLACE "\n+$" "" text "${text}")
  string(REPLACE "\n\n" "\n.\n" text "${text}")
  string(REPLACE "\n\n" "\n.\n" text "${text}") # runs of empty lines
  string(REPLACE "\n" "\n " text " ${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

file(READ "${SOURCE}/LICENSE" zlib)
string(FIND "${zlib}" "This software is provided" at)
string(FIND "${zlib}" "This licence covers" end)
math(EXPR length "${end} - ${at}")
string(SUBSTRING "${zlib}" ${at} ${length} zlib)
deb_indent("${zlib}" zlib)
file(READ "${DATA}/WORDS-LICENSE.txt" words)
deb_indent("${words}" words)

file(WRITE "${OUT}/copyright" "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: Lexorm
Upstream-Contact: ${MAINTAINER}

Files: *
Copyright: 2026 the Lexorm developers
License: Zlib
Comment: The game, its runtime, and the data its tools generate: images, sounds and music.

Files: usr/lib/games/lexorm/data/Lexorm.txt usr/lib/games/lexorm/data/WORDS-LICENSE.txt
Copyright: 2000-2011 Kevin Atkinson and others
License: SCOWL
Comment: The word list, made from SCOWL (Spell Checker Oriented Word Lists).

License: Zlib
${zlib}

License: SCOWL
${words}
")

function(deb_gzip in name)
  configure_file("${in}" "${OUT}/${name}" @ONLY)
  execute_process(COMMAND gzip -9nf "${OUT}/${name}" RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "gzip failed on ${OUT}/${name}")
  endif()
endfunction()
set(LEXORM_VERSION "${VERSION}")
set(LEXORM_MAINTAINER "${MAINTAINER}")
set(LEXORM_PROGRAM_DIR "${PROGRAM_DIR}")
deb_gzip("${SOURCE}/dist/deb/changelog.in" changelog)
deb_gzip("${SOURCE}/dist/deb/lexorm.6" lexorm.6)
configure_file("${SOURCE}/dist/deb/lexorm.metainfo.xml" "${OUT}/org.lexorm.Lexorm.metainfo.xml" @ONLY)
