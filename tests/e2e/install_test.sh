#!/usr/bin/env bash
# tests/e2e/install_test.sh SOURCE_DIR BUILD_DIR — `cmake --install` into a temporary prefix, then
# the checks below: the desktop entry, the installed game under X with a temporary HOME, the launcher,
# `make uninstall` over a manifest with planted lines, `make install` without a build.
set -uo pipefail
src=${1:?usage: install_test.sh SOURCE_DIR BUILD_DIR} build=${2:?usage: install_test.sh SOURCE_DIR BUILD_DIR}
[[ -n ${DISPLAY:-} ]] || { echo "install test: no DISPLAY (run it through scripts/with-display.sh)"; exit 1; }
failures=0
check() { if "${@:2}"; then echo "ok: $1"; else echo "FAIL: $1"; failures=$((failures + 1)); fi; }
source "$src/tests/support/play_to_menu.sh"
tmp=$(mktemp -d /tmp/lexorm-install-XXXXXX) game_pid=""
trap '[[ -n $game_pid ]] && kill -9 $game_pid 2>/dev/null; rm -rf "$tmp"' EXIT
prefix=$tmp/prefix desktop=$tmp/prefix/share/applications/lexorm.desktop
cmake --install "$build" --component lexorm --prefix "$prefix" >"$tmp/install.log" 2>&1 ||
  { cat "$tmp/install.log"; echo "FAIL: cmake --install"; exit 1; }
check "the launcher names the installed program" grep -qF "program='$prefix/lib/lexorm/lexorm'" "$prefix/bin/lexorm"
check "the installed word list is the built one" cmp "$build/data/Lexorm.txt" "$prefix/lib/lexorm/data/Lexorm.txt"
check "desktop-file-validate accepts the entry" desktop-file-validate "$desktop"
check "the project's licence is installed" cmp "$src/LICENSE" "$prefix/share/doc/lexorm/LICENSE"
check "so is the word list's" cmp "$build/data/WORDS-LICENSE.txt" "$prefix/share/doc/lexorm/WORDS-LICENSE.txt"
check "so are the manual page and the AppStream entry" \
  test -s "$prefix/share/man/man6/lexorm.6.gz" -a -s "$prefix/share/metainfo/org.lexorm.Lexorm.metainfo.xml"
check "the entry starts lexorm with its icon, as a game" \
  test "$(grep -cxE 'Exec=lexorm|Icon=lexorm|Categories=(.*;)?Game;.*' "$desktop")" = 3

# Started from a folder of its own with only a temporary HOME and the display; F4 at the menu.
home=$tmp/home work=$tmp/work
mkdir -p "$home" "$work"
in_work() { cd "$work" && exec "$@" < <(exec sleep 60 >/dev/null 2>&1); } # input: a pipe nobody writes
start_to_menu "$tmp/out.txt" in_work env -i DISPLAY="$DISPLAY" PATH=/usr/bin:/bin ALSOFT_DRIVERS=null \
  HOME="$home" "$prefix/bin/lexorm"
check "the installed game reached its menu" test -n "$game_window"
check "the launcher gave the game /dev/null for standard input" test "$(readlink "/proc/$game_pid/fd/0")" = /dev/null
quit_with_f4
check "F4 ended the game with status 0" test "$game_status" -eq 0
state=$home/.local/state/lexorm
check "the game saved into ~/.local/state/lexorm, private" test "$(stat -c %a "$state")" = 700 -a -s "$state/.quokkastate"
check "and nowhere else" test "$(find "$tmp" -name .quokkastate)" = "$state/.quokkastate"
check "the data was found" test "$(grep -ci 'not found\|cannot' "$tmp/out.txt")" = 0

# No HOME and no XDG_STATE_HOME: one error line, status 1.
out=$(cd "$tmp" && env -i PATH=/usr/bin:/bin "$prefix/bin/lexorm" 2>&1)
check "without HOME the launcher says so on one line and fails" test "$?:$(wc -l <<<"$out"):${out:0:8}" = "1:1:lexorm: "

# `make uninstall` over the manifest of that install, with lines planted outside the prefix: as a
# path, through .. and through a link inside the prefix. Without the prefix's record it removes
# nothing; with it, it refuses the planted lines (their file stays), removes the rest and fails.
manifest=$build/install_manifest_lexorm.txt record=$build/install_prefix_lexorm.txt
mkdir -p "$tmp/outside" && echo keep >"$tmp/outside/victim"
ln -s "$tmp/outside" "$prefix/lib/lexorm/way-out"
# CMake ends the manifest without a newline.
printf '\n%s\n' "$tmp/outside/victim" "$prefix/../outside/victim" "$prefix/lib/lexorm/way-out/victim" >>"$manifest"
check "the install recorded its prefix" test "$(cat "$record")" = "$prefix"
mv "$record" "$tmp/record"
out=$(make -s -C "$src" uninstall BUILD="$build" INSTALL_MANIFEST="$manifest" 2>&1)
check "without the record uninstall fails" test $? -ne 0
check "and says the prefix is not known" grep -q "no trustworthy record of the install prefix" <<<"$out"
check "and removes nothing" test -x "$prefix/bin/lexorm"
mv "$tmp/record" "$record"
out=$(make -s -C "$src" uninstall BUILD="$build" INSTALL_MANIFEST="$manifest" 2>&1)
check "uninstall fails when it refused lines" test $? -ne 0
check "it refused the three planted lines" test "$(grep -c '^uninstall: refusing ' <<<"$out")" = 3
check "the file outside the prefix survived" test "$(cat "$tmp/outside/victim")" = keep
check "the launcher was removed" test ! -e "$prefix/bin/lexorm"
check "the program was removed" test ! -e "$prefix/lib/lexorm/lexorm"
check "the word list was removed" test ! -e "$prefix/lib/lexorm/data/Lexorm.txt"
check "the desktop entry was removed" test ! -e "$desktop"

# `make install` without a build: it says to run make first and fails, installing nothing. It
# never builds or installs packages: stand-ins for cmake, apt-get and sudo note any call and fail.
mkdir -p "$tmp/no-build" "$tmp/stand-ins"
for tool in cmake apt-get sudo; do
  printf '#!/bin/sh\necho "%s $*" >>"%s"\nexit 1\n' "$tool" "$tmp/called" >"$tmp/stand-ins/$tool"
  chmod +x "$tmp/stand-ins/$tool"
done
out=$(PATH="$tmp/stand-ins:$PATH" make -s -C "$src" install BUILD="$tmp/no-build" PREFIX="$tmp/prefix2" 2>&1)
check "make install without a build fails" test $? -ne 0
check "and says to run make first" grep -q "run make first" <<<"$out"
check "and calls neither cmake nor apt-get nor sudo" test ! -e "$tmp/called"
check "and installs nothing" test ! -e "$tmp/prefix2"
[[ $failures -eq 0 ]]
