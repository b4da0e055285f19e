#!/usr/bin/env bash
# Load on tarnix-service: wrk with load/mix.lua for SECONDS (at most 60) over
# CONNECTIONS connections, against the service whose LibreTranslate engine is
# the echoing stand-in load/echo-engine.py. Fails on a wrong answer, a crash,
# service memory more than 10% above its level after the first quarter, or an
# unclean exit on SIGTERM.   load/run.sh BUILD_DIR [SECONDS] [CONNECTIONS]
set -euo pipefail
cd "$(dirname "$0")/.."
build=$1 seconds=${2:-60} connections=${3:-32}
[ "$seconds" -le 60 ] || seconds=60
rss() { awk '/^VmRSS/ {print $2}' "/proc/$1/status"; }

ready() { # waits up to 10 s for COMMAND to succeed
  for _ in $(seq 100); do "$@" 2>/dev/null && return 0; sleep 0.1; done
  echo "load: not ready: $*" >&2
  return 1
}
scratch=$(mktemp -d) service=
portFile=$scratch/port
python3 load/echo-engine.py > "$portFile" &
engine=$!
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
trap 'kill $engine $service 2>/dev/null; rm -rf "$scratch"' EXIT
ready test -s "$portFile"
# The service's translation memory goes in a scratch folder, not the user's.
XDG_DATA_HOME=$scratch "$build/service/tarnix-service" --port "$port" --engine libretranslate \
  --engine-url "http://127.0.0.1:$(cat "$portFile")" 2>/dev/null &
service=$!
ready bash -c "exec 4<>/dev/tcp/127.0.0.1/$port"

wrk -t"$connections" -c"$connections" -d"${seconds}s" --latency -s load/mix.lua "http://127.0.0.1:$port/" &
load=$!
sleep $((seconds / 4))
early=$(rss $service)
wait $load
late=$(rss $service)
echo "service RSS: $early KiB after the first quarter, $late KiB at the end"
[ "$late" -le $((early * 11 / 10)) ] || { echo "service memory grew over 10%" >&2; exit 1; }
kill -TERM $service
wait $service || { echo "service exited uncleanly on SIGTERM" >&2; exit 1; }
echo "load: passed"
