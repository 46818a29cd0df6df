#!/usr/bin/env bash
# Builds both trees and runs every test.
#
#   scripts/test.sh [ctest arguments...]
#
# build/win    the Windows program and its tests (MinGW-w64), run under Wine
# build/native the pure logic and the service (host compiler, ASan/UBSan)
# build/release-native  the service as run.sh starts it (optimised, for the
#              end-to-end run of run.sh)
# build/fuzz   the fuzz targets, each run for a second (scripts/fuzz.sh)
# soak         20 runs of the program on one data folder (scripts/soak.sh)
# acceptance   the Windows package in a fresh Wine prefix (scripts/acceptance.sh)
#
# Extra arguments go to both ctest runs (for example -R History); the fuzz
# targets, the soak and the acceptance then do not run.
# CLIPDECK_WIN_JOBS sets the parallel test count of the win tree (default 1:
# the tests share one Wine desktop, and tests that move the focus or the
# foreground window would disturb each other).
set -uo pipefail

. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
root=$CLIPDECK_ROOT
cd "$root"

WINESERVER=$CLIPDECK_WINESERVER
win_build=$CLIPDECK_WIN_BUILD
native_build=$CLIPDECK_NATIVE_BUILD
export CLIPDECK_WINEPREFIX=$win_build/wineprefix
export WINEDEBUG=-all

started_wineserver=0
stop_wineserver() {
  if [ "$started_wineserver" = 1 ]; then
    WINEPREFIX=$CLIPDECK_WINEPREFIX "$WINESERVER" -k </dev/null >/dev/null 2>&1
    started_wineserver=0
  fi
}
trap stop_wineserver EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

bash "$root/scripts/setup.sh" --browser || { echo "test.sh: setup failed" >&2; exit 1; }

mkdir -p "$root/build"
win_built=0
native_built=0
# Native first: the win tree's end-to-end test runs the native service.
echo "== building build/native"
clipdeck_build_native && native_built=1
echo "== building build/release-native (the service run.sh starts)"
clipdeck_build_release_native || native_built=0
echo "== building build/win"
clipdeck_build_win && win_built=1

# Runs ctest in a tree; sets tree_passed, tree_failed and tree_note.
run_ctest() {
  local dir=$1 jobs=$2
  shift 2
  local log=$dir/ctest.log summary total
  tree_passed=0
  tree_failed=0
  tree_note=""
  ctest --test-dir "$dir" --output-on-failure -j"$jobs" "$@" 2>&1 | tee "$log"
  local rc=${PIPESTATUS[0]}
  summary=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
  if [ -n "$summary" ]; then
    tree_failed=$(sed -E 's/^[0-9]+% tests passed, ([0-9]+) tests? failed.*/\1/' <<<"$summary")
    total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$summary")
    tree_passed=$((total - tree_failed))
  elif grep -q 'No tests were found' "$log"; then
    tree_note=" (no tests)"
  elif [ "$rc" -ne 0 ]; then
    tree_note=" (ctest failed, exit code $rc)"
    return 1
  fi
  [ "$rc" -eq 0 ]
}

status=0
win_line="win: build failed"
native_line="native: build failed"
all_passed=0
all_failed=0

if [ "$win_built" = 1 ]; then
  # Make the prefix if needed and keep its wineserver up for the whole run, so
  # each test program starts in milliseconds (wine-run.sh starts the server).
  CLIPDECK_WINESERVER_PERSIST=forever "$root/scripts/wine-run.sh" cmd /c exit </dev/null >/dev/null 2>&1
  started_wineserver=1
  echo "== testing build/win"
  run_ctest "$win_build" "${CLIPDECK_WIN_JOBS:-1}" "$@" || status=1
  win_line="win: $tree_passed passed, $tree_failed failed$tree_note"
  all_passed=$((all_passed + tree_passed))
  all_failed=$((all_failed + tree_failed))
  stop_wineserver
else
  status=1
fi

if [ "$native_built" = 1 ]; then
  echo "== testing build/native"
  run_ctest "$native_build" 2 "$@" || status=1
  native_line="native: $tree_passed passed, $tree_failed failed$tree_note"
  all_passed=$((all_passed + tree_passed))
  all_failed=$((all_failed + tree_failed))
else
  status=1
fi

# Each fuzz target counts as one test: a crash found in its second fails it.
if [ $# -eq 0 ]; then
  echo "== fuzzing build/fuzz"
  fuzz_log=$root/build/fuzz.log
  bash "$root/scripts/fuzz.sh" --seconds 1 2>&1 | tee "$fuzz_log"
  fuzz_summary=$(grep -E '^fuzz: [0-9]+ passed, [0-9]+ failed$' "$fuzz_log" | tail -n 1)
  if [ -n "$fuzz_summary" ]; then
    fuzz_line=$fuzz_summary
    fuzz_passed=$(sed -E 's/^fuzz: ([0-9]+) passed.*/\1/' <<<"$fuzz_summary")
    fuzz_failed=$(sed -E 's/.* ([0-9]+) failed$/\1/' <<<"$fuzz_summary")
    all_passed=$((all_passed + fuzz_passed))
    all_failed=$((all_failed + fuzz_failed))
  else
    fuzz_line="fuzz: failed (see $fuzz_log)"
    status=1
  fi
else
  fuzz_line="fuzz: not run (ctest arguments given)"
fi

# The soak test of the list files: the program run 20 times on one data
# folder, closed or killed at random moments; it counts as one test.
if [ $# -eq 0 ] && [ "$win_built" = 1 ] && [ "$native_built" = 1 ]; then
  echo "== soak (20 cycles)"
  soak_log=$root/build/soak.log
  bash "$root/scripts/soak.sh" --no-build 20 2>&1 | tee "$soak_log"
  soak_status=${PIPESTATUS[0]}
  soak_summary=$(grep -E '^soak: [0-9]+ cycles' "$soak_log" | tail -n 1)
  if [ "$soak_status" -eq 0 ] && [ -n "$soak_summary" ]; then
    soak_line="soak: 1 passed, 0 failed (${soak_summary#soak: })"
    all_passed=$((all_passed + 1))
  else
    soak_line="soak: 0 passed, 1 failed (see $soak_log)"
    all_failed=$((all_failed + 1))
  fi
else
  soak_line="soak: not run"
fi

# The Windows package as a new user meets it: built, unpacked into a fresh
# Wine prefix and run from there; it counts as one test.
if [ $# -eq 0 ] && [ "$win_built" = 1 ]; then
  echo "== acceptance (the Windows package in a fresh Wine prefix)"
  acceptance_log=$root/build/acceptance.log
  bash "$root/scripts/acceptance.sh" 2>&1 | tee "$acceptance_log"
  if [ "${PIPESTATUS[0]}" -eq 0 ]; then
    acceptance_line="acceptance: 1 passed, 0 failed"
    all_passed=$((all_passed + 1))
  else
    acceptance_line="acceptance: 0 passed, 1 failed (see $acceptance_log)"
    all_failed=$((all_failed + 1))
  fi
else
  acceptance_line="acceptance: not run"
fi

[ "$all_failed" -eq 0 ] || status=1

echo
echo "$win_line"
echo "$native_line"
echo "$fuzz_line"
echo "$soak_line"
echo "$acceptance_line"
echo "$all_passed passed, $all_failed failed"
exit "$status"
