#!/usr/bin/env bash
# Runs a command with an X display: the current one, or a private Xvfb started here
# and stopped afterwards when there is none (CI has no display).
set -euo pipefail

if [[ -n "${DISPLAY:-}" ]] && xdpyinfo >/dev/null 2>&1; then
  exec "$@"
fi

fifo=$(mktemp -u)
mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$fifo" >/dev/null 2>&1 &
xvfb_pid=$!
trap 'kill $xvfb_pid 2>/dev/null || true; rm -f "$fifo"' EXIT
read -r -t 10 display <"$fifo" || { echo "with-display: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$display"
"$@"
