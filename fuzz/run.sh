#!/usr/bin/env bash
# Builds the fuzz targets (the `fuzz` preset) and runs each for SECONDS on a copy of its seed
# corpus; fails when any target crashes, leaks, times out or runs out of memory.
#
#   fuzz/run.sh SECONDS [TARGET...]
#
# TARGET names a target without its fuzz_ prefix (default: all of them). Each run works in
# build/fuzz/run/<target>/: its corpus, its log and any input that failed (crash-*, leak-*,
# timeout-*, oom-*), which a fix puts into fuzz/corpus/<target>/ for good. FUZZ_FLAGS adds
# libFuzzer flags. The last lines are a table of the runs: executions, executions a second
# and coverage (libFuzzer's cov and ft) at the end.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ $# -lt 1 ] || ! [[ $1 =~ ^[0-9]+$ ]]; then
  echo "usage: fuzz/run.sh SECONDS [TARGET...]" >&2
  exit 2
fi
seconds=$1
shift

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz >/dev/null

bin=build/fuzz/fuzz
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for path in "$bin"/fuzz_*; do targets+=("${path##*/fuzz_}"); done
fi

summary=()
failed=()
for target in "${targets[@]}"; do
  program="$bin/fuzz_$target"
  if [ ! -x "$program" ]; then
    echo "fuzz/run.sh: no target $target" >&2
    exit 2
  fi
  work="build/fuzz/run/$target"
  rm -rf "$work"
  mkdir -p "$work/corpus"
  if [ -d "fuzz/corpus/$target" ]; then cp -r "fuzz/corpus/$target/." "$work/corpus/"; fi
  log="$work/log.txt"
  status=0
  # shellcheck disable=SC2086
  "$program" "$work/corpus" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$work/" ${FUZZ_FLAGS:-} >"$log" 2>&1 || status=$?
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  coverage=$(grep -Eo 'cov: [0-9]+ ft: [0-9]+' "$log" | tail -1)
  cov=$(awk '{print $2}' <<<"$coverage")
  ft=$(awk '{print $4}' <<<"$coverage")
  if [ $status -eq 0 ]; then
    result=ok
  else
    result="FAILED (exit $status)"
    failed+=("$target")
    grep -E '^(==[0-9]+==ERROR|SUMMARY|fuzz check failed|artifact_prefix|Test unit written)' "$log" >&2 || true
  fi
  line="$(printf '%-14s %6ss %12s %8s/s  cov %5s  ft %6s  %s' "$target" "$seconds" "${execs:-?}" \
    "${rate:-?}" "${cov:-?}" "${ft:-?}" "$result")"
  echo "$line"
  summary+=("$line")
done

echo
echo "target          time   executions   exec/s    coverage            result"
printf '%s\n' "${summary[@]}"
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz/run.sh: ${failed[*]} failed; logs and inputs in build/fuzz/run/" >&2
  exit 1
fi
echo "${#summary[@]} passed, 0 failed"
