#!/usr/bin/env bash
# Runs ctest with the given arguments and fails when ctest fails, when no test matched, or when any
# test did not run: skipped (a GoogleTest skip, or a suite whose set-up failed), disabled or not run.
# ctest itself counts those as passed.
set -uo pipefail

log=$(mktemp)
trap 'rm -f "$log"' EXIT
ctest --no-tests=error "$@" 2>&1 | tee "$log"
status=${PIPESTATUS[0]}

# ctest's own lines: "  12/40 Test  #12: A.B ...***Not Run (Disabled)   0.00 sec", "...***Skipped",
# and the summary's "	 12 - A.B (Skipped)" under "The following tests did not run:".
not_run=$(grep -E '^[[:space:]]*[0-9]+ - .* \((Skipped|Disabled|Not Run)\)$|Test +#[0-9]+: .*\*\*\*(Not Run|Skipped)' "$log")
if [[ -n "$not_run" ]]; then
  echo "ctest-strict: tests that did not run count as failures:" >&2
  echo "$not_run" >&2
  [[ $status -ne 0 ]] || status=1
fi
exit "$status"
