#!/usr/bin/env bash
# tests/e2e/install_test.sh — the installed game: the install's layout, its desktop entry and icons,
# the launcher run under X with a temporary HOME (saving into the state folder, never into the
# install tree or the folder it was started from), its error lines, and an uninstall that removes
# every installed file but leaves the saved progress.
#   install_test.sh SOURCE_DIR BUILD_DIR        (needs DISPLAY, xdotool, desktop-file-validate)
# Installs with `cmake --install --component lexorm`, whose record is install_manifest_lexorm.txt,
# so the record of a developer's own `make install` stays as it was.
set -uo pipefail

src=${1:?usage: install_test.sh SOURCE_DIR BUILD_DIR}
build=${2:?usage: install_test.sh SOURCE_DIR BUILD_DIR}
failures=0 checks=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
check() { # check DESCRIPTION COMMAND...
  checks=$((checks + 1))
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else fail "$what"; fi
}

for tool in xdotool desktop-file-validate cmake make; do
  command -v "$tool" >/dev/null || { echo "install test: $tool is missing (scripts/install-deps.sh installs it)"; exit 1; }
done
[[ -n ${DISPLAY:-} ]] || { echo "install test: no DISPLAY (run it through scripts/with-display.sh)"; exit 1; }

tmp=$(mktemp -d /tmp/lexorm-install-XXXXXX)
game=""
cleanup() {
  [[ -n $game ]] && kill -9 "$game" 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT

prefix=$tmp/prefix
install_to() { # install_to PREFIX MANIFEST_COPY [DESTDIR]
  if ! DESTDIR=${3:-} cmake --install "$build" --component lexorm --prefix "$1" >"$tmp/install.log" 2>&1; then
    cat "$tmp/install.log"
    echo "install test: cmake --install failed"
    exit 1
  fi
  cp "$build/install_manifest_lexorm.txt" "$2"
}
install_to "$prefix" "$tmp/prefix.manifest"

# ============================================================================
# The installed tree
# ============================================================================

check "the launcher is installed and executable" test -x "$prefix/bin/lexorm"
check "the program is installed beside its data" test -x "$prefix/lib/lexorm/lexorm"
check "the launcher is a POSIX shell script" grep -qx '#!/bin/sh' "$prefix/bin/lexorm"
check "the launcher names the installed program" grep -qF "program='$prefix/lib/lexorm/lexorm'" "$prefix/bin/lexorm"
if command -v dash >/dev/null; then
  check "the launcher parses under dash" dash -n "$prefix/bin/lexorm"
fi

# Every generated data file ships, and nothing else: the generator's stamp stays in the build.
(cd "$build/data" && find . -type f ! -name .generated ! -name '*.tmp' | sort) >"$tmp/built.txt"
(cd "$prefix/lib/lexorm/data" && find . -type f | sort) >"$tmp/installed.txt"
check "the installed data holds every generated file and no other" diff "$tmp/built.txt" "$tmp/installed.txt"
check "the data holds files at all" test "$(wc -l <"$tmp/built.txt")" -gt 20
check "no generator stamp is installed" test -z "$(find "$prefix" -name .generated)"
check "the installed data files are the built ones" cmp "$build/data/Lexorm.txt" "$prefix/lib/lexorm/data/Lexorm.txt"

desktop=$prefix/share/applications/lexorm.desktop
check "the desktop entry is installed" test -f "$desktop"
check "desktop-file-validate accepts the entry" desktop-file-validate "$desktop"
for line in "Name=Lexorm" "Exec=lexorm" "Icon=lexorm" "Terminal=false" "Type=Application"; do
  check "the desktop entry has $line" grep -qx "$line" "$desktop"
done
check "the desktop entry is listed under Game" grep -qE '^Categories=(.*;)?Game;' "$desktop"

# A PNG's width and height: big-endian at bytes 16..23 of its header.
png_size() { od -An -tu1 -j16 -N8 "$1" | awk '{ printf "%dx%d", $3 * 256 + $4, $7 * 256 + $8 }'; }
for size in 64 256; do
  icon=$prefix/share/icons/hicolor/${size}x${size}/apps/lexorm.png
  check "the ${size}x${size} icon is installed" test -f "$icon"
  [[ -f $icon ]] && check "the ${size}x${size} icon is a ${size}x${size} PNG" \
    test "$(head -c 8 "$icon" | od -An -tx1 | tr -d ' \n'):$(png_size "$icon")" = "89504e470d0a1a0a:${size}x${size}"
done

# ============================================================================
# The launcher under X
# ============================================================================

# run_game WORKDIR OUTPUT ENV...: starts the launcher from WORKDIR with only the given
# environment (and the display), waits for the menu's log lines and the window, then F4.
run_game() {
  local workdir=$1 out=$2
  shift 2
  mkdir -p "$workdir"
  (cd "$workdir" && exec env -i DISPLAY="$DISPLAY" PATH=/usr/bin:/bin ALSOFT_DRIVERS=null "$@" \
    "$prefix/bin/lexorm") >"$out" 2>&1 &
  game=$!
  local window="" i
  for ((i = 0; i < 150; ++i)); do # 15 s
    if grep -q "Highscores Loaded" "$out" && [[ -z $window ]]; then
      window=$(xdotool search --onlyvisible --pid "$game" 2>/dev/null | head -n 1)
    fi
    [[ -n $window ]] && break
    kill -0 "$game" 2>/dev/null || break
    sleep 0.1
  done
  if [[ -z $window ]]; then
    fail "the installed game did not reach its menu: $(tr '\n' '|' <"$out")"
    kill -9 "$game" 2>/dev/null
    wait "$game" 2>/dev/null
    game=""
    return 1
  fi
  # F4 saves and quits; pressed again while the menu may still be settling.
  local status=""
  for ((i = 0; i < 20; ++i)); do
    xdotool windowfocus "$window" 2>/dev/null
    xdotool key F4 2>/dev/null
    local t
    for ((t = 0; t < 5; ++t)); do
      kill -0 "$game" 2>/dev/null || break 2
      sleep 0.1
    done
  done
  if kill -0 "$game" 2>/dev/null; then
    fail "F4 did not end the installed game"
    kill -9 "$game" 2>/dev/null
  fi
  wait "$game"
  status=$?
  game=""
  checks=$((checks + 1))
  if [[ $status -eq 0 ]]; then echo "ok: the game ended with status 0"; else fail "the game ended with status $status: $(tr '\n' '|' <"$out")"; fi
}

# No stray saves: none in the install tree, none in the folder the launcher was started from.
no_state_outside() { # no_state_outside WORKDIR
  check "no saved state in the install tree" test -z "$(find "$prefix" -name .quokkastate)"
  check "no saved state in the folder the launcher ran from" test ! -e "$1/.quokkastate"
}

# XDG_STATE_HOME unset: ~/.local/state/lexorm.
home=$tmp/home
mkdir -p "$home"
run_game "$tmp/work" "$tmp/out1.txt" HOME="$home"
state=$home/.local/state/lexorm
check "the game saved into ~/.local/state/lexorm" test -s "$state/.quokkastate"
check "the state folder is private to the player" test "$(stat -c %a "$state")" = 700
check "the game found its data (no file reported missing)" bash -c "! grep -qi 'not found\|cannot' '$tmp/out1.txt'"
no_state_outside "$tmp/work"

# XDG_STATE_HOME set (to a folder not made yet): the state goes there, not below HOME.
home2=$tmp/home2
mkdir -p "$home2"
run_game "$tmp/work2" "$tmp/out2.txt" HOME="$home2" XDG_STATE_HOME="$tmp/xdg state"
check "the game saved into \$XDG_STATE_HOME/lexorm" test -s "$tmp/xdg state/lexorm/.quokkastate"
check "nothing was made below HOME when XDG_STATE_HOME is set" test ! -e "$home2/.local"
no_state_outside "$tmp/work2"

# ============================================================================
# The launcher's errors: one line, a non-zero status, the game not started
# ============================================================================

launch_error() { # launch_error DESCRIPTION EXPECTED_TEXT ENV...
  local what=$1 expected=$2
  shift 2
  local out status
  out=$(cd "$tmp" && env -i PATH=/usr/bin:/bin "$@" "$prefix/bin/lexorm" 2>&1)
  status=$?
  checks=$((checks + 1))
  if [[ $status -ne 0 && $(printf '%s\n' "$out" | wc -l) -eq 1 && $out == "lexorm: "*"$expected"* ]]; then
    echo "ok: $what"
  else
    fail "$what: status $status, output: $out"
  fi
}
: >"$tmp/a-file"
launch_error "a state folder that cannot be made is named" "$tmp/a-file/lexorm" XDG_STATE_HOME="$tmp/a-file"
launch_error "a relative XDG_STATE_HOME is ignored for HOME's" "$tmp/a-file/.local/state/lexorm" \
  HOME="$tmp/a-file" XDG_STATE_HOME=relative/state
launch_error "no HOME and no XDG_STATE_HOME is an error" "HOME"

# ============================================================================
# Uninstalling
# ============================================================================

# `make uninstall` as a developer types it, free of any make this test runs under.
uninstall() { env -u MAKEFLAGS -u MFLAGS -u MAKELEVEL make -s -C "$src" uninstall "$@"; }
saved=$({ cksum <"$state/.quokkastate"; } 2>/dev/null)
saved2=$({ cksum <"$tmp/xdg state/lexorm/.quokkastate"; } 2>/dev/null)
uninstall INSTALL_MANIFEST="$tmp/prefix.manifest" DESTDIR= >"$tmp/uninstall.log" 2>&1
check "make uninstall succeeds" test $? -eq 0
check "no installed file is left under the prefix" test -z "$(find "$prefix" ! -type d)"
check "lib/lexorm is removed once empty" test ! -e "$prefix/lib/lexorm"
check "the saved progress in ~/.local/state is kept" test "$({ cksum <"$state/.quokkastate"; } 2>/dev/null)" = "$saved"
check "the saved progress in \$XDG_STATE_HOME is kept" \
  test "$({ cksum <"$tmp/xdg state/lexorm/.quokkastate"; } 2>/dev/null)" = "$saved2"

# A staged install (DESTDIR) names the final path and is removed below the same DESTDIR.
stage=$tmp/stage
install_to /opt/lexorm-test "$tmp/stage.manifest" "$stage"
check "a staged install lands below DESTDIR" test -x "$stage/opt/lexorm-test/lib/lexorm/lexorm"
check "a staged launcher names the final path" grep -qF "program='/opt/lexorm-test/lib/lexorm/lexorm'" \
  "$stage/opt/lexorm-test/bin/lexorm"
check "a staged install writes nothing outside DESTDIR" test ! -e /opt/lexorm-test
uninstall INSTALL_MANIFEST="$tmp/stage.manifest" DESTDIR="$stage" >"$tmp/uninstall.log" 2>&1
check "make uninstall with DESTDIR succeeds" test $? -eq 0
check "no staged file is left" test -z "$(find "$stage" ! -type d)"
uninstall INSTALL_MANIFEST="$tmp/missing.manifest" DESTDIR= >"$tmp/uninstall.log" 2>&1
check "make uninstall without a record fails" test $? -ne 0
check "and says why" grep -q "missing.manifest not found" "$tmp/uninstall.log"

echo "$((checks - failures)) passed, $failures failed"
[[ $failures -eq 0 ]]
