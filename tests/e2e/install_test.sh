#!/usr/bin/env bash
# tests/e2e/install_test.sh SOURCE_DIR BUILD_DIR — `cmake --install` into a temporary prefix, then
# the checks below: the desktop entry, the installed game under X with a temporary HOME, the launcher.
set -uo pipefail
build=${2:?usage: install_test.sh SOURCE_DIR BUILD_DIR}
[[ -n ${DISPLAY:-} ]] || { echo "install test: no DISPLAY (run it through scripts/with-display.sh)"; exit 1; }
failures=0
check() { if "${@:2}"; then echo "ok: $1"; else echo "FAIL: $1"; failures=$((failures + 1)); fi; }
tmp=$(mktemp -d /tmp/lexorm-install-XXXXXX) game=""
trap '[[ -n $game ]] && kill -9 $game 2>/dev/null; rm -rf "$tmp"' EXIT
prefix=$tmp/prefix desktop=$tmp/prefix/share/applications/lexorm.desktop
cmake --install "$build" --component lexorm --prefix "$prefix" >"$tmp/install.log" 2>&1 ||
  { cat "$tmp/install.log"; echo "FAIL: cmake --install"; exit 1; }
check "the launcher names the installed program" grep -qF "program='$prefix/lib/lexorm/lexorm'" "$prefix/bin/lexorm"
check "the installed word list is the built one" cmp "$build/data/Lexorm.txt" "$prefix/lib/lexorm/data/Lexorm.txt"
check "desktop-file-validate accepts the entry" desktop-file-validate "$desktop"
check "the entry starts lexorm with its icon, as a game" \
  test "$(grep -cxE 'Exec=lexorm|Icon=lexorm|Categories=(.*;)?Game;.*' "$desktop")" = 3

# Started from a folder of its own with only a temporary HOME and the display; F4 at the menu.
home=$tmp/home work=$tmp/work
mkdir -p "$home" "$work"
(cd "$work" && exec env -i DISPLAY="$DISPLAY" PATH=/usr/bin:/bin ALSOFT_DRIVERS=null HOME="$home" \
  "$prefix/bin/lexorm") >"$tmp/out.txt" 2>&1 &
game=$! window=""
for ((i = 0; i < 150 && ${#window} == 0; ++i)); do
  sleep 0.1
  grep -q "Highscores Loaded" "$tmp/out.txt" && window=$(xdotool search --onlyvisible --pid "$game" | head -n 1)
done
check "the installed game reached its menu" test -n "$window"
for ((i = 0; i < 20 && ${#window} > 0; ++i)); do # again while the menu may still be settling
  xdotool windowfocus "$window" key F4 2>/dev/null
  sleep 0.5
  kill -0 "$game" 2>/dev/null || break
done
kill -0 "$game" 2>/dev/null && kill -9 "$game"
wait "$game"
check "F4 ended the game with status 0" test $? -eq 0
game="" state=$home/.local/state/lexorm
check "the game saved into ~/.local/state/lexorm, private" test "$(stat -c %a "$state")" = 700 -a -s "$state/.quokkastate"
check "and nowhere else" test "$(find "$tmp" -name .quokkastate)" = "$state/.quokkastate"
check "the data was found" test "$(grep -ci 'not found\|cannot' "$tmp/out.txt")" = 0

# No HOME and no XDG_STATE_HOME: one error line, status 1.
out=$(cd "$tmp" && env -i PATH=/usr/bin:/bin "$prefix/bin/lexorm" 2>&1)
check "without HOME the launcher says so on one line and fails" test "$?:$(wc -l <<<"$out"):${out:0:8}" = "1:1:lexorm: "
[[ $failures -eq 0 ]]
