#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Lumas developers
# Builds Lumas and starts it on the simulated controller (demo mode): choose File > Connect and
# the simulator's port to see the whole program working without hardware.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/setup.sh"
cmake -S "$root" -B "$root/build-demo" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF \
  -DLUMAS_BENCHMARKS=OFF >/dev/null
cmake --build "$root/build-demo" -j "$(nproc)" --target lumas lumas-sim lumasctl

program="$root/build-demo/app/lumas"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  cat >&2 <<MESSAGE
Lumas is built, but there is no desktop display to show its window on.
Run it on a desktop with:
  $program --demo
or without a display, on a virtual one (the window is not visible there, but it runs and can be
captured with a screenshot tool such as 'import -window root' from ImageMagick):
  xvfb-run -a $program --demo
MESSAGE
  exit 1
fi

echo "Starting Lumas in demo mode: File > Connect lists the simulated controller's port."
exec "$program" --demo
