#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program. The result log
# Result.txt is written to the folder this script is started from.
set -euo pipefail
DRAW_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# shellcheck source=setup.sh
source "$DRAW_ROOT/scripts/setup.sh"
draw_install_run
# Only the program: no tests, no benchmarks, no icon files (the program draws
# its own window icon).
draw_build "$DRAW_ROOT/build" --target xingsuo-draw -DDRAW_BUILD_TESTS=OFF
exec "$DRAW_ROOT/build/app/xingsuo-draw" "$@"
