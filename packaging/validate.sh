#!/bin/sh
# Runs a validator given as "tool args...". A machine without the tool skips
# the test: exit code 77 is the test's skip code in CTest.
tool=$1
if ! command -v "$tool" >/dev/null 2>&1; then
    echo "$tool is not installed: skipped"
    exit 77
fi
exec "$@"
