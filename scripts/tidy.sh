#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Lumas developers
# Runs clang-tidy (the repository's .clang-tidy) over the program's code, using the compile
# commands of the build folder given (default: build/). Findings are errors.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build}"
log="$build/clang-tidy.log"
run-clang-tidy -p "$build" -quiet -j "$(nproc)" "$root/(app|cli|core|metrics|protocol|serial|sim|threading|ui)/.*\.cpp" \
  >"$log" 2>&1 || {
  grep -E "error:|warning:" "$log" | head -n 40
  echo "clang-tidy found problems (full report: $log)"
  exit 1
}
