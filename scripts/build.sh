#!/bin/bash
# Configures the cross build (preset "mingw", build folder build/) and builds every target.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

cmake --preset mingw
cmake --build --preset mingw
