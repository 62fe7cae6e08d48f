#!/bin/bash
# The release's Windows Installer package under Wine's own installer, in the run's prefix: a
# silent install gives the files in Program Files, the registration (own interactive process,
# automatic start, quoted path) and a running service; service.com stops and starts it; an
# administrator's edit of service.cfg survives the upgrade to a newer version; a repair brings a
# deleted service.exe back; an uninstall leaves neither registration nor files.
#   package_test.sh SOURCE_DIR BUILD_DIR VERSION
set -u
source_dir="$1"
build="$2"
version="$3"
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/checks.sh"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# This version and the next one, packaged from the same programs.
next="${version%.*}.$((${version##*.} + 1))"
"$source_dir/scripts/release.sh" --build-dir "$build" --dist "$work/this" >/dev/null || exit 1
"$source_dir/scripts/release.sh" --build-dir "$build" --dist "$work/next" --version "$next" >/dev/null || exit 1
this_msi="$(winepath -w "$work/this/tarvo-service-$version-win64.msi")"
next_msi="$(winepath -w "$work/next/tarvo-service-$next-win64.msi")"

folder="$WINEPREFIX/drive_c/Program Files/Tarvo Service"
# Started from the prefix: the folder a controller starts in is among those its write check
# judges, and a build folder may lie below one that everybody can write, such as /tmp.
cd "$WINEPREFIX/drive_c"
name="$(sed -n 's/^AppName=//p' "$build/sample/service.cfg" | tr -d '\r')"
msiexec() { wine msiexec "$@" >/dev/null 2>&1; }
companion() { wine 'C:\Program Files\Tarvo Service\service.com' "$@" 2>/dev/null | tr -d '\r'; }
registration() { wine reg query "HKLM\\System\\CurrentControlSet\\Services\\$name" 2>/dev/null | tr -d '\r'; }
state() { wine sc query "$name" 2>/dev/null | tr -d '\r' | sed -n 's/^ *STATE *: *[0-9]* *//p'; }
wait_state() { # wait_state STATE: up to 20 s
    for _ in $(seq 1 200); do [ "$(state)" = "$1" ] && return 0; sleep 0.1; done
    return 1
}
uninstalled() { ! wine reg query "HKLM\\System\\CurrentControlSet\\Services\\$name" >/dev/null 2>&1; }

echo "--- msiexec /i (version $version) /qn"
msiexec /i "$this_msi" /qn
check "the silent install answers 0" test $? -eq 0
for file in service.exe service.com service.cfg TarvoSample.exe lang/english.dll lang/german.dll LICENSE docs/manual.md docs/handbuch.md; do
    check "$file is installed" test -f "$folder/$file"
done
listing="$(registration)"
check "own process, interactive (0x110)" grep -q "Type    REG_DWORD    0x110" <<<"$listing"
check "automatic start (2)" grep -q "Start    REG_DWORD    0x2" <<<"$listing"
check "the program path is quoted" grep -qF 'ImagePath    REG_SZ    "C:\Program Files\Tarvo Service\service.exe"' <<<"$listing"
check "the service runs" wait_state RUNNING
for _ in $(seq 1 100); do grep -q "^window=" "$folder/TarvoSample.record" 2>/dev/null && break; sleep 0.1; done
check "it runs the sample application" grep -q "^arg1=/service" "$folder/TarvoSample.record"

echo "--- service.com /stop and /start"
check "stop through the companion" test "$(companion /stop)" = "Service $name stopped."
check "start through the companion" test "$(companion /start)" = "Service $name started."
check "running again" wait_state RUNNING

echo "--- an edited service.cfg and the upgrade to $next"
printf '// Edited by the administrator.\r\n' >>"$folder/service.cfg"
msiexec /i "$next_msi" /qn
check "the upgrade answers 0" test $? -eq 0
check "the edit survived" grep -q "Edited by the administrator" "$folder/service.cfg"
check "the service runs after the upgrade" wait_state RUNNING
products="$(wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null | tr -d '\r')"
check "only the new version is listed as installed" \
    bash -c 'grep -q "DisplayVersion    REG_SZ    $1" <<<"$3" && ! grep -q "DisplayVersion    REG_SZ    $2\$" <<<"$3"' _ "$next" "$version" "$products"

echo "--- a repair"
companion /stop >/dev/null
rm -f "$folder/service.exe"
# What "msiexec /fa" asks for; Wine's msiexec answers /f with a usage error (69).
msiexec /i "$next_msi" REINSTALL=ALL REINSTALLMODE=vamus /qn
check "the repair answers 0" test $? -eq 0
check "service.exe is back" cmp -s "$folder/service.exe" "$build/service/service.exe"
check "the service runs again" wait_state RUNNING

echo "--- msiexec /x /qn"
msiexec /x "$next_msi" /qn
check "the uninstall answers 0" test $? -eq 0
check "the registration is gone" uninstalled
check "no file is left" test ! -e "$folder"
check "no registry value of the package is left" \
    bash -c '! wine reg query "HKLM\\Software\\Tarvo\\Tarvo Service" >/dev/null 2>&1' 

echo "package: $failures failure(s)"
[ "$failures" -eq 0 ]
