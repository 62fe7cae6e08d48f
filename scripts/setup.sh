#!/bin/bash
# Installs what building and testing need on a Debian machine (run as root). Does nothing when
# every package is already installed, so repeated runs are fast.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/step.sh"

packages=(
    g++-mingw-w64-x86-64   # the cross compilers (posix thread model variants included)
    libz-mingw-w64-dev     # zlib for the crash dump compression, built for mingw
    cmake ninja-build
    googletest             # GoogleTest sources, built with the cross compilers
    wine wine64            # runs the Windows programs and their tests
    wine64-tools           # winedump, which the crash test reads the minidumps with
    xvfb x11-utils         # a display for windows and message boxes; xdpyinfo to wait for it
    fp-utils               # chmcmd, which compiles the help file the help-file tests show
    python3                # the release script writes its zip with Python's zipfile
    wixl msitools          # build the release's Windows Installer package, and amend a table
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q '^install ok installed$'; then
        missing+=("$package")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    echo "setup: all packages present"
    exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
    echo "setup: missing packages: ${missing[*]}; run this script as root" >&2
    exit 1
fi

echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
tarvo_step "apt-get update" apt-get update
tarvo_step "apt-get install" apt-get install -y "${missing[@]}"
