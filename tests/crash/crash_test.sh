#!/bin/bash
# Real crashes of crashprog in a private Wine prefix: the compressed minidump on the desktop
# (checked with gzip and Wine's own winedump), its file names, the question box, the assertion
# answered No, the F9 hotkey, the report address handed to the prefix's web handler (a
# recorder, never a browser) and the failures the handler must survive.
#   crash_test.sh <crashprog.exe> <boxwatch.exe>
set -u
prog_host="$1"
boxwatch_host="$2"
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/wine-env.sh"

source "$(dirname "${BASH_SOURCE[0]}")/../scripts/checks.sh"

work="$WINEPREFIX/crashtest"
mkdir -p "$work"
work_win="$(winepath -w "$work")"
prog="$(winepath -w "$prog_host")"
user_folders='HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders'
shell_folders='HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders'

# The program's view of the desktop and the user.
mapfile -t seen < <(wine "$prog_host" /DESKTOP | tr -d '\r')
desktop_win="${seen[0]:-}" user="${seen[1]:-}"
[ -n "$desktop_win" ] && [ -n "$user" ] || { echo "FAIL crashprog /DESKTOP printed no folder or user"; exit 1; }
desktop="$(winepath -u "$desktop_win")"
desktop="${desktop%/}"
# Wine links the prefix's desktop to the host's home: a real folder keeps the dumps in the prefix.
[ -L "$desktop" ] && rm "$desktop"
mkdir -p "$desktop"

# Every web address goes to a recorder: crashprog /RECORD writes its command line to a file.
record="$work/address.txt"
for scheme in http https; do
    wine reg add "HKCR\\$scheme\\shell\\open\\command" /ve /f \
        /d "\"$prog\" /RECORD:$work_win\\address.txt \"%1\"" >/dev/null 2>&1
done
wine start /wait https://probe.example/ >/dev/null 2>&1
for _ in $(seq 1 50); do [ -s "$record" ] && break; sleep 0.2; done
if ! grep -q 'https://probe.example/' "$record" 2>/dev/null; then
    echo "FAIL the web handler of the prefix is not the recorder; no crash is run"
    exit 1
fi
rm -f "$record"

# True while a recorder runs: a Wine process shows its Windows command line in /proc.
recorder_running() {
    grep -qaF -- "/RECORD:$work_win" /proc/[0-9]*/cmdline 2>/dev/null
}

# The address the recorder received last; empty when none came. The crash handler opens the
# address before its program ends, so once the program has ended any recorder it started is
# already running: the wait ends when none runs any more (at most 20 s), not after a fixed time.
recorded_address() {
    for _ in $(seq 1 100); do recorder_running || break; sleep 0.2; done
    [ -s "$record" ] && sed -n 's/.*"\(https:[^"]*\)".*/\1/p' "$record" | tr -d '\r'
    rm -f "$record"
}

# Points the desktop at another folder (Windows path; empty for none) for the programs that follow.
set_desktop() {
    wine reg add "$user_folders" /v Desktop /d "$1" /f >/dev/null 2>&1
    wine reg add "$shell_folders" /v Desktop /d "$1" /f >/dev/null 2>&1
}

# Checks that a dump (gzip-compressed when its name ends in .gz) is a minidump of the access
# violation at the address the fault wrote to (the access violation's second parameter).
check_minidump() { # check_minidump NAME FILE ADDRESS
    local name="$1" dump="$2" address="$3" listing
    if [[ $dump == *.gz ]]; then
        check "$name: gzip accepts the compressed dump" gzip -t "$dump"
        gzip -dc "$dump" >"$work/dump.dmp"
        dump="$work/dump.dmp"
    fi
    listing="$(winedump-stable dump "$dump" 2>&1)"
    check "$name: winedump reads a minidump" grep -q '^Signature: 0x504d444d (MDMP)' <<<"$listing"
    check "$name: the thread list is not empty" grep -qE '^Stream \[[0-9]+\]: Threads: [1-9]' <<<"$listing"
    check "$name: the exception stream holds the access violation at $address" \
        grep -qzE 'Stream \[[0-9]+\]: Exception:.*ExceptionCode: 0xc0000005.*\[1\] : '"$address"'\b' <<<"$listing"
}

base="Tarvo.CrashInfo.SERVICE000.$user"
expected_rc=5 # the low byte of the exit code c0000005 the system gives a crashed process

echo "--- /CRASHDUMP:2 with the log on, user data that needs escaping (cut to 127 characters)"
# 130 characters cycling through these; the encodings of the first 127 written out by hand.
plain=(a ' ' '&' '=' '#' '?' / % + ';' '~' . _ - Z 9)
escaped=(a %20 %26 %3D %23 %3F %2F %25 %2B %3B '~' . _ - Z 9)
user_data="" encoded=""
for i in $(seq 0 129); do
    user_data+="${plain[i % 16]}"
    [ "$i" -lt 127 ] && encoded+="${escaped[i % 16]}"
