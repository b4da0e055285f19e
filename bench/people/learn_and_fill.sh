#!/usr/bin/env bash
# What people's translations are worth to a fill, on real catalogs: the
# Spanish catalogs of several GNU packages (as Debian installs them, turned
# back into PO with msgunfmt) are learned, then the template of another GNU
# package is filled twice through this build's service and Apertium, with an
# empty memory and after learning. Prints the fill's counts (exact and close
# matches, engine fills) and the chrF of each fill against that package's own
# Spanish translation.
#   bench/people/learn_and_fill.sh BUILD_DIR [TARGET] [LEARNED...]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
target=${2:-diffutils}
shift $(( $# > 1 ? 2 : 1 ))
learned=("$@")
[ ${#learned[@]} -gt 0 ] || learned=(coreutils findutils grep gawk sed tar wget make bash)
locale=/usr/share/locale/es/LC_MESSAGES
scratch=$(mktemp -d)
trap 'kill $service 2>/dev/null || true; rm -rf "$scratch"' EXIT
cd "$scratch"
mkdir learn
for package in "${learned[@]}"; do
  [ -f "$locale/$package.mo" ] && msgunfmt "$locale/$package.mo" -o "learn/$package.po" 2>/dev/null
done
msgunfmt "$locale/$target.mo" -o human.po 2>/dev/null
# The template: the same entries with their translations emptied.
msgfilter -i human.po -o template.po --keep-header sed -e d
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
export XDG_DATA_HOME=$scratch/data XDG_CONFIG_HOME=$scratch/config
"$build/service/tarnix-service" --port "$port" --engine apertium > service.log 2>&1 &
service=$!
for _ in $(seq 600); do (exec 4<>/dev/tcp/127.0.0.1/$port) 2>/dev/null && break; sleep 0.1; done
url=http://127.0.0.1:$port
fill() { # NAME: fills a copy of the template, prints its counts and its chrF
  cp template.po "$1.po"
  # Exit status 1 says some entries were refused: counted in the table.
  { "$build/fill/tarnix-fill" --service "$url" --language es "$1.po" 2>/dev/null || true; } | sed 's/^/  /'
  "$here/chrf.py" "$1.po" human.po | sed 's/^/  /'
}
echo "$target's Spanish catalog, filled with an empty memory:"
fill machine
{ "$build/fill/tarnix-fill" --service "$url" --learn learn/*.po 2>&1 || true; } | tail -n 3 | sed 's/^/  /'
echo "after learning the Spanish catalogs of ${learned[*]}:"
fill people
