#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Lumas developers
# Builds the fuzz targets (tests/fuzz/: libFuzzer with AddressSanitizer and
# UndefinedBehaviorSanitizer, built by clang in build-fuzz/) and runs each in turn: the receive
# path's (receive_fuzzer, its corpus in tests/fuzz/corpus/) and the programme files'
# (programme_fuzzer, its corpus in tests/fuzz/programme_corpus/).
#
#   scripts/fuzz.sh [SECONDS]  replays each target's corpus, then fuzzes each for SECONDS
#                              (default 60)
#   scripts/fuzz.sh --replay   replays the corpora only: each input once, in a few seconds
#   scripts/fuzz.sh --merge    adds to each corpus the inputs of earlier runs that reach code it
#                              does not yet reach (the smallest set that does)
#
# New inputs go to build-fuzz/fuzz-finds/TARGET/, never into git; an input that crashes a target or
# runs into the time-out is written to build-fuzz/fuzz-crashes/ and the script exits non-zero.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build-fuzz"
finds_root="$build/fuzz-finds"
crashes="$build/fuzz-crashes"

mode=fuzz
seconds=60
case "${1:-}" in
  "") ;;
  --replay) mode=replay ;;
  --merge) mode=merge ;;
  *[!0-9]* | 0)
    echo "usage: $0 [SECONDS | --replay | --merge]" >&2
    exit 2
    ;;
  *) seconds="$1" ;;
esac

"$root/scripts/setup.sh"
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" -DLUMAS_FUZZ=ON -DLUMAS_WERROR=ON -DBUILD_TESTING=OFF \
  -DLUMAS_BENCHMARKS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target receive_fuzzer programme_fuzzer
mkdir -p "$crashes"
export ASAN_OPTIONS=detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1

run_target() {  # run_target NAME CORPUS WHAT
  local name="$1" corpus="$2" what="$3"
  local fuzzer="$build/tests/fuzz/$name"
  local finds="$finds_root/$name"
  mkdir -p "$finds"

  failed() {
    echo "The $what fuzz target failed; the input is in $crashes/ (replay it with:" \
      "$fuzzer FILE)" >&2
    exit 1
  }

  case "$mode" in
    replay)
      echo "== Fuzz corpus replay: $what"
      # One run per input, so that every input that fails is named, with the rule it breaks.
      local failures=0 input log
      for input in "$corpus"/*; do
        if ! log="$("$fuzzer" -timeout=5 "$input" 2>&1)"; then
          echo "FAILED: $input" >&2
          grep -A1 "^$name:" <<<"$log" >&2 || tail -n 20 <<<"$log" >&2
          failures=$((failures + 1))
        fi
      done
      if [ "$failures" -gt 0 ]; then
        echo "$failures corpus input(s) fail; replay one with: $fuzzer FILE" >&2
        exit 1
      fi
      echo "$(ls "$corpus" | wc -l) corpus inputs replayed"
      ;;
    merge)
      echo "== Merging new finds into $corpus/"
      "$fuzzer" -set_cover_merge=1 -use_counters=0 -timeout=5 "$corpus" "$finds"
      ;;
    fuzz)
      echo "== Fuzzing the $what for $seconds s"
      # Under CI the run starts from a fixed seed and stops after a fixed number of inputs (or the
      # time, whichever comes first), so that a submission's run repeats the one its developer ran
      # (LUMAS_FUZZ_SEED and LUMAS_FUZZ_RUNS choose others); by hand every run explores afresh.
      local seed=()
      if [ -n "${CI:-}" ] || [ -n "${LUMAS_FUZZ_SEED:-}" ]; then
        seed=(-seed="${LUMAS_FUZZ_SEED:-1}" -runs="${LUMAS_FUZZ_RUNS:-50000}")
      fi
      # New inputs go to the first folder given; the corpus in git is only read.
      "$fuzzer" "${seed[@]}" -max_total_time="$seconds" -timeout=5 -print_final_stats=1 \
        -artifact_prefix="$crashes/" "$finds" "$corpus" || failed
      ;;
  esac
}

run_target receive_fuzzer "$root/tests/fuzz/corpus" "receive path's"
run_target programme_fuzzer "$root/tests/fuzz/programme_corpus" "programme files'"
