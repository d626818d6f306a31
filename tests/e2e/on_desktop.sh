#!/usr/bin/env bash
# Runs a command on an X display of its own (Xvfb at 96 dpi), with a real
# window manager or bare. Usage: on_desktop.sh openbox|bare COMMAND...
set -euo pipefail
mode="$1"
shift
for tool in Xvfb xdotool xwininfo xprop; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
if [ "$mode" = openbox ] && ! command -v openbox >/dev/null; then
    echo "SKIP: openbox is not installed"; exit 77
fi
# shellcheck source=../../scripts/xvfb-session.sh
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/xvfb-session.sh"
start_xvfb "$([ "$mode" = openbox ] && echo openbox)"
"$@"