done
wine "$prog_host" /CRASHDUMP:2 "/LOGIT:$work_win\\log1.txt" "/USERDATA:$user_data" /FAULT
rc=$?
check "the fault ends the program (exit code $rc)" test $rc -eq $expected_rc
check "the compressed dump is on the desktop" test -f "$desktop/$base.TARVO.dmp.gz"
check "the raw dump is gone" test ! -e "$desktop/$base.TARVO.dmp"
check_minidump "first crash" "$desktop/$base.TARVO.dmp.gz" 0x20
address="$(recorded_address)"
check "the report address carries the file name and the percent-encoded user data" \
    test "$address" = "https://www.tarvo.example/common/crashreport.php?filename=$base.TARVO.dmp&userdata=$encoded"
log="$(tr -d '\r' <"$work/log1.txt" | sed 's/^\[[^]]*\] //')"
check "the log names the dump" grep -qxF "TARVOAPP::WriteDumpToFileHandler dump file written (${desktop_win}$base.TARVO.dmp)" \
    <<<"$log"
check "the log ends with the handler's end" test "$(tail -1 <<<"$log")" = "TARVOAPP::WriteDumpToFileHandler finished"

echo "--- a second crash while the first dump exists"
wine "$prog_host" /CRASHDUMP "/LOGIT:$work_win\\log2.txt" /FAULT
check "the second dump gets the suffix 1" test -f "$desktop/${base}1.TARVO.dmp.gz"
check "without user data the address ends with the file name" \
    test "$(recorded_address)" = "https://www.tarvo.example/common/crashreport.php?filename=${base}1.TARVO.dmp"

echo "--- /CRASHDUMP:5 /CRASHDUMP:1 keeps level 5"
# Level 5 is a TINY dump (5 mod 5), level 1 would be a MINI one. (A MAXI dump, level 4, would
# show the same and take Wine half a minute.)
wine "$prog_host" /CRASHDUMP:5 /CRASHDUMP:1 "/LOGIT:$work_win\\log3.txt" /FAULT
# The suffix counts per kind: no TINY dump exists yet.
check "the dump is a TINY dump" test -f "$desktop/$base.TINY.dmp.gz"
recorded_address >/dev/null

echo "--- the log off, version 1.02 given to the language loader: the question answered No"
before="$(ls "$desktop" | wc -l)"
boxes="$(wine "$boxwatch_host" --answer=no -- "$prog" /VERSION:1.02 /CRASHDUMP /FAULT | tr -d '\r')"
check "the question names the program and its version" grep -qF "BOX title=Service text=The program SERVICE102 has \
encountered an error and will be terminated.\\n\\nYou can choose to create a file containing crash-debugging information," \
    <<<"$boxes"
check "the question names the file and the folder" grep -qF \
    "Filename: Tarvo.CrashInfo.SERVICE102.$user.TARVO.dmp\\n (in folder '${desktop_win%\\}')" <<<"$boxes"
check "No writes nothing" test "$(ls "$desktop" | wc -l)" -eq "$before"
check "No opens no address" test -z "$(recorded_address)"

echo "--- the log off, German: the question answered Yes"
boxes="$(wine "$boxwatch_host" --answer=yes -- "$prog" /LANG:GER /CRASHDUMP:7 /FAULT | tr -d '\r')"
check "the question is German" grep -qF "text=Das Programm SERVICE000 hat einen Fehler verursacht" <<<"$boxes"
check "Yes writes the dump (level 7 is a TARVO dump)" test -f "$desktop/${base}2.TARVO.dmp.gz"
check "the German address asks for the German form" \
    test "$(recorded_address)" = "https://www.tarvo.example/common/crashreport.php?filename=${base}2.TARVO.dmp&html=htm"

echo "--- an assertion answered No"
boxes="$(wine "$boxwatch_host" --answer=no -- "$prog" /CRASHDUMP "/LOGIT:$work_win\\log5.txt" /ASSERT | tr -d '\r')"
check "the assertion box was shown" grep -q "BOX title=Tarvo service (0.00)" <<<"$boxes"
check "the declined assertion ends through the handler" test -f "$desktop/${base}3.TARVO.dmp.gz"
check_minidump "assertion" "$desktop/${base}3.TARVO.dmp.gz" 0x10
recorded_address >/dev/null

echo "--- Ctrl+Shift+F9 in a toolkit window"
wine "$prog_host" "/LOGITHARD:$work_win\\log6.txt" /F9
rc=$?
check "the hotkey crashes the program (exit code $rc)" test $rc -eq $expected_rc
check "/LOGITHARD installed the handler: the dump is written" test -f "$desktop/${base}4.TARVO.dmp.gz"
check_minidump "hotkey" "$desktop/${base}4.TARVO.dmp.gz" 0x10
recorded_address >/dev/null

