# Sourced by the other scripts: a private Wine prefix and display for this run.
#   source scripts/wine-env.sh
# Sets WINEPREFIX to a new folder under build/wine/ (unique per run), WINEDEBUG=-all and
# WINEDLLOVERRIDES="mscoree,mshtml=" (no .NET or Gecko installers, which cannot be fetched);
# starts Xvfb on a display of its own choosing when DISPLAY is unset; boots the prefix; keeps
# one wineserver alive for the whole run (and at most 30 s after its last Wine process). On
# exit the trap deletes every service the run created (the tests' "TarvoTest..." names and
# the demo's), ends the wineserver and Xvfb and removes the prefix.
# Set TARVO_KEEP_PREFIX=1 to keep the prefix for a look afterwards. The output of the set-up
# steps goes to a log beside the prefix (<prefix>.log); a step that fails is named with its exit
# code and the log's last lines, and the prefix is kept. A boot that fails is tried once more.

TARVO_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
TARVO_WINE_RUNS="$TARVO_ROOT/build/wine"
# Service names the demo registers; the tests' names all start with TarvoTest.
TARVO_DEMO_SERVICES="${TARVO_DEMO_SERVICES:-TarvoSample}"

mkdir -p "$TARVO_WINE_RUNS"
WINEPREFIX="$(mktemp -d "$TARVO_WINE_RUNS/prefix-$(date +%Y%m%d-%H%M%S)-XXXXXX")"
export WINEPREFIX
TARVO_WINE_LOG="$WINEPREFIX.log"
TARVO_KEEP_PREFIX_ASKED="${TARVO_KEEP_PREFIX:-0}"
: >"$TARVO_WINE_LOG"
TARVO_WINE_BOOTED=0
# The prefix's services keep the channels of the boot (TARVO_WINE_DEBUG, default none) and write
# to its log: a test that needs a channel of theirs sets it and reads the log.
export WINEDEBUG="${TARVO_WINE_DEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml="
TARVO_XVFB_PID=""

# The services of this prefix whose names mark them as the run's own.
tarvo_wine_own_services() {
    wine reg query 'HKLM\System\CurrentControlSet\Services' 2>/dev/null | tr -d '\r' |
        sed -n 's/^.*\\Services\\//p' |
        while read -r name; do
            case "$name" in
                TarvoTest*) echo "$name" ;;
                *) for demo in $TARVO_DEMO_SERVICES; do [ "$name" = "$demo" ] && echo "$name"; done ;;
            esac
        done
}

tarvo_wine_cleanup() {
    local rc=$?
    trap - EXIT INT TERM
    if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
        local name
        # A prefix that never booted has no services, and a Wine command would boot it now.
        [ "$TARVO_WINE_BOOTED" = 1 ] && for name in $(tarvo_wine_own_services); do
            echo "wine-env: deleting service $name" >&2
            wine sc stop "$name" >/dev/null 2>&1 || true
            wine sc delete "$name" >/dev/null 2>&1 || true
        done
        wineserver -k >/dev/null 2>&1 || true
        wineserver -w >/dev/null 2>&1 || true
        if [ "${TARVO_KEEP_PREFIX:-0}" = 1 ]; then
            echo "wine-env: prefix kept at $WINEPREFIX, its set-up log at $TARVO_WINE_LOG" >&2
        else
            rm -rf "$WINEPREFIX" "$TARVO_WINE_LOG"
        fi
    fi
    if [ -n "$TARVO_XVFB_PID" ]; then
        kill "$TARVO_XVFB_PID" 2>/dev/null || true
        wait "$TARVO_XVFB_PID" 2>/dev/null || true
    fi
    exit "$rc"
}
# Runs one set-up step with its output in the log. On failure: names the step with its exit code
# and the log's last lines, and keeps the prefix for a look.
tarvo_wine_step() { # tarvo_wine_step NAME COMMAND...
    local name="$1" rc=0
    shift
    echo "== $name" >>"$TARVO_WINE_LOG"
    "$@" >>"$TARVO_WINE_LOG" 2>&1 || rc=$?
    if [ "$rc" -ne 0 ]; then
        echo "wine-env: step \"$name\" failed with exit code $rc; the last lines of its log:" >&2
        tail -n 15 "$TARVO_WINE_LOG" | sed 's/^/    /' >&2
        TARVO_KEEP_PREFIX=1
    fi
    return "$rc"
}

trap tarvo_wine_cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

if [ -z "${DISPLAY:-}" ]; then
    # Xvfb chooses a free display itself and reports it on a descriptor once it listens, so
    # two runs at the same time never share (and never tear down) one display.
    tarvo_display_file="$(mktemp "$TARVO_WINE_RUNS/display-XXXXXX")"
    Xvfb -displayfd 5 -screen 0 1024x768x24 -nolisten tcp 5>"$tarvo_display_file" >/dev/null 2>&1 &
    TARVO_XVFB_PID=$!
    for _ in $(seq 1 100); do
        [ -s "$tarvo_display_file" ] && break
        sleep 0.1
    done
    tarvo_display="$(tr -dc '0-9' <"$tarvo_display_file")"
    rm -f "$tarvo_display_file"
    if [ -z "$tarvo_display" ]; then
        echo "wine-env: Xvfb did not start" >&2
        exit 1
    fi
    export DISPLAY=":$tarvo_display"
    # A run killed without its trap still takes its display along: this watcher ends Xvfb
    # once the shell that started it is gone.
    ( while kill -0 $$ 2>/dev/null; do sleep 5; done; kill "$TARVO_XVFB_PID" 2>/dev/null ) >/dev/null 2>&1 &
    disown $! 2>/dev/null || true
fi

# A persistent server first, so that wineboot and every later Wine process share it. The
# persistence is bounded: a run killed without its trap leaves no server behind for long.
tarvo_wine_step "wineserver -p30" wineserver -p30 || exit 1
# Plain wineboot: on a new prefix Wine runs the initialisation by itself. "wineboot -i" on top
# of that starts a second services.exe with a database of its own, and services created through
# one are then unknown to the other. A failed start of Wine is not the project's fault: one more try.
if ! tarvo_wine_step "wineboot" wineboot; then
    echo "wine-env: trying wineboot once more" >&2
    tarvo_wine_step "wineboot, second attempt" wineboot || exit 1
    TARVO_KEEP_PREFIX="${TARVO_KEEP_PREFIX_ASKED:-0}"
fi
TARVO_WINE_BOOTED=1
# Xvfb runs no window manager: Wine would wait up to 2 s for one whenever a managed window is
# hidden (every closed message box). Unmanaged windows skip that wait.
tarvo_wine_step "unmanaged windows" wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f || exit 1
# A program that crashes would wait for an answer to Wine's crash dialog, which nobody gives on
# a virtual display; without it the crash is printed to stderr and the program ends at once
# with a failing exit code.
tarvo_wine_step "no crash dialog" wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f ||
    exit 1
echo "wine-env: prefix $WINEPREFIX, display $DISPLAY" >&2
