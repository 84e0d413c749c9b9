# tests/support/play_to_menu.sh — sourced by the shell tests that start an installed game under X.
#   start_to_menu OUT_FILE COMMAND...  starts COMMAND in the background, its output in OUT_FILE,
#                                      and waits up to 15 s for the menu ("Highscores Loaded" and
#                                      a visible window): sets game_pid, and game_window ("" when
#                                      the menu never came)
#   quit_with_f4                       presses F4 until the game ends (killing it after 10 s) and
#                                      sets game_status to its exit status; game_pid becomes ""
start_to_menu() {
  local out=$1
  shift
  "$@" >"$out" 2>&1 &
  game_pid=$! game_window=""
  for ((i = 0; i < 150 && ${#game_window} == 0; ++i)); do
    sleep 0.1
    grep -q "Highscores Loaded" "$out" && game_window=$(xdotool search --onlyvisible --pid "$game_pid" | head -n 1)
  done
}

quit_with_f4() {
  for ((i = 0; i < 20 && ${#game_window} > 0; ++i)); do # again while the menu may still be settling
    xdotool windowfocus "$game_window" key F4 2>/dev/null
    sleep 0.5
    kill -0 "$game_pid" 2>/dev/null || break
  done
  kill -0 "$game_pid" 2>/dev/null && kill -9 "$game_pid"
  wait "$game_pid"
  game_status=$?
  game_pid=""
}