echo "--- a stack overflow"
# The handler writes the dump on a thread of its own: the faulting thread has little stack left.
wine "$prog_host" /CRASHDUMP "/LOGIT:$work_win\\log11.txt" /OVERFLOW
rc=$?
check "the overflow ends the program with its code (exit code $rc)" test $rc -eq 253
check "the overflow's dump is written" test -f "$desktop/${base}5.TARVO.dmp.gz"
if [ -f "$desktop/${base}5.TARVO.dmp.gz" ]; then
    gzip -dc "$desktop/${base}5.TARVO.dmp.gz" >"$work/overflow.dmp"
    check "the overflow's dump holds the stack overflow" \
        grep -qzE 'Exception:.*ExceptionCode: 0xc00000fd' <<<"$(winedump-stable dump "$work/overflow.dmp" 2>&1)"
fi
recorded_address >/dev/null

echo "--- the service role (a window station of its own): no hotkeys, no question, no report form"
before="$(ls "$desktop" | wc -l)"
wine "$prog_host" /INSTATION /CRASHDUMP "/LOGIT:$work_win\\log12.txt" /F9POST
rc=$?
check "the hotkey does not crash the program (exit code $rc)" test $rc -eq 3
check "the log says the hotkey was ignored" grep -q "LogHotkey ignores Ctrl+Shift+key 120 in the service role" "$work/log12.txt"
check "no dump for the hotkey" test "$(ls "$desktop" | wc -l)" -eq "$before"
# The log off: outside the service role the handler would ask first, and nobody could answer.
timeout 60 wine "$prog_host" /INSTATION /CRASHDUMP /FAULT
check "a crash writes its dump without a question" test -f "$desktop/${base}6.TARVO.dmp.gz"
check "and opens no report form" test -z "$(recorded_address)"

echo "--- no switch: no handler"
before="$(ls "$desktop" | wc -l)"
wine "$prog_host" "/LOGIT:$work_win\\log7.txt" /FAULT >/dev/null 2>&1
rc=$?
# Wine's own debugger ends the process, with a code of its choosing (now and then 0); 3 would
# mean the program went on past the fault.
check "the fault still ends the program (exit code $rc)" test $rc -ne 3
check "no dump is written" test "$(ls "$desktop" | wc -l)" -eq "$before"
check "the handler did not run" test -z "$(grep WriteDumpToFileHandler "$work/log7.txt")"

echo "--- a desktop folder that cannot be written"
set_desktop 'Z:\proc'
wine "$prog_host" /CRASHDUMP "/LOGIT:$work_win\\log8.txt" /FAULT
rc=$?
check "the program still ends (exit code $rc)" test $rc -eq $expected_rc
check "the log says the dump could not be created" grep -q "cannot create Z:\\\\proc\\\\$base.TARVO.dmp" "$work/log8.txt"

echo "--- no desktop folder: the program's folder, and no form"
set_desktop ''
prog_dir="$(dirname "$prog_host")"
rm -f "$prog_dir"/Tarvo.CrashInfo.*
wine "$prog_host" /CRASHDUMP "/LOGIT:$work_win\\log9.txt" /FAULT
check "the dump is beside the program" test -f "$prog_dir/$base.TARVO.dmp.gz"
check "no form is opened for it" test -z "$(recorded_address)"
rm -f "$prog_dir"/Tarvo.CrashInfo.*

echo "--- links planted at the dump's names: never followed, the raw dump stays when its copy fails"
mkdir -p "$work/full"
set_desktop "$work_win\\full"
# The first name is a link to a file that does not exist yet, and so is the copy of the second;
# the system's own existence test does not see either. The dump must take the second name and
# keep it uncompressed, and neither target may be written.
ln -s "$work/victim1" "$work/full/$base.TARVO.dmp"
ln -s "$work/victim2" "$work/full/${base}1.TARVO.dmp.gz"
wine "$prog_host" /CRASHDUMP "/LOGIT:$work_win\\log10.txt" /FAULT
check "the link at the dump's name was not followed" test ! -e "$work/victim1"
check "the link at the copy's name was not followed" test ! -e "$work/victim2"
check "the dump took the next name and stays uncompressed" test -s "$work/full/${base}1.TARVO.dmp"
check_minidump "uncompressed" "$work/full/${base}1.TARVO.dmp" 0x20
check "the log says the dump was kept uncompressed" grep -q "kept the dump uncompressed" "$work/log10.txt"
recorded_address >/dev/null

echo "crash: $failures failure(s)"
[ "$failures" -eq 0 ]
