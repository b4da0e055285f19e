#!/usr/bin/env bash
# Installs the Debian package, checks that its service answers through the
# socket the package enabled, starts the installed tarnix on a virtual X
# display, checks that its window appears, and removes the package again.
# Usage: packaging/smoke-test.sh path/to/tarnix_<version>_<arch>.deb
# Needs root (apt-get) and the Debian packages xvfb, xauth and xdotool.
set -euo pipefail

deb=$(realpath "$1")
export DEBIAN_FRONTEND=noninteractive

apt-get install -y "$deb"
trap 'apt-get purge -y tarnix' EXIT

# The package's own files, where a desktop looks for them.
for f in /usr/bin/tarnix /usr/share/applications/tarnix.desktop \
         /usr/share/icons/hicolor/128x128/apps/tarnix.png \
         /usr/share/metainfo/org.tarnix.Tarnix.metainfo.xml \
         /usr/bin/tarnix-fill /usr/share/man/man1/tarnix-fill.1.gz; do
    dpkg -S "$f" >/dev/null
done
# The manual renders without a warning from groff (where man-db is there and
# the system keeps manual pages: minimal images leave them out).
page=/usr/share/man/man1/tarnix-fill.1.gz
if command -v man >/dev/null && [ -e $page ]; then
    test -z "$(MANWIDTH=80 man --warnings -l $page 2>&1 >/dev/null)"
fi
# Starts at all: libgettextpo came with the package's Depends.
/usr/bin/tarnix-fill --version
units=/usr/lib/systemd/user
if [ -e $units/tarnix-service.service ]; then
    # Starts at all: every library it links came with the package's Depends.
    /usr/bin/tarnix-service --version
    dpkg -S /usr/share/man/man1/tarnix-service.1.gz >/dev/null
    if command -v systemd-analyze >/dev/null; then
        systemd-analyze verify $units/tarnix-service.service $units/tarnix-service.socket
    fi
    # Enabled for every user by the package, with nothing done by hand.
    if [ "$(readlink -f /etc/systemd/user/sockets.target.wants/tarnix-service.socket)" != $units/tarnix-service.socket ]; then
        echo "the package did not enable tarnix-service.socket for every user" >&2
        exit 1
    fi
    # The first connection to the socket's address gets a translation: from
    # the user's systemd if one runs here, else from the installed service
    # handed a listening socket as systemd hands it.
    address=$(sed -n 's/^ListenStream=//p' $units/tarnix-service.socket)
    if systemctl --user --quiet is-active tarnix-service.socket 2>/dev/null; then
        python3 "$(dirname "$0")/first-answer.py" "$address"
    else
        python3 "$(dirname "$0")/first-answer.py" "$address" --hand-over /usr/bin/tarnix-service
    fi
fi

# Start the installed program by its installed path and wait up to
# ten seconds for its window; then close it.
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    /usr/bin/tarnix &
    pid=$!
    found=""
    for _ in $(seq 1 40); do
        if ! kill -0 "$pid" 2>/dev/null; then
            echo "tarnix exited before showing its window" >&2
            exit 1
        fi
        if found=$(xdotool search --name "Tarnix 1.0"); then
            break
        fi
        sleep 0.25
    done
    kill "$pid"
    wait "$pid" || true
    if [ -z "$found" ]; then
        echo "the window \"Tarnix 1.0\" did not appear" >&2
        exit 1
    fi
    echo "the installed tarnix shows its window \"Tarnix 1.0\""
'
