#!/bin/bash
# The whole test suite on a fresh Debian machine (as root): installs what is missing, builds,
# and runs every test program under Wine in a private prefix, several at a time (ctest's
# resource locks keep the entries that need the display to themselves apart). Prints how long
# each part took. Exits with ctest's status.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
source scripts/step.sh

tarvo_step "set-up" scripts/setup.sh
tarvo_step "build" scripts/build.sh
begin=$SECONDS
source scripts/wine-env.sh
echo "test.sh: Wine prefix and display took $((SECONDS - begin)) s"

status=0
tarvo_step "tests" ctest --test-dir build --output-on-failure --parallel 4 || status=$?
exit "$status"
