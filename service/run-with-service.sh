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

port_open() { (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; }

# A service already answering there (for example the packaged user unit) is
# used as it is, unless other service options were asked for.
if port_open; then
  if [ $# -gt 0 ]; then
    echo "run-with-service: 127.0.0.1:$port is taken; stop that service to start one with: $*" >&2
    exit 1
  fi
  echo "run-with-service: using the service already listening on 127.0.0.1:$port" >&2
  exec "$program"
fi

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
  if port_open; then
    "$program"
    exit $?
  fi
  sleep 0.1
done
echo "run-with-service: tarnix-service did not answer on 127.0.0.1:$port within 60 s" >&2
exit 1
