#!/bin/bash
# Runs the program against its bundled translation service: starts
# tarnix-service, waits until it accepts connections, runs tarnix, and stops
# the service when the program closes (or when this script is interrupted).
# Usage: run-with-service.sh [BUILD_DIR [SERVICE_OPTIONS...]]
set -u

build=${1:-build}
shift $(( $# > 0 ? 1 : 0 ))
port=7317
service="$build/service/tarnix-service"
program="$build/app/tarnix"

for file in "$service" "$program"; do
  [ -x "$file" ] || { echo "run-with-service: $file is not built" >&2; exit 1; }
done

"$service" --port "$port" "$@" &
service_pid=$!
stop_service() {
  kill -TERM "$service_pid" 2>/dev/null && wait "$service_pid" 2>/dev/null
}
trap stop_service EXIT
trap 'exit 130' INT TERM

# The service opens its port only once its engine answers (APy needs a few
# seconds to load the language pairs).
for _ in $(seq 600); do
  if ! kill -0 "$service_pid" 2>/dev/null; then
    echo "run-with-service: tarnix-service stopped before it was ready" >&2
    exit 1
  fi
  if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
    "$program"
    exit $?
  fi
  sleep 0.1
done
echo "run-with-service: tarnix-service did not answer on 127.0.0.1:$port within 60 s" >&2
exit 1
