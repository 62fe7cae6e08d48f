#!/usr/bin/env bash
# Captures the controller dialog and the information window for the README, in English and in
# German, into docs/images/. Run from anywhere after a build (scripts/build.sh):
#   scripts/screenshots.sh
# Needs xwd (Debian package x11-apps) and ImageMagick's convert (package imagemagick); they are
# not part of the build machine's setup, because only this script uses them.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
service_exe="$root/build/service/service.exe"
windowpeek_exe="$root/build/tests/rig/windowpeek.exe"
images="$root/docs/images"

missing=""
command -v xwd >/dev/null || missing="$missing x11-apps"
# ImageMagick's own convert understands the xwd: input format; other programs by the name do not.
convert -version 2>/dev/null | grep -q ImageMagick || missing="$missing imagemagick"
if [ -n "$missing" ]; then
    echo "screenshots: missing packages:$missing (apt-get install$missing)" >&2
    exit 1
fi
for program in "$service_exe" "$windowpeek_exe"; do
    if [ ! -f "$program" ]; then
        echo "screenshots: $program is not built (scripts/build.sh)" >&2
        exit 1
    fi
done

source "$root/scripts/wine-env.sh"

scratch="$(mktemp -d "$TARVO_WINE_RUNS/shots-XXXXXX")"
trap 'rm -rf "$scratch"; tarvo_wine_cleanup' EXIT
cp "$service_exe" "$scratch/service.exe"
cp "$windowpeek_exe" "$scratch/windowpeek.exe"
# The sample's configuration without a help file: the dialog then shows no note about a
# missing one.
sed 's/^AppHelp=[^|]*|/AppHelp=|/' "$root/sample/service.cfg" >"$scratch/service.cfg"
mkdir -p "$images"

peek() { (cd "$scratch" && wine windowpeek.exe "$@" | tr -d '\r'); }

# Crops the screen to a window's geometry (WxH+X+Y) into a PNG.
capture() {
    xwd -root -silent | convert xwd:- -crop "$1" +repage -strip "$images/$2"
    echo "screenshots: $images/$2 ($1)"
}

# Every program of the prefix on one virtual desktop: it draws the window captions, which a bare
# X display without a window manager leaves out, and windowpeek sees the windows on it.
wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null
wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 640x480 /f >/dev/null

# One run of the dialog with its information window.
shoot() {
    local language_args="$1" suffix="$2"
    (cd "$scratch" && exec wine service.exe /config $language_args) &
    local run=$!
    local geometry
    geometry="$(peek wait TarvoWinClassInfoWindow)"
    [ "$suffix" = en ] && capture "$geometry" infowindow.png
    peek close TarvoWinClassInfoWindow >/dev/null
    # Item 1104 is the state line: the picture waits for the first refresh.
    geometry="$(peek wait '#32770' 1104)"
    capture "$geometry" "dialog-$suffix.png"
    peek close '#32770' >/dev/null
    wait "$run" || true
}

shoot "" en
shoot "/LANG:GER" de
