#!/bin/bash
# Builds the release (preset "mingw", folder build-release/), checks that a second build of
# service.exe in another folder gives the same bytes, and writes
# dist/tarvo-service-<version>-win64.zip and the Windows Installer package
# dist/tarvo-service-<version>-win64.msi (packaging/tarvo-service.wxs, built with wixl from the
# same files), each with its SHA-256 checksum file beside it. Both builds
# leave the compiler cache out: a cache that shares objects between folders rewrites the source
# paths in them, so their __FILE__ texts would depend on the folder.
#   --build-dir DIR  package the programs already built in DIR: no build and no second build
#   --dist DIR       write the archive and its checksum file to DIR instead of dist/
#   --dry-run        print the archive entries and write nothing
#   --version V      package as version V instead of the project's (to test an upgrade)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

build=""
dist="$root/dist"
dry_run=0
version_override=""
second=""
while [ $# -gt 0 ]; do
    case "$1" in
        --build-dir) build="$(cd "$2" && pwd)"; shift 2 ;;
        --dist) dist="$2"; shift 2 ;;
        --dry-run) dry_run=1; shift ;;
        --version) version_override="$2"; shift 2 ;;
        *) echo "release: unknown option $1" >&2; exit 2 ;;
    esac
done

version="${version_override:-$(sed -n 's/^project(.* VERSION \([0-9][0-9.]*\).*/\1/p' CMakeLists.txt)}"
if [ -z "$version" ]; then
    echo "release: no project version in CMakeLists.txt" >&2
    exit 1
fi
name="tarvo-service-$version-win64"

if [ -z "$build" ]; then
    build="$root/build-release"
    if [ "$dry_run" -eq 0 ]; then
        export CCACHE_DISABLE=1
        cmake --preset mingw -B "$build" -DTARVO_BUILD_TESTS=OFF >/dev/null
        cmake --build "$build" --target service service_companion TarvoSample english german
        # A folder of another name and length: any build path, time stamp or other varying
        # input that reaches service.exe makes the bytes differ.
        second="$(mktemp -d)"
        trap 'rm -rf "$second"' EXIT
        cmake --preset mingw -B "$second" -DTARVO_BUILD_TESTS=OFF >/dev/null
        cmake --build "$second" --target service
        if ! cmp "$build/service/service.exe" "$second/service/service.exe"; then
            echo "release: two builds of service.exe differ" >&2
            exit 1
        fi
        echo "release: a second build of service.exe is byte-identical"
    fi
fi

# "archive name<TAB>file" lines; the archive holds one folder named like the zip.
entries=(
    "service.exe	$build/service/service.exe"
    "service.com	$build/service/service.com"
    "TarvoSample.exe	$build/sample/TarvoSample.exe"
    "service.cfg	$build/sample/service.cfg"
    "lang/english.dll	$build/sample/lang/english.dll"
    "lang/german.dll	$build/sample/lang/german.dll"
    "LICENSE	$root/LICENSE"
)
shopt -s nullglob
for file in docs/manual*.md docs/handbuch*.md docs/images/*.png; do
    entries+=("$file	$root/$file")
done
shopt -u nullglob

list="$(printf '%s\n' "${entries[@]}" | sed "s|^|$name/|" | LC_ALL=C sort)"
missing=0
while IFS=$'\t' read -r entry file; do
    if [ ! -f "$file" ]; then
        echo "release: $file is missing (for $entry)" >&2
        missing=1
    fi
done <<<"$list"
[ "$missing" -eq 0 ] || exit 1

if [ "$dry_run" -eq 1 ]; then
    cut -f1 <<<"$list"
    exit 0
fi

# Fixed time stamps and permissions and sorted entries, so that the same files give the same zip.
mkdir -p "$dist"
python3 -c '
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w") as archive:
    for line in sys.stdin.read().splitlines():
        entry, path = line.split("\t", 1)
        info = zipfile.ZipInfo(entry, date_time=(1980, 1, 1, 0, 0, 0))
        info.external_attr = 0o644 << 16
        info.create_system = 3
        info.compress_type = zipfile.ZIP_DEFLATED
        with open(path, "rb") as source:
            archive.writestr(info, source.read(), compresslevel=9)
' "$dist/$name.zip" <<<"$list"
(cd "$dist" && sha256sum "$name.zip" >"$name.zip.sha256")
echo "release: $dist/$name.zip"
cat "$dist/$name.zip.sha256"

# The Windows Installer package of the same files, from a folder laid out like the archive. The
# product code follows from the version: a new one for every version, the same for a rebuild.
stage="$(mktemp -d)"
trap 'rm -rf "$stage" ${second:+"$second"}' EXIT
while IFS=$'\t' read -r entry file; do
    mkdir -p "$stage/$(dirname "$entry")"
    cp "$file" "$stage/$entry"
done <<<"$list"
product_code="$(python3 -c 'import sys, uuid
print(str(uuid.uuid5(uuid.UUID("E33EBC87-17F0-508A-A752-29EA589AA323"), "tarvo-service-" + sys.argv[1])).upper())' "$version")"
dist_path="$(cd "$dist" && pwd)"
(cd "$stage/$name" && wixl -a x64 -D Version="$version" -D ProductCode="$product_code" -D Stage=. \
    -o "$dist_path/$name.msi" "$root/packaging/tarvo-service.wxs")
# wixl does not write the component attribute that keeps an existing file (never overwrite):
# service.cfg is an administrator's to change, and an upgrade must keep it. 384 = 64-bit (256)
# and never overwrite (128).
msibuild "$dist/$name.msi" -q "UPDATE \`Component\` SET \`Attributes\` = 384 WHERE \`Component\` = 'ServiceCfg'"
(cd "$dist" && sha256sum "$name.msi" >"$name.msi.sha256")
echo "release: $dist/$name.msi"
cat "$dist/$name.msi.sha256"
