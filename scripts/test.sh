#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Lumas developers
# Builds Lumas and runs every test: one build with AddressSanitizer and UndefinedBehaviorSanitizer
# (warnings are errors) that runs the whole suite, clang-tidy over the program's code, a
# ThreadSanitizer build of the tests that start threads, and a bounded fuzzing run of the receive
# path and of the programme files (clang's libFuzzer) that first replays their corpora.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/setup.sh"
jobs="$(nproc)"
export QT_QPA_PLATFORM=offscreen

configure() {  # configure DIR [cmake options...]
  local dir="$1"
  shift
  # Light optimisation and line tables keep the sanitizer builds quick and their reports readable.
  cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1" \
    -DBUILD_TESTING=ON -DLUMAS_WERROR=ON "$@" >/dev/null
}

echo "== Formatting"
git -C "$root" ls-files '*.cpp' '*.h' | (cd "$root" && xargs clang-format --dry-run --Werror)

echo "== Build with AddressSanitizer and UndefinedBehaviorSanitizer, all tests"
configure "$root/build" -DLUMAS_SANITIZE=address,undefined
cmake --build "$root/build" -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir "$root/build" --output-on-failure -j "$jobs"

echo "== clang-tidy"
"$root/scripts/tidy.sh" "$root/build"

echo "== Fuzzing the receive path and the programme files (corpus replay, then 60 s each)"
"$root/scripts/fuzz.sh" 60

echo "== ThreadSanitizer (threaded tests)"
configure "$root/build-tsan" -DLUMAS_SANITIZE=thread -DLUMAS_BENCHMARKS=OFF
cmake --build "$root/build-tsan" -j "$jobs" --target lumas_threaded_tests
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$root/tests/tsan.supp" \
  ctest --test-dir "$root/build-tsan" --output-on-failure -L threaded -j "$jobs"
