#!/usr/bin/env bash
# tests/package/package_test.sh CHECK SOURCE_DIR BUILD_DIR — the Debian package that `make package`
# left in BUILD_DIR, checked one way per CHECK:
#   lintian    lintian finds no error and no warning
#   contents   dpkg-deb --contents holds exactly the expected files, as root's, with sane modes
#   documents  the manual page renders without warnings; the AppStream entry and the desktop entry
#              validate; the copyright file is machine-readable and carries both licences
#   install    (as root) apt-get installs it, `lexorm` reaches its menu under X with a temporary
#              HOME and F4 saves into ~/.local/state/lexorm; apt-get purge then leaves none of the
#              package's files behind and the saved progress as it was
set -uo pipefail
what=${1:?usage: package_test.sh CHECK SOURCE_DIR BUILD_DIR} src=${2:?} build=${3:?}
failures=0
check() { if "${@:2}"; then echo "ok: $1"; else echo "FAIL: $1"; failures=$((failures + 1)); fi; }
debs=("$build"/lexorm_*_*.deb)
[[ ${#debs[@]} -eq 1 && -f ${debs[0]} ]] || { echo "FAIL: no single package in $build: run make package first"; exit 1; }
deb=${debs[0]}
version=$(sed -n 's/^project(lexorm VERSION \([0-9.]*\) .*/\1/p' "$src/CMakeLists.txt")
source "$src/tests/support/play_to_menu.sh"
tmp=$(mktemp -d /tmp/lexorm-package-XXXXXX) game_pid=""
trap '[[ -n $game_pid ]] && kill -9 $game_pid 2>/dev/null; rm -rf "$tmp"' EXIT

case $what in
lintian)
  check "the package is named for the project's version" test "$(basename "$deb")" = "lexorm_${version}_amd64.deb"
  lintian --fail-on error,warning --display-level '>=warning' "$deb" >"$tmp/lintian.txt" 2>&1
  status=$?
  grep -v 'running with root privileges' "$tmp/lintian.txt"
  check "lintian reports no error and no warning" test $status -eq 0
  check "lintian printed no E: or W: line" test "$(grep -c '^[EW]: ' "$tmp/lintian.txt")" = 0
  ;;

contents)
  dpkg-deb --contents "$deb" >"$tmp/listing"
  awk '{print $6}' "$tmp/listing" | sed 's|^\./|/|; s|/$||' | grep -v '^/\?$' | sort >"$tmp/files"
  # The data: exactly what the generator wrote (but its stamp), under /usr/lib/games/lexorm/data.
  (cd "$build/data" && find . -mindepth 1 ! -name .generated ! -name '*.tmp') | sed 's|^\.|/usr/lib/games/lexorm/data|' >"$tmp/expected"
  cat >>"$tmp/expected" <<'LIST'
/usr
/usr/games
/usr/games/lexorm
/usr/lib
/usr/lib/games
/usr/lib/games/lexorm
/usr/lib/games/lexorm/lexorm
/usr/lib/games/lexorm/data
/usr/share
/usr/share/applications
/usr/share/applications/lexorm.desktop
/usr/share/doc
/usr/share/doc/lexorm
/usr/share/doc/lexorm/changelog.gz
/usr/share/doc/lexorm/copyright
/usr/share/icons
/usr/share/icons/hicolor
/usr/share/icons/hicolor/256x256
/usr/share/icons/hicolor/256x256/apps
/usr/share/icons/hicolor/256x256/apps/lexorm.png
/usr/share/icons/hicolor/64x64
/usr/share/icons/hicolor/64x64/apps
/usr/share/icons/hicolor/64x64/apps/lexorm.png
/usr/share/man
/usr/share/man/man6
/usr/share/man/man6/lexorm.6.gz
/usr/share/metainfo
/usr/share/metainfo/org.lexorm.Lexorm.metainfo.xml
LIST
  sort -o "$tmp/expected" "$tmp/expected"
  diff "$tmp/expected" "$tmp/files" && ok=0 || ok=1
  check "the package holds exactly the expected files" test $ok -eq 0
  check "every entry belongs to root" test "$(awk '$2 != "root/root"' "$tmp/listing" | wc -l)" = 0
  check "the two programs are executable, 0755" \
    test "$(grep -cE '^-rwxr-xr-x .*\./usr/(games/lexorm|lib/games/lexorm/lexorm)$' "$tmp/listing")" = 2
  check "no other file is executable" test "$(grep -c '^-..x' "$tmp/listing")" = 2
  check "folders are 0755" test "$(grep '^d' "$tmp/listing" | grep -vc '^drwxr-xr-x')" = 0
  dpkg-deb -x "$deb" "$tmp/root"
  check "the launcher starts the program where it is installed" \
    grep -qxF "program='/usr/lib/games/lexorm/lexorm'" "$tmp/root/usr/games/lexorm"
  check "the packed word list is the generated one" cmp "$build/data/Lexorm.txt" "$tmp/root/usr/lib/games/lexorm/data/Lexorm.txt"
  depends=$(dpkg-deb --field "$deb" Depends)
  for library in libc6 libglfw3 libopenal1 libstb0; do
    check "it depends on $library (found by dpkg-shlibdeps)" grep -q "\b$library\b" <<<"$depends"
  done
  ;;

documents)
  dpkg-deb -x "$deb" "$tmp/root"
  share=$tmp/root/usr/share
  LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$share/man/man6/lexorm.6.gz" \
    >"$tmp/man.out" 2>"$tmp/man.err"
  check "man -l renders the manual page" test $? -eq 0
  cat "$tmp/man.err"
  check "without a warning" test ! -s "$tmp/man.err"
  man -l "$share/man/man6/lexorm.6.gz" 2>/dev/null | col -b >"$tmp/man.txt"
  for heading in NAME SYNOPSIS DESCRIPTION CONTROLS FILES "EXIT STATUS"; do
    check "the manual page has its $heading" grep -qx "$heading" "$tmp/man.txt"
  done
  check "it names where the progress is saved" grep -q '\.local/state/lexorm/\.quokkastate' "$tmp/man.txt"
  check "it names the installed program" grep -q '/usr/lib/games/lexorm/lexorm' "$tmp/man.txt"
  check "its version is the package's" grep -q "Lexorm $version" "$tmp/man.txt"
  metainfo=$share/metainfo/org.lexorm.Lexorm.metainfo.xml
  appstreamcli validate --no-net "$metainfo"
  check "appstreamcli validates the metainfo" test $? -eq 0
  for caption in "The main menu" "A game in play" "The pause menu"; do
    check "the metainfo has the README's caption \"$caption\"" grep -q "<caption>$caption" "$metainfo"
  done
  check "the metainfo rates the content" grep -q '<content_rating type="oars-1.1"' "$metainfo"
  check "the metainfo launches the desktop entry" grep -q '>lexorm.desktop</launchable>' "$metainfo"
  check "desktop-file-validate accepts the entry" desktop-file-validate "$share/applications/lexorm.desktop"
  copyright=$share/doc/lexorm/copyright
  check "the copyright file is machine-readable" \
    grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' "$copyright"
  check "it carries the zlib licence" grep -q '^ This software is provided .as-is.' "$copyright"
  check "and the word list's" grep -q '^ SCOWL (Spell Checker Oriented Word Lists)' "$copyright"
  check "every licence it names is given" test "$(grep -c '^License: Zlib$' "$copyright"):$(grep -c '^License: SCOWL$' "$copyright")" = 2:2
  check "the changelog is for this version" test "$(zcat "$share/doc/lexorm/changelog.gz" | head -1)" = "lexorm ($version) unstable; urgency=medium"
  ;;

