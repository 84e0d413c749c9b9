#!/usr/bin/env bash
# The performance run behind `make perf`: the game in the menu and in play, the bare window
# drawing the same quad counts, and the collector against new/delete, all in one run on one
# display; the ratios come last and go to $BUILD_BENCH/perf-ratios.txt.
# Usage: scripts/perf.sh [seconds per stretch, default 10] [rounds, default 3]
# (needs a display: see make perf)
set -euo pipefail

build=${BUILD_BENCH:-build-bench}
seconds=${1:-10}
rounds=${2:-3}
bench=$(cd "$build/bench" 2>/dev/null && pwd) || { echo "perf: $build/bench does not exist (make perf builds it)" >&2; exit 1; }
for b in perf_game perf_floor bench_gc_alloc; do
  [[ -x $bench/$b ]] || { echo "perf: $bench/$b is not built (make perf builds it)" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The same sound back end for the game and the floor: a real-time mixer into nothing, so a
# machine without a sound card still pays for an open device.
export ALSOFT_DRIVERS=${ALSOFT_DRIVERS:-null}

# Reads key from a key=value file.
value() { sed -n "s/^$2=//p" "$1" | head -n 1; }

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "n/a" }'; }
# The median, the largest of the numbers given.
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
largest() { printf '%s\n' "$@" | sort -g | tail -n 1; }

# On a shared machine the load changes from one minute to the next: the game and the floor take
# turns, round after round, and each round gives its own ratios.
menu_ratios=() play_ratios=() rss_list=() start_list=() p99_list=() other_list=()
for round in $(seq "$rounds"); do
  echo "== round $round of $rounds: the game ($seconds s in the menu, $seconds s of play)"
  # The game keeps its state in the current folder (a scratch one); its word chains are dropped.
  (cd "$work" && "$bench/perf_game" --menu-seconds "$seconds" --play-seconds "$seconds" \
    --out "$work/game.txt" | grep -Ev '^-?[0-9.]+,-?[0-9.]+$' | grep -Ev '^(opening openal device|Highscores Loaded)$') || {
    echo "perf: the game run failed" >&2
    exit 1
  }
  echo "== round $round of $rounds: the floor, a bare window drawing the same quads"
  "$bench/perf_floor" --name floor-menu --quads "$(value "$work/game.txt" menu.quads_per_frame)" \
    --seconds "$seconds" --out "$work/floor-menu.txt"
  "$bench/perf_floor" --name floor-play --quads "$(value "$work/game.txt" play.quads_per_frame)" \
    --seconds "$seconds" --out "$work/floor-play.txt"
  menu_ratios+=("$(ratio "$(value "$work/game.txt" menu.cpu_per_s)" "$(value "$work/floor-menu.txt" floor-menu.cpu_per_s)")")
  play_ratios+=("$(ratio "$(value "$work/game.txt" play.cpu_per_s)" "$(value "$work/floor-play.txt" floor-play.cpu_per_s)")")
  rss_list+=("$(value "$work/game.txt" play.peak_rss_mb)")
  start_list+=("$(value "$work/game.txt" start_to_menu_s)")
  p99_list+=("$(value "$work/game.txt" play.update_ms_p99)")
  other_list+=("$(value "$work/game.txt" menu.other_allocs_per_frame)" "$(value "$work/game.txt" play.other_allocs_per_frame)")
  floor_rss=$(value "$work/floor-play.txt" floor-play.peak_rss_mb)
done

echo "== the collector against new/delete"
"$bench/bench_gc_alloc" --benchmark_filter='BM_CollectedAllocDrop/|BM_PlainNewDelete' >"$work/gc.txt" 2>&1 || {
  cat "$work/gc.txt"
  exit 1
}
sed -n '/^allocate-and-drop/,$p' "$work/gc.txt"
gc_ratio=$(sed -n 's/^ratio collector \/ new-delete (steady state): //p' "$work/gc.txt")

# "within" when value <= limit, else "OVER".
check() { awk -v v="$1" -v l="$2" 'BEGIN { print (v + 0 <= l + 0) ? "within" : "OVER" }'; }

menu_ratio=$(median "${menu_ratios[@]}")
play_ratio=$(median "${play_ratios[@]}")
rss=$(largest "${rss_list[@]}")
start=$(largest "${start_list[@]}")
p99=$(largest "${p99_list[@]}")
other=$(largest "${other_list[@]}")

{
  echo "cpu game/floor menu, median: $menu_ratio ($(check "$menu_ratio" 1.25) 1.25; the rounds: ${menu_ratios[*]})"
  echo "cpu game/floor play, median: $play_ratio ($(check "$play_ratio" 1.25) 1.25; the rounds: ${play_ratios[*]})"
  echo "collector/new-delete steady state: $gc_ratio ($(check "$gc_ratio" 1.5) 1.5)"
  echo "peak RSS in play, largest: $rss MB (floor $floor_rss MB; $(check "$rss" 150) 150 MB)"
  echo "start to menu, longest: $start s ($(check "$start" 1.5) 1.5 s)"
  echo "update p99 in play, largest: $p99 ms ($(check "$p99" 1) 1 ms)"
  echo "heap allocations a frame outside texts and system libraries, at most: $other"
} >"$work/ratios.txt"
cp "$work/ratios.txt" "$build/perf-ratios.txt"
echo "== ratios (also in $build/perf-ratios.txt)"
cat "$work/ratios.txt"
