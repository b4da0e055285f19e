#!/usr/bin/env bash
# Memory hits under load/ for this tree's service against a reference build,
# in one run: ROUNDS turns of load/run.sh (wrk over CONNECTIONS connections
# for SECONDS) with LOAD_MEMORY_TEXTS=20 (every request asks one of 20 texts,
# so all but the first 20 answers come from the translation memory). The
# reference goes first in odd rounds and second in even ones, so both see the
# same machine. Prints every run's summary (and a run that failed load/run.sh's
# checks), then each build's median answers a second and p99.
#   bench/service/load_against.sh REFERENCE_BUILD [SECONDS] [ROUNDS] [CONNECTIONS]
set -euo pipefail
cd "$(dirname "$0")/../.."
reference=$1 seconds=${2:-20} rounds=${3:-3} connections=${4:-32}
export LOAD_MEMORY_TEXTS=${LOAD_MEMORY_TEXTS:-20}
results=$(mktemp)
trap 'rm -f "$results"' EXIT
for round in $(seq "$rounds"); do
  order=("$reference" build)
  [ $((round % 2)) -eq 0 ] && order=(build "$reference")
  for dir in "${order[@]}"; do
    output=$(load/run.sh "$dir" "$seconds" "$connections" 2>&1) || echo "round $round, $dir: FAILED: $(tail -n 1 <<<"$output")"
    line=$(grep '^answers ' <<<"$output" || true)
    echo "round $round, $dir: $line; $(grep '^service RSS' <<<"$output" || true)"
    [ -z "$line" ] || echo "$dir|$line" >> "$results"
  done
done
python3 - "$results" <<'EOF'
import re, statistics, sys
runs = {}
for row in open(sys.argv[1]):
    build, line = row.rstrip("\n").split("|", 1)
    rate = float(re.search(r"\(([0-9.]+) a second", line).group(1))
    p99 = float(re.search(r"p99 ([0-9.]+) ms", line).group(1))
    runs.setdefault(build, []).append((rate, p99))
for build, values in runs.items():
    print(f"{build}: median {statistics.median(r for r, _ in values):.0f} answers a second, "
          f"median p99 {statistics.median(p for _, p in values):.2f} ms over {len(values)} runs")
EOF
