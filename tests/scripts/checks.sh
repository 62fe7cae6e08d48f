# Sourced by the test scripts: "check DESCRIPTION COMMAND..." runs the command and prints "ok"
# or "FAIL" with the description; $failures counts the checks that failed.
failures=0
check() {
    local description="$1"
    shift
    if "$@"; then echo "ok   $description"; else echo "FAIL $description"; failures=$((failures + 1)); fi
}
