#!/usr/bin/env bash
# A PostgreSQL cluster of Debian's packages for tests, benchmarks and load runs:
# in FOLDER, on 127.0.0.1:PORT, superuser "tarnix" with the password in
# FOLDER/pwfile when there is one (else no password). The server refuses to
# run as root, so under root (as in CI) it runs as nobody, who then owns FOLDER.
#   postgres.sh start|stop FOLDER PORT
# Exits with 77 when PostgreSQL is not installed.
set -eu
folder=$2
bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
[ -x "$bin/pg_ctl" ] || { echo "PostgreSQL is not installed (Debian package postgresql)" >&2; exit 77; }
as=()
if [ "$(id -u)" -eq 0 ]; then chown -R nobody "$folder"; as=(runuser -u nobody --); fi
if [ "$1" = stop ]; then exec "${as[@]}" "$bin/pg_ctl" -D "$folder/data" -m fast -w stop >/dev/null; fi
if [ ! -d "$folder/data" ]; then
  auth=(--auth=trust)
  [ -f "$folder/pwfile" ] && auth=(--pwfile="$folder/pwfile" --auth-local=trust --auth-host=scram-sha-256)
  "${as[@]}" "$bin/initdb" -D "$folder/data" -U tarnix -E UTF8 --no-sync "${auth[@]}" >/dev/null
fi
# Sockets in the folder; fsync off: a scratch database need not survive a power cut.
exec "${as[@]}" "$bin/pg_ctl" -D "$folder/data" -l "$folder/server.log" -w \
  -o "-p $3 -k $folder -c listen_addresses=127.0.0.1 -c fsync=off" start >/dev/null