install)
  if [[ $(id -u) -ne 0 ]]; then
    echo "SKIPPED: installing the package needs root (CI runs as root on a throw-away machine)"
    exit 77
  fi
  [[ -n ${DISPLAY:-} ]] || { echo "FAIL: no DISPLAY (run it through scripts/with-display.sh)"; exit 1; }
  dpkg-deb --contents "$deb" | awk '{print $6}' | sed 's|^\./|/|' | grep -v '/$' >"$tmp/files"
  export DEBIAN_FRONTEND=noninteractive
  apt-get install -y -q "$deb" >"$tmp/apt.log" 2>&1
  check "apt-get installs the package" test $? -eq 0 || cat "$tmp/apt.log"
  check "dpkg knows it at its version" test "$(dpkg-query -W -f='${Status} ${Version}' lexorm)" = "install ok installed $version"
  check "lexorm is on the PATH in /usr/games" test "$(PATH=/usr/local/bin:/usr/bin:/bin:/usr/games command -v lexorm)" = /usr/games/lexorm
  home=$tmp/home
  mkdir -p "$home"
  in_tmp() { cd "$tmp" && exec "$@"; }
  start_to_menu "$tmp/out.txt" in_tmp env -i DISPLAY="$DISPLAY" PATH=/usr/bin:/bin:/usr/games ALSOFT_DRIVERS=null \
    HOME="$home" lexorm
  check "the installed game reached its menu" test -n "$game_window"
  quit_with_f4
  check "F4 ended the game with status 0" test "$game_status" -eq 0
  state=$home/.local/state/lexorm/.quokkastate
  check "the game saved into ~/.local/state/lexorm" test -s "$state"
  check "the data was found" test "$(grep -ci 'not found\|cannot' "$tmp/out.txt")" = 0
  saved=$(sha256sum <"$state")
  apt-get purge -y -q lexorm >"$tmp/purge.log" 2>&1
  check "apt-get purges the package" test $? -eq 0 || cat "$tmp/purge.log"
  check "dpkg no longer knows it" test -z "$(dpkg-query -W -f='${Status}' lexorm 2>/dev/null | grep installed)"
  left=0
  while read -r file; do [[ -e $file || -L $file ]] && { echo "left behind: $file"; left=$((left + 1)); }; done <"$tmp/files"
  check "none of the package's files is left behind" test $left -eq 0
  check "nor its folder under /usr/lib/games" test ! -e /usr/lib/games/lexorm
  check "the saved progress is untouched" test "$(sha256sum <"$state")" = "$saved"
  ;;

*)
  echo "package_test.sh: no check named $what"
  exit 2
  ;;
esac
[[ $failures -eq 0 ]]
