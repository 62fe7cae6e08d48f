#!/bin/bash
# The scripts of the README's commands when a step fails. scripts/wine-env.sh when Wine's boot
# fails: the failing step is named with its exit code and the last lines of its log, a second
# boot is tried, and the prefix is kept for a look. scripts/build.sh when the configuration
# fails: the step is named with its exit code and its last lines.
#   failing_steps_test.sh <source root>
set -u
root="$1"
fake="$(mktemp -d)"
trap 'rm -rf "$fake"' EXIT
# A wineboot first on the path that fails as Wine's start sometimes does, and counts its calls.
cat >"$fake/wineboot" <<'SCRIPT'
#!/bin/bash
echo "fake wineboot: the prefix cannot be started"
echo call >>"$(dirname "$0")/calls"
exit 3
SCRIPT
chmod +x "$fake/wineboot"

output="$(PATH="$fake:$PATH" bash -c 'source "$1/scripts/wine-env.sh"; echo "set-up went on"' _ "$root" 2>&1)"
rc=$?

source "$(dirname "${BASH_SOURCE[0]}")/checks.sh"
check "the set-up fails (exit code $rc)" test "$rc" -ne 0
check "the step is named with its exit code" grep -qF 'wine-env: step "wineboot" failed with exit code 3' <<<"$output"
check "the last lines of its log are shown" grep -qF 'fake wineboot: the prefix cannot be started' <<<"$output"
check "a second boot is tried" grep -qF 'wine-env: step "wineboot, second attempt" failed with exit code 3' <<<"$output"
check "wineboot ran twice" test "$(wc -l <"$fake/calls")" -eq 2
check "nothing after the failed step ran" test -z "$(grep 'set-up went on' <<<"$output")"
kept="$(sed -n 's/^wine-env: prefix kept at \(.*\), its set-up log at .*/\1/p' <<<"$output")"
check "the kept prefix is named" test -n "$kept"
check "the prefix is there" test -d "$kept"
check "its set-up log is beside it" test -s "$kept.log"
[ -n "$kept" ] && rm -rf "$kept" "$kept.log"

# A cmake first on the path that fails at once, before it touches the build folder.
cat >"$fake/cmake" <<'SCRIPT'
#!/bin/bash
echo "fake cmake: the toolchain file cannot be read"
exit 4
SCRIPT
chmod +x "$fake/cmake"
output_build="$(PATH="$fake:$PATH" bash "$root/scripts/build.sh" 2>&1)"
rc=$?
check "the build fails (exit code $rc)" test "$rc" -eq 4
check "the build step is named with its exit code" \
    grep -qF 'build.sh: step "configure" failed with exit code 4' <<<"$output_build"
check "its last lines are repeated" test "$(grep -c 'fake cmake: the toolchain file cannot be read' <<<"$output_build")" -eq 2
output="$output
$output_build"
[ "$failures" -eq 0 ] || echo "$output"
echo "failing steps: $failures failure(s)"
[ "$failures" -eq 0 ]
