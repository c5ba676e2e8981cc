#!/usr/bin/env bash
# Installs what is missing, builds, and starts Tankmon on its own demo data
# folder (./demo-data, three tanks with a year of history). The demo feeder
# plays the device gateway: it sends the three tanks' telegrams over TCP
# every few seconds and ends when Tankmon ends. The main window where a
# display exists, --headless otherwise. Extra arguments are passed on (e.g.
# LNGID=1 for German).
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
bash tools/build.sh
# A demo folder from before the feeder (simulation on) is renewed.
if ! grep -qs "tankmon_demo_feeder" demo-data/DEMO-DATA.txt; then
  ./build/tankmon_demo_data demo-data
fi
mode=()
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: starting without a window (Ctrl+C ends it)."
  mode=(--headless)
fi
# exec keeps this process id for Tankmon: the feeder watches it.
./build/tankmon_demo_feeder --until-pid $$ demo-data &
exec ./build/Tankmon "${mode[@]}" --data-dir "$PWD/demo-data" "$@"
