#!/bin/bash
# The whole test suite on a fresh Debian machine (as root): installs what is missing, builds,
# and runs every test program under Wine in a private prefix, several at a time (ctest's
# resource locks keep the entries that need the display to themselves apart). Prints how long
# each part took. Exits with ctest's status.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

# Runs one part and reports its time, or the part that failed with its exit code.
part() { # part NAME COMMAND...
    local name="$1" begin=$SECONDS rc=0
    shift
    "$@" || rc=$?
    if [ "$rc" -ne 0 ]; then
        echo "test.sh: $name failed with exit code $rc after $((SECONDS - begin)) s" >&2
        return "$rc"
    fi
    echo "test.sh: $name took $((SECONDS - begin)) s"
}

part "set-up" scripts/setup.sh
part "build" scripts/build.sh
begin=$SECONDS
source scripts/wine-env.sh
echo "test.sh: Wine prefix and display took $((SECONDS - begin)) s"

status=0
part "tests" ctest --test-dir build --output-on-failure --parallel 4 || status=$?
exit "$status"
