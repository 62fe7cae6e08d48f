# Sourced by the scripts of the README's commands, so that none of them ends without saying why.
#   tarvo_step NAME COMMAND...  runs one step with its output shown and kept; prints how long it
#                               took, or names it with its exit code and repeats its last lines
# Also sets an ERR trap that names any other command that fails, with its line and exit code.
TARVO_SCRIPT="$(basename "${BASH_SOURCE[1]:-$0}")"

tarvo_step() { # tarvo_step NAME COMMAND...
    local name="$1" begin=$SECONDS rc=0 log
    shift
    log="$(mktemp)"
    "$@" 2>&1 | tee "$log" || rc=$?
    if [ "$rc" -ne 0 ]; then
        echo "$TARVO_SCRIPT: step \"$name\" failed with exit code $rc after $((SECONDS - begin)) s; its last lines:" >&2
        tail -n 15 "$log" | sed 's/^/    /' >&2
    else
        echo "$TARVO_SCRIPT: $name took $((SECONDS - begin)) s"
    fi
    rm -f "$log"
    return "$rc"
}

trap 'tarvo_rc=$?; echo "$TARVO_SCRIPT: line $LINENO failed with exit code $tarvo_rc: $BASH_COMMAND" >&2' ERR
