#!/bin/bash
# Demonstrates service.exe on a fresh Debian machine (as root): builds everything, makes a Wine
# prefix, puts service.exe, the sample application and its service.cfg into one folder, and runs
# the controller's command-line life against Wine's Service Control Manager - install, start,
# the running application, stop, uninstall - printing each exit code and state, and what the
# console companion service.com's /status says between the steps. Then it times
# /start and /stop against sc start and sc stop, and measures the service process's memory.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
source scripts/step.sh

tarvo_step "set-up" scripts/setup.sh
tarvo_step "build" scripts/build.sh

SERVICE_NAME="$(sed -n 's/^AppName=//p' sample/service.cfg | tr -d '\r')"
export TARVO_DEMO_SERVICES="$SERVICE_NAME"
source scripts/wine-env.sh

ROOT="$PWD"
BOXWATCH="$ROOT/build/tests/rig/boxwatch.exe"
DEMO_DIR="$WINEPREFIX/drive_c/TarvoDemo"
BROKEN_DIR="$WINEPREFIX/drive_c/TarvoDemoBroken"
DEMO_EXE='C:\TarvoDemo\service.exe'
RECORD="$DEMO_DIR/TarvoSample.record"

mkdir -p "$DEMO_DIR" "$BROKEN_DIR"
cp build/service/service.exe build/service/service.com build/sample/TarvoSample.exe sample/service.cfg "$DEMO_DIR/"
cp build/service/service.exe "$BROKEN_DIR/"
# A configuration without the window class of the application.
grep -v '^AppWinClass=' sample/service.cfg >"$BROKEN_DIR/service.cfg"
# The controller's write check also judges the folder it is started in: run it from its own
# folder, since the checkout may lie below one that everybody can write, such as /tmp.
cd "$DEMO_DIR"

# Runs service.exe through boxwatch (which prints and answers any message box) and prints the
# exit code with what it means.
run() {
    local meaning=$1
    shift
    local rc=0
    wine "$BOXWATCH" -- "$@" 2>&1 | tr -d '\r' || rc=${PIPESTATUS[0]}
    echo "exit code $rc ($meaning)"
}

# service.com /status: the state's line and its exit code, as a script sees them.
status() {
    local rc=0
    wine 'C:\TarvoDemo\service.com' /status 2>/dev/null | tr -d '\r' || rc=${PIPESTATUS[0]}
    echo "service.com /status: exit code $rc (0 running, 10 stopped, 11 pending, 12 not installed)"
}

state() {
    wine sc query "$SERVICE_NAME" 2>/dev/null | tr -d '\r' | sed -n 's/^ *STATE *: */state: /p'
}

wait_state() {
    local wanted=$1
    for _ in $(seq 1 300); do
        state | grep -q "$wanted" && return 0
        sleep 0.1
    done
    echo "demo: the service did not reach $wanted" >&2
    return 1
}

wait_record() {
    for _ in $(seq 1 100); do
        grep -q "$1" "$RECORD" 2>/dev/null && return 0
        sleep 0.1
    done
    return 1
}

echo
echo "== service.cfg beside the program names the application and its main window class:"
sed -n '/^App/p' "$ROOT/sample/service.cfg"
echo
echo "== 1. service.exe /? shows the syntax box"
run "syntax shown" "$DEMO_EXE" '/?'
echo
echo "== 2. a service.cfg without AppWinClass is refused with the configuration error box"
run "configuration error" 'C:\TarvoDemoBroken\service.exe' /start
echo
echo "== 3. without a switch, from a prompt: the service-process road finds no service"
run "5 = not installed" "$DEMO_EXE"
echo
status
echo
echo "== 4. service.exe /install registers $SERVICE_NAME with the Service Control Manager"
run "0 = installed" "$DEMO_EXE" /install
# Wine's sc has no "qc"; the manager keeps its database in the registry, shown here instead:
# Type 0x110 (own process, interactive), Start 2 (automatic), ErrorControl 1 (normal).
wine reg query "HKLM\\System\\CurrentControlSet\\Services\\$SERVICE_NAME" 2>/dev/null | tr -d '\r' |
    grep -E '^ +(Type|Start|ErrorControl|ImagePath|DisplayName|ObjectName) ' || true
echo "== 5. service.exe /install again: the name is taken"
run "2 = registration failed" "$DEMO_EXE" /install
# An automatic service may be started by the manager right away; begin from the stopped state.
wine sc stop "$SERVICE_NAME" >/dev/null 2>&1 || true
wait_state STOPPED
rm -f "$RECORD"
status
echo
echo "== 6. service.exe /start: the manager starts service.exe, which launches the application"
run "0 = start accepted" "$DEMO_EXE" /start
wait_state RUNNING && state
wait_record '^window=' || true
echo "the application's own record (command line, working directory, window class):"
grep -E '^(commandline|cwd|window)=' "$RECORD" | sed 's/^/  /'
status
echo
echo "== 7. service.exe /start again: it runs already"
run "6 = start failed" "$DEMO_EXE" /start
echo
echo "== 8. service.exe /stop: the service posts WM_QUIT to the application's window and reports"
echo "      stopped once the application has ended; the controller looks every 10 ms"
run "0 = stopped" "$DEMO_EXE" /stop
state
status
echo "the application's record: $(grep '^end=' "$RECORD" | tr -d '\r')"
echo
echo "== 9. service.exe /stop again: it is stopped"
run "7 = stop failed" "$DEMO_EXE" /stop

echo
echo "== 10. timing and memory (service_bench: mean of 5 rounds against the same kind of service)"
wine "$ROOT/build/tests/bench/service_bench.exe" "$(winepath -w "$ROOT/build/service/service.exe")" \
    "$(winepath -w "$ROOT/build/sample/TarvoSample.exe")" 5 2>&1 | tr -d '\r' | grep -v -E '^(SERVICE_NAME|  +[A-Z_0-9]+ +:)'

echo
echo "== 11. service.exe /uninstall removes the registration; again, there is nothing to remove"
run "0 = removed" "$DEMO_EXE" /uninstall
run "3 = removal failed" "$DEMO_EXE" /uninstall
status
