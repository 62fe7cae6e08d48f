#!/bin/bash
# The service in production, in a private Wine prefix whose services run with the event log's
# debug channel on (Wine's ReportEvent only traces the events, here into the prefix's log): the registration that
# /install makes from the optional keys (description, start type, preshutdown timeout, failure
# actions) and of the event source, and the events of a run that is stopped, of an application
# that ends with 3 and of a missing application. /uninstall removes both registrations.
#   eventlog_test.sh <service.exe> <TarvoSample.exe>
set -u
service_host="$1"
sample_host="$2"
# The prefix's services (started by its boot) trace the events into the set-up log.
TARVO_WINE_DEBUG=+eventlog source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/wine-env.sh"
export WINEDEBUG=-all
events="$TARVO_WINE_LOG"

source "$(dirname "${BASH_SOURCE[0]}")/../scripts/checks.sh"


name="TarvoTestEvents$$"
work="$WINEPREFIX/drive_c/EventTest"
mkdir -p "$work"
cp "$service_host" "$sample_host" "$work/"
# The controller is run from its own folder: the folder it starts in is among those the write
# check judges (a commandline.ini there would steer it), and a build folder may lie below one
# that everybody can write, such as /tmp.
cd "$work"
config() { # config EXTRA_LINES: service.cfg for the sample with these lines added
    printf 'AppName=%s\r\nAppExe=TarvoSample.exe\r\nAppHelp=|100\r\nAppRegKey=TarvoTest\r\nAppWinClass=TarvoSampleMainWindow\r\n%s' \
        "$name" "$1" >"$work/service.cfg"
}
controller() { wine 'C:\EventTest\service.exe' "$@" 2>/dev/null | tr -d '\r'; }
registration() { wine reg query "HKLM\\System\\CurrentControlSet\\Services\\$1" 2>/dev/null | tr -d '\r'; }
unregistered() { ! wine reg query "HKLM\\System\\CurrentControlSet\\Services\\$1" >/dev/null 2>&1; }
source_key="EventLog\\Application\\$name"
wait_state() { # wait_state STATE: up to 20 s
    for _ in $(seq 1 200); do
        wine sc query "$name" 2>/dev/null | grep -q "$1" && return 0
        sleep 0.1
    done
    return 1
}
# The events reported since the mark, one "type id: strings" line each (type 0x0004
# information, 0x0001 error).
mark=0
set_mark() { mark=$(wc -l <"$events"); }
reported() {
    tail -n +"$((mark + 1))" "$events" | tr -d '\r' | awk '
        /fixme:advapi:ReportEventW \(/ { if (line) print line; split($0, f, ","); line = f[2] " " f[4] ":"; next }
        /(trace|warn|err):eventlog:ReportEventW L"/ { s = $0; sub(/.*ReportEventW L"/, "", s); sub(/"$/, "", s); gsub(/\\\\/, "\\", s); line = line " " s }
        END { if (line) print line }'
}

echo "--- /install with every optional key"
config $'Description=Runs the Tarvo sample\r\nStartType=manual\r\nShutdownTimeout=90\r\nRestartOnFailure=5\r\n'
check "install answers 0" test "$(controller /LOGIT:'C:\EventTest\install.log' /install)" = "Service $name installed."
listing="$(registration "$name")"
check "the description is registered" grep -q "Description    REG_SZ    Runs the Tarvo sample" <<<"$listing"
check "manual start (3)" grep -q "Start    REG_DWORD    0x3" <<<"$listing"
check "the preshutdown timeout is 90 s" grep -q "PreshutdownTimeout    REG_DWORD    0x15f90" <<<"$listing"
sources="$(registration "$source_key")"
check "the event source names service.exe" grep -q 'EventMessageFile    REG_SZ    C:\\EventTest\\service.exe' <<<"$sources"
check "the event source takes errors, warnings and information" grep -q "TypesSupported    REG_DWORD    0x7" <<<"$sources"
log="$(tr -d '\r' <"$work/install.log")"
check "the failure actions were accepted" grep -q "SERVICEOPTIONS failure actions: set (0)" <<<"$log"
# Wine 8 refuses the flag that applies the actions to a stop with an error code: logged, passed over.
check "the system's answer to the failure-actions flag is logged" grep -qE "SERVICEOPTIONS failure actions flag: (set \(0\)|refused by the system \([0-9]+\))" <<<"$log"

echo "--- a run that is stopped"
set_mark
controller /start >/dev/null
wait_state RUNNING
for _ in $(seq 1 100); do grep -q "window=" "$work/TarvoSample.record" 2>/dev/null && break; sleep 0.1; done
controller /stop >/dev/null
run="$(reported)"
echo "$run" | sed 's/^/     /'
check "started, with its process id" grep -qE '^0x0004 0x00000001: C:\\EventTest\\TarvoSample.exe [0-9]+$' <<<"$run"
check "the stop request" grep -qx '0x0004 0x00000006: stop' <<<"$run"
check "the application ended after the request" grep -qx '0x0004 0x00000007: C:\\EventTest\\TarvoSample.exe 0' <<<"$run"
check "the service stopped" grep -qx "0x0004 0x00000008: $name" <<<"$run"

echo "--- an application that ends with 3"
printf 'ExitAfterMs=300\r\nExitCode=3\r\n' >"$work/TarvoSample.ini"
set_mark
controller /start >/dev/null
sleep 1
wait_state STOPPED
run="$(reported)"
check "an error event with the exit code" grep -qx '0x0001 0x00000004: C:\\EventTest\\TarvoSample.exe 3' <<<"$run"
check "then the service stopped" grep -qx "0x0004 0x00000008: $name" <<<"$run"
rm -f "$work/TarvoSample.ini"

echo "--- a missing application"
printf 'AppName=%s\r\nAppExe=NoSuchProgram.exe\r\nAppHelp=|100\r\nAppRegKey=TarvoTest\r\nAppWinClass=TarvoSampleMainWindow\r\n' "$name" >"$work/service.cfg"
set_mark
controller /start >/dev/null
wait_state STOPPED
run="$(reported)"
check "an error event with the system's error" grep -qE '^0x0001 0x00000002: C:\\EventTest\\NoSuchProgram.exe \(2\) ' <<<"$run"

echo "--- /uninstall"
check "uninstall answers 0" test "$(controller /uninstall)" = "Service $name uninstalled."
check "the registration is gone" unregistered "$name"
check "the event source is gone" unregistered "$source_key"

echo "--- the defaults: nothing configured; a delayed start that Wine refuses stays automatic"
config $'StartType=delayed\r\n'
controller /LOGIT:'C:\EventTest\install2.log' /install >/dev/null
listing="$(registration "$name")"
check "automatic start (2)" grep -q "Start    REG_DWORD    0x2" <<<"$listing"
check "no description" bash -c '! grep -q Description <<<"$1"' _ "$listing"
# Wine registers its own default (180 s) for every service; the key's 90 s are not there.
check "the system's preshutdown timeout" bash -c '! grep -q "PreshutdownTimeout    REG_DWORD    0x15f90" <<<"$1"' _ "$listing"
log="$(tr -d '\r' <"$work/install2.log")"
check "the delayed start's answer is logged" grep -qE "SERVICEOPTIONS delayed automatic start: (set|refused)" <<<"$log"
check "no failure actions" bash -c '! grep -q "failure actions" <<<"$1"' _ "$log"
wine sc stop "$name" >/dev/null 2>&1
wait_state STOPPED
controller /uninstall >/dev/null

[ "$failures" -eq 0 ] && echo "eventlog: all checks passed"
exit $((failures > 0))
