#!/usr/bin/env bash
# Runs every fuzz target of build-fuzz/ for the given number of seconds each
# (default 300), starting from the committed seeds under fuzz/corpus/<target>/.
# New inputs go to build-fuzz/corpus/<target>/, crashes to build-fuzz/artifacts/.
# An input that takes over a second counts as a failure. Prints one summary
# line per target: executions, seconds, corpus size.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-300}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_reply fuzz_form fuzz_framing)

mkdir -p build-fuzz/artifacts
summary=()
for target in "${targets[@]}"; do
  binary=build-fuzz/fuzz/$target
  dict=fuzz/${target#fuzz_}.dict
  log=build-fuzz/$target.log
  mkdir -p "build-fuzz/corpus/$target"
  echo "== $target: $seconds s"
  dictionary=()
  [ -f "$dict" ] && dictionary=(-dict="$dict")
  status=0
  "$binary" -max_total_time="$seconds" -timeout=1 -rss_limit_mb=2048 -max_len=4096 \
    -print_final_stats=1 -artifact_prefix="build-fuzz/artifacts/$target-" \
    "${dictionary[@]}" \
    "build-fuzz/corpus/$target" "fuzz/corpus/$target" >"$log" 2>&1 || status=$?
  if [ $status -ne 0 ]; then
    tail -n 60 "$log"
    echo "FAILED: $target (exit $status), input in build-fuzz/artifacts/" >&2
    exit 1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  corpus=$(ls "build-fuzz/corpus/$target" | wc -l)
  summary+=("$target: $runs executions in $seconds s, no failure; corpus $corpus inputs")
done
printf '%s\n' "${summary[@]}"
