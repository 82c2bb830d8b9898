#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Lumas developers
# Installs the Debian packages that building, testing and running Lumas need, and any further
# packages named as arguments (scripts/package.sh adds its tools so). Safe to run again: it only
# calls apt-get when a package is missing.
set -euo pipefail

packages=(
  cmake g++ make pkg-config
  qt6-base-dev qt6-svg-dev libgl-dev
  # The run archive: Qt SQL's SQLite driver, and the sqlite3 tool to look into the database.
  libqt6sql6-sqlite sqlite3
  # Qt HTTP Server for /metrics; its CMake package also needs Qt WebSockets, which Debian's
  # qt6-httpserver-dev does not pull in.
  qt6-httpserver-dev qt6-websockets-dev
  python3-yaml  # the check of the Prometheus alert rules (tests/metrics)
  python3-jsonschema  # the check of the programme files' schema (tests/packaging)
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-dseg fonts-liberation2
  clang-format clang-tidy clang libclang-rt-14-dev
  xvfb xauth openbox x11-utils poppler-utils fonts-dejavu-extra
  "$@"
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
