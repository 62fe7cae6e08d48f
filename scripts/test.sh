#!/bin/bash
# The whole test suite on a fresh Debian machine (as root): installs what is missing, builds,
# and runs every test program under Wine in a private prefix. Exits with ctest's status.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

scripts/setup.sh
scripts/build.sh
source scripts/wine-env.sh

status=0
ctest --test-dir build --output-on-failure || status=$?
exit "$status"
