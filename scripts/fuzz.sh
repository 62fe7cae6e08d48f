#!/bin/bash
# A long fuzz run: builds the fuzz program and runs its random phase for as long as asked,
# under Wine in a private prefix.
#   scripts/fuzz.sh [SECONDS [SEED]]     default 600 seconds, the suite's fixed seed
#   scripts/fuzz.sh 60 random            a new seed, printed so that a finding can be rerun
# A failing input is printed with the options that rerun it alone (--seed=S --input=I).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

seconds="${1:-600}"
seed="${2:-}"
if [ "$seed" = random ]; then
    seed="$(od -An -N4 -tu4 /dev/urandom | tr -d ' ')"
fi
case "$seconds" in *[!0-9]*|'') echo "fuzz.sh: SECONDS must be a whole number" >&2; exit 2 ;; esac
case "$seed" in *[!0-9]*) echo "fuzz.sh: SEED must be a number or 'random'" >&2; exit 2 ;; esac

[ -f build/build.ninja ] || cmake --preset mingw >/dev/null
cmake --build build --target fuzz_tests
source scripts/wine-env.sh

cd build/tests/fuzz
args=(--seconds="$seconds")
[ -n "$seed" ] && args+=(--seed="$seed")
echo "fuzz.sh: ${args[*]}" >&2
wine fuzz_tests.exe "${args[@]}"
