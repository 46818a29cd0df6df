#!/usr/bin/env bash
# Builds the fuzz tree (build/fuzz, clang-14 with libFuzzer, ASan and UBSan)
# and runs each fuzz target in turn.
#
#   scripts/fuzz.sh --seconds N [targets...]   each target for N seconds
#   scripts/fuzz.sh --runs N [targets...]      each target for N executions
#   scripts/fuzz.sh --runs N --seconds S ...   whichever comes first
#   scripts/fuzz.sh --jobs J ...                J processes per target side by
#                                               side, sharing its corpus; each
#                                               runs to the limit, and the
#                                               executions are their sum
#
# Targets are named as in tests/fuzz/ (utf8, stores, ...); all of them by default.
# Each starts from its seeds in tests/fuzz/corpus/<target>/ and from what earlier
# runs found in build/fuzz/corpus/<target>/, which is where new inputs go.
# A crash, a property failure or a hang (over 10 s on one input) leaves the
# input in build/fuzz/crashes/ and the log in build/fuzz/logs/<target>.log.
# Prints per target the executions, coverage (cov: and ft: of the last
# status line), time and result, then "fuzz: N passed, N failed"; exits
# non-zero when a target failed. Runs at nice 10, one target at a time.
set -uo pipefail

. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
root=$CLIPDECK_ROOT
cd "$root"

usage() {
  echo "usage: scripts/fuzz.sh [--seconds N] [--runs N] [--jobs J] [targets...] (--seconds or --runs at least)" >&2
  exit 2
}

limit=()
what=""
jobs=1
targets=()
while [ $# -gt 0 ]; do
  case $1 in
    --seconds) [ $# -ge 2 ] || usage; limit+=(-max_total_time="$2"); what="${what:+$what or }$2 s"; shift 2 ;;
    --runs) [ $# -ge 2 ] || usage; limit+=(-runs="$2"); what="${what:+$what or }$2 runs"; shift 2 ;;
    --jobs) [ $# -ge 2 ] && [[ $2 =~ ^[1-9][0-9]*$ ]] || usage; jobs=$2; shift 2 ;;
    -h|--help) usage ;;
    -*) usage ;;
    *) targets+=("$1"); shift ;;
  esac
done
[ ${#limit[@]} -gt 0 ] || usage
if [ ${#targets[@]} -eq 0 ]; then
  for f in "$root"/tests/fuzz/*.cpp; do
    targets+=("$(basename "$f" .cpp)")
  done
fi

bash "$root/scripts/setup.sh" || { clipdeck_say "setup failed"; exit 1; }

build=$root/build/fuzz
echo "== building build/fuzz"
mkdir -p "$root/build"
# A campaign and the test command may run at once: one builds at a time.
if ! (
  flock 9
  clipdeck_configure_and_build "$build" -DCLIPDECK_FUZZ=ON \
    -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14
) 9>"$root/build/fuzz.lock"; then
  echo
  echo "fuzz: build failed"
  echo "fuzz: 0 passed, ${#targets[@]} failed"
  exit 1
fi

mkdir -p "$build/crashes" "$build/logs"
export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

passed=0
failed=0
report=()
for t in "${targets[@]}"; do
  exe=$build/fuzz/fuzz_$t
  seeds=$root/tests/fuzz/corpus/$t
  log=$build/logs/$t.log
  # Written under names of this run's own, so that a run beside it cannot
  # mix into them; the first job's log takes the plain name when read.
  run_logs=()
  for ((j = 0; j < jobs; j++)); do
    run_logs+=("$build/logs/$t.$$.$j.log")
  done
  if [ ! -x "$exe" ] || [ ! -d "$seeds" ]; then
    report+=("$(printf '%-22s %s' "$t" "no such target (or no seeds in tests/fuzz/corpus/$t)")")
    failed=$((failed + 1))
    continue
  fi
  corpus=$build/corpus/$t
  mkdir -p "$corpus"
  before=$(find "$build/crashes" -maxdepth 1 -name "$t-*" | wc -l)
  start=$(date +%s.%N)
  pids=()
  for run_log in "${run_logs[@]}"; do
    nice -n 10 "$exe" "${limit[@]}" -print_final_stats=1 -timeout=10 \
      -artifact_prefix="$build/crashes/$t-" "$corpus" "$seeds" >"$run_log" 2>&1 </dev/null &
    pids+=($!)
  done
  rc=0
  for pid in "${pids[@]}"; do
    wait "$pid" || rc=$?
  done
  for ((j = 1; j < jobs; j++)); do
    mv -f "${run_logs[$j]}" "$build/logs/$t.$j.log"
  done
  mv -f "${run_logs[0]}" "$log"
  end=$(date +%s.%N)
  after=$(find "$build/crashes" -maxdepth 1 -name "$t-*" | wc -l)

  execs=0
  cov=""
  ft=""
  for ((j = 0; j < jobs; j++)); do
    job_log=$log
    [ "$j" -eq 0 ] || job_log=$build/logs/$t.$j.log
    n=$(grep -a '^stat::number_of_executed_units:' "$job_log" | sed 's/.*: *//' | tail -n 1)
    if [ -z "$n" ]; then execs=""; break; fi
    execs=$((execs + n))
    # The jobs share a corpus; the best coverage any of them saw is the target's.
    status_line=$(grep -aE '^#[0-9]+.*cov: ' "$job_log" | tail -n 1)
    c=$(sed -nE 's/.* cov: ([0-9]+).*/\1/p' <<<"$status_line")
    f=$(sed -nE 's/.* ft: ([0-9]+).*/\1/p' <<<"$status_line")
    if [ -n "$c" ] && [ "${c}" -gt "${cov:-0}" ]; then cov=$c; fi
    if [ -n "$f" ] && [ "${f}" -gt "${ft:-0}" ]; then ft=$f; fi
  done
  seconds=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.1f", b - a }')
  if [ "$rc" -eq 0 ] && [ "$after" -eq "$before" ]; then
    result=ok
    passed=$((passed + 1))
  else
    result="CRASH (exit $rc; see $log and build/fuzz/crashes/$t-*)"
    failed=$((failed + 1))
  fi
  report+=("$(printf '%-22s %12s %7s %8s %8s  %s' "$t" "${execs:-?}" "${cov:-?}" "${ft:-?}" "$seconds" "$result")")
done

echo
echo "fuzz targets, $what each$([ "$jobs" -gt 1 ] && echo ", in $jobs jobs"):"
printf '%-22s %12s %7s %8s %8s  %s\n' target executions cov ft seconds result
printf '%s\n' "${report[@]}"
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
