#!/usr/bin/env bash
# Runs the libFuzzer harnesses built in build-fuzz (make fuzz-build), one after another, each in
# one process under nice: first every regression input of tests/fuzz/regressions/NAME once,
# then fuzzing over a scratch copy of tests/fuzz/corpus/NAME (what a run finds stays out of the
# tree). Prints one line a harness: inputs run, coverage (cov, ft) and speed. Stops at the first
# fault, with the end of the harness's output and the folder holding its log and input.
#   scripts/fuzz.sh time SECONDS [NAME...]   each harness for SECONDS   (make fuzz)
#   scripts/fuzz.sh runs COUNT [NAME...]     each harness for COUNT inputs (make fuzz-ci); the two
#                                            slow ones (ogg decodes whole streams, http_reply and
#                                            http_request start worker threads) a quarter of them
# Depends on: build-fuzz (BUILD_FUZZ), tests/fuzz/corpus, tests/fuzz/regressions.
set -euo pipefail
cd "$(dirname "$0")/.."

usage() {
  echo "usage: $0 time SECONDS [NAME...] | runs COUNT [NAME...]" >&2
  exit 2
}
[[ $# -ge 2 && $2 =~ ^[0-9]+$ ]] || usage
mode=$1 amount=$2
[[ $mode == time || $mode == runs ]] || usage
shift 2
build=${BUILD_FUZZ:-build-fuzz}
names=("$@")
[[ ${#names[@]} -gt 0 ]] || names=(saved_progress word_list wav ogg png string_load url http_reply http_request)

scratch=$(mktemp -d /tmp/lexorm-fuzz-XXXXXX)
fail() {
  echo "fuzz: $1 — log and input kept in $scratch/$name" >&2
  tail -n 40 "$scratch/$name/log" >&2
  exit 1
}

for name in "${names[@]}"; do
  bin=$build/fuzz/fuzz_$name
  [[ -x $bin ]] || {
    echo "fuzz: $bin is not built (make fuzz-build)" >&2
    exit 1
  }
  mkdir -p "$scratch/$name/corpus"
  # Every input that once found a fault, run once; then the corpus grows in the scratch copy.
  regressions=(tests/fuzz/regressions/"$name"/*)
  if [[ -e ${regressions[0]} ]]; then
    nice -n 19 "$bin" "${regressions[@]}" >"$scratch/$name/log" 2>&1 || fail "$name: a regression input fails again"
  fi
  cp tests/fuzz/corpus/"$name"/* "$scratch/$name/corpus/"
  limit="-max_total_time=$amount"
  if [[ $mode == runs ]]; then
    case $name in
    ogg | http_reply | http_request) limit="-runs=$((amount / 4))" ;;
    *) limit="-runs=$amount" ;;
    esac
  fi
  start=$(date +%s%N)
  nice -n 19 "$bin" "$limit" -timeout=20 -rss_limit_mb=3072 -malloc_limit_mb=512 -print_final_stats=1 \
    -artifact_prefix="$scratch/$name/" "$scratch/$name/corpus" >"$scratch/$name/log" 2>&1 ||
    fail "$name: a fault"
  ms=$((($(date +%s%N) - start) / 1000000 + 1))
  inputs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$scratch/$name/log")
  last=$(grep -E '^#[0-9]+.*cov:' "$scratch/$name/log" | tail -n 1)
  printf '%-15s %9s inputs  cov %5s  ft %6s  %7s exec/s  %4s.%ss\n' "$name" "$inputs" \
    "$(sed -n 's/.*cov: \([0-9]*\).*/\1/p' <<<"$last")" "$(sed -n 's/.*ft: \([0-9]*\).*/\1/p' <<<"$last")" \
    "$((inputs * 1000 / ms))" "$((ms / 1000))" "$((ms % 1000 / 100))"
done
rm -rf "$scratch"
