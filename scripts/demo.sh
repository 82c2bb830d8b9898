#!/usr/bin/env bash
# Builds Lumas and shows it working on the simulated controller: starts the simulator on a
# pseudo-terminal, probes it with lumasctl, runs it and writes a set point.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/setup.sh"
cmake -S "$root" -B "$root/build-demo" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF >/dev/null
cmake --build "$root/build-demo" -j "$(nproc)" --target lumas-sim lumasctl

sim_output="$(mktemp)"
"$root/build-demo/sim/lumas-sim" --time-scale 30 >"$sim_output" &
sim_pid=$!
trap 'kill "$sim_pid" 2>/dev/null; wait "$sim_pid" 2>/dev/null; rm -f "$sim_output"' EXIT

port=""
for _ in $(seq 50); do
  port="$(head -n 1 "$sim_output")"
  [ -n "$port" ] && break
  sleep 0.1
done
if [ -z "$port" ]; then
  echo "The simulated controller did not start." >&2
  exit 1
fi

ctl="$root/build-demo/cli/lumasctl"
echo "Simulated controller on $port"
echo
"$ctl" probe "$port"
echo
"$ctl" set-point "$port" 80
"$ctl" run "$port"
echo
echo "The chamber heats toward 80 °C (the simulator runs 30 times faster than real time):"
sleep 3
"$ctl" probe "$port"
"$ctl" stop "$port"
