#!/bin/bash
# service.com and service.exe typed in a shell under Wine (in the run's prefix): the line on the
# shell's standard output and the exit code. The window program gets the shell's output too.
# Usage: console_shell_test.sh BUILD_DIR
set -uo pipefail
build="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

cp "$build/service/service.exe" "$build/service/service.com" "$work/"
name="TarvoTestShell$$"
printf 'AppName=%s\r\nAppExe=TarvoSample.exe\r\nAppHelp=|100\r\nAppRegKey=TarvoTest\r\nAppWinClass=TarvoSampleMainWindow\r\n' \
    "$name" >"$work/service.cfg"
cd "$work"

expect() { # expect EXIT_CODE LINE PROGRAM ARGS... (LINE may end in a * for the system's own text)
    local code="$1" line="$2" output rc
    shift 2
    output="$(wine "$@" 2>/dev/null | tr -d '\r')"
    rc="${PIPESTATUS[0]}"
    [ "$rc" = "$code" ] || fail "$*: exit code $rc, expected $code"
    # shellcheck disable=SC2053
    [[ $output == $line ]] || fail "$*: printed '$output', expected '$line'"
}

for program in service.com service.exe; do
    expect 12 "Service $name is not installed." "$program" /status
    expect 12 "Service $name ist nicht installiert." "$program" -status /LANG:GER
    expect 6 "Service $name could not be started: error 1060: *" "$program" /start
done
# What a shell passes on reaches service.exe through the companion: its output into a file.
wine service.com /status >status.txt 2>/dev/null
[ "$(tr -d '\r' <status.txt)" = "Service $name is not installed." ] || fail "the redirected output is '$(cat status.txt)'"

[ "$failures" -eq 0 ] && echo "console_shell: all checks passed"
exit $((failures > 0))
