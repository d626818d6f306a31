#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test. Exits non-zero on
# any failure. CTest prints the counts last.
set -euo pipefail
DRAW_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# shellcheck source=setup.sh
source "$DRAW_ROOT/scripts/setup.sh"
draw_install
draw_build "$DRAW_ROOT/build" -DDRAW_BUILD_TESTS=ON
# The core and widget tests once more, built with AddressSanitizer and
# UndefinedBehaviorSanitizer.
draw_build "$DRAW_ROOT/build-asan" -DDRAW_SANITIZE=ON -DDRAW_BUILD_BENCH=OFF
(cd "$DRAW_ROOT/build-asan" && ctest --output-on-failure --no-tests=error --parallel "$(nproc)" -L unit)

# Everything: unit, widget, end-to-end, package, stress and fuzz tests.
cd "$DRAW_ROOT/build"
ctest --output-on-failure --no-tests=error --parallel "$(nproc)" --timeout 600
