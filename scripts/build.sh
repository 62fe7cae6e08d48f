#!/bin/bash
# Configures the cross build (preset "mingw", build folder build/) and builds every target.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
source scripts/step.sh

tarvo_step "configure" cmake --preset mingw
tarvo_step "build" cmake --build --preset mingw
