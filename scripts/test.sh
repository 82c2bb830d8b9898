#!/usr/bin/env bash
# Builds Lumas and runs every test: the regular build (warnings are errors), a build with
# AddressSanitizer and UndefinedBehaviorSanitizer, and the threaded tests under ThreadSanitizer.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/setup.sh"
jobs="$(nproc)"
export QT_QPA_PLATFORM=offscreen

build() {  # build DIR [cmake options...]
  local dir="$1"
  shift
  cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON -DLUMAS_WERROR=ON "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
}

echo "== Formatting"
git -C "$root" ls-files '*.cpp' '*.h' | (cd "$root" && xargs clang-format --dry-run --Werror)

echo "== Build and tests"
build "$root/build"
ctest --test-dir "$root/build" --output-on-failure -j "$jobs"

echo "== clang-tidy"
run-clang-tidy -p "$root/build" -quiet "$root/(app|cli|core|protocol|serial|sim|ui)/.*\.cpp" >"$root/build/clang-tidy.log" 2>&1 || {
  grep -E "error:|warning:" "$root/build/clang-tidy.log" | head -n 40
  echo "clang-tidy found problems (full report: build/clang-tidy.log)"
  exit 1
}

echo "== AddressSanitizer and UndefinedBehaviorSanitizer"
build "$root/build-asan" -DLUMAS_SANITIZE=address,undefined
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir "$root/build-asan" --output-on-failure -j "$jobs"

echo "== ThreadSanitizer (threaded tests)"
build "$root/build-tsan" -DLUMAS_SANITIZE=thread
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
  ctest --test-dir "$root/build-tsan" --output-on-failure -L threaded -j "$jobs"
