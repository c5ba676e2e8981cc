#!/usr/bin/env bash
# Installs the Debian 12 packages Tankmon needs to build, test and run, when
# any is missing. Safe to run again; does nothing when all are there.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-serialport-dev libqt6serialport6 qt6-qpa-plugins
  libqcustomplot-dev libcurl4-openssl-dev libmosquitto-dev libgtest-dev libgl-dev
  qt6-translations-l10n socat python3-aiosmtpd mosquitto mosquitto-clients openssl ca-certificates xvfb xauth imagemagick fonts-dejavu-core locales
  systemd dpkg-dev file lintian help2man
  clang-14 clang-format-14 libclang-rt-14-dev util-linux
  qt6-httpserver-dev qt6-websockets-dev chromium chromium-driver python3-selenium
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=""
  if [ "$(id -u)" -ne 0 ]; then sudo_cmd="sudo"; fi
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
