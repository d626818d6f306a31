#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test. Exits non-zero on
# any failure. CTest prints the counts last.
set -euo pipefail
DRAW_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# shellcheck source=setup.sh
source "$DRAW_ROOT/scripts/setup.sh"
draw_install
draw_build "$DRAW_ROOT/build"
cd "$DRAW_ROOT/build"
ctest --output-on-failure --parallel "$(nproc)" --timeout 300
