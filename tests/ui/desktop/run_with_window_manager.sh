#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Lumas developers
# Runs a test program on the real X11 platform: a virtual screen (Xvfb) of 1600 x 1000 pixels with
# a window manager (openbox) that frames, places and focuses windows as on a desktop. Usage:
# run_with_window_manager.sh PROGRAM [ARGS...]
set -euo pipefail

for tool in Xvfb openbox xprop; do
  if ! command -v "$tool" >/dev/null; then
    echo "$tool is missing; scripts/setup.sh installs it" >&2
    exit 1
  fi
done

work="$(mktemp -d)"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# Xvfb picks a free display and writes its number once it accepts clients.
Xvfb -displayfd 3 -screen 0 1600x1000x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
for _ in $(seq 200); do
  [ -s "$work/display" ] && break
  sleep 0.05
done
if [ ! -s "$work/display" ]; then
  echo "Xvfb did not start:" >&2
  cat "$work/xvfb.log" >&2
  exit 1
fi
export DISPLAY=":$(head -n1 "$work/display")"

# The window manager is up once it has announced itself on the root window. On a loaded machine
# its first connection has been seen to fail; it is started again then, up to three times.
wm_up() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
for attempt in 1 2 3; do
  HOME="$work" openbox >>"$work/openbox.log" 2>&1 &
  wm=$!
  pids+=($wm)
  for _ in $(seq 200); do
    wm_up && break
    kill -0 "$wm" 2>/dev/null || break
    sleep 0.05
  done
  wm_up && break
  kill "$wm" 2>/dev/null || true
  sleep 0.5
done
if ! wm_up; then
  echo "openbox did not start:" >&2
  cat "$work/openbox.log" >&2
  exit 1
fi

QT_QPA_PLATFORM=xcb "$@"
