#!/usr/bin/env bash
# Installs what is missing, builds, and starts Tankmon on its own demo data
# folder (./demo-data, three tanks with a year of history, simulation on).
# The main window where a display exists, --headless otherwise. Extra
# arguments are passed on (e.g. LNGID=2 for English).
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
bash tools/build.sh
if [ ! -f demo-data/Tankmon.ini ]; then
  ./build/tankmon_demo_data demo-data
fi
mode=()
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: starting without a window (Ctrl+C ends it)."
  mode=(--headless)
fi
exec ./build/Tankmon "${mode[@]}" --data-dir "$PWD/demo-data" "$@"
