#!/bin/bash
# Packs the release archive from a build folder and checks its entries, their bytes, the
# checksum file, that packing copies with other time stamps gives the same zip, and that the
# programs and the README carry the project version.
# Usage: release_test.sh SOURCE_DIR BUILD_DIR VERSION
set -euo pipefail
source_dir="$1"
build="$2"
version="$3"
name="tarvo-service-$version-win64"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

expected=(service.exe service.com TarvoSample.exe service.cfg lang/english.dll lang/german.dll LICENSE)
cd "$source_dir"
shopt -s nullglob
expected+=(docs/manual*.md docs/handbuch*.md docs/images/*.png)
shopt -u nullglob
printf '%s\n' "${expected[@]/#/$name/}" | LC_ALL=C sort >"$work/expected"

"$source_dir/scripts/release.sh" --build-dir "$build" --dist "$work/dry" --dry-run >"$work/dry-run"
diff -u "$work/expected" "$work/dry-run" || fail "the dry run lists other entries"
[ ! -e "$work/dry" ] || fail "the dry run wrote files"

"$source_dir/scripts/release.sh" --build-dir "$build" --dist "$work/first" >/dev/null
zip="$work/first/$name.zip"
(cd "$work/first" && sha256sum -c --quiet "$name.zip.sha256") || fail "the checksum file does not match"
grep -qx "[0-9a-f]\{64\}  $name.zip" "$work/first/$name.zip.sha256" || fail "the checksum file is not in sha256sum format"
(cd "$work/first" && sha256sum -c --quiet "$name.msi.sha256") || fail "the package's checksum file does not match"

# The archive holds exactly the expected entries, each with the bytes of its file.
python3 -c '
import sys, zipfile
archive, expected, build, source, name = sys.argv[1:]
sources = {"service.exe": build + "/service/service.exe", "service.com": build + "/service/service.com",
           "TarvoSample.exe": build + "/sample/TarvoSample.exe",
           "service.cfg": build + "/sample/service.cfg", "lang/english.dll": build + "/sample/lang/english.dll",
           "lang/german.dll": build + "/sample/lang/german.dll"}
with zipfile.ZipFile(archive) as z:
    names = z.namelist()
    wanted = open(expected).read().split()
    if names != wanted:
        sys.exit("entries %s, expected %s" % (names, wanted))
    for entry in names:
        inner = entry[len(name) + 1:]
        if z.read(entry) != open(sources.get(inner, source + "/" + inner), "rb").read():
            sys.exit("%s differs from its file" % entry)
' "$zip" "$work/expected" "$build" "$source_dir" "$name" || fail "the archive content is wrong"

# The same files copied with new time stamps pack to the same bytes.
copy="$work/build"
for file in service/service.exe service/service.com sample/TarvoSample.exe sample/service.cfg sample/lang/english.dll sample/lang/german.dll; do
    mkdir -p "$(dirname "$copy/$file")"
    cp "$build/$file" "$copy/$file"
    touch -d "2001-02-03 04:05:06" "$copy/$file"
done
"$source_dir/scripts/release.sh" --build-dir "$copy" --dist "$work/second" >/dev/null
cmp "$zip" "$work/second/$name.zip" || fail "packing the same files twice gives different archives"

# The version resources and the README carry the project version.
for program in service/service.exe service/service.com sample/TarvoSample.exe; do
    python3 -c '
import sys
data = open(sys.argv[1], "rb").read()
for key in ("FileVersion", "ProductVersion"):
    if (key + "\0").encode("utf-16-le") not in data:
        sys.exit("no " + key)
if (sys.argv[2] + ".0\0").encode("utf-16-le") not in data:
    sys.exit("no version " + sys.argv[2])
' "$build/$program" "$version" || fail "$program has no version resource of $version"
done
grep -q "^Version $version\.\?\$" README.md || fail "the README does not name version $version"
grep -q "scripts/release.sh" README.md || fail "the README does not name scripts/release.sh"

[ "$failures" -eq 0 ] && echo "release: all checks passed"
exit $((failures > 0))
