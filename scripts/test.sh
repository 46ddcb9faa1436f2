#!/usr/bin/env bash
# Builds everything and runs all tests (unit, scenario and end-to-end), then
# builds once more with the address and undefined-behaviour sanitizers and
# runs the unit and scenario tests there, then fuzzes the file readers for a
# few seconds each (scripts/fuzz.sh), then checks the installation and the
# Debian package (scripts/check-install.sh); exits non-zero when one fails.
# Before the sanitizer build it plays the four programs headless as the
# README's run command does (scripts/run.sh on a private Xvfb, whatever
# DISPLAY says) and checks that it ends well with four screenshots.
# VNA_SKIP_RUN=1 skips that, VNA_SKIP_SANITIZERS=1 the sanitizer build,
# VNA_SKIP_FUZZ=1 the fuzzing, VNA_SKIP_PACKAGE=1 the installation and
# package checks.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
bash scripts/build.sh

build_dir=${VNA_BUILD_DIR:-build}
ctest --test-dir "$build_dir" --output-on-failure -j2

if [[ ${VNA_SKIP_RUN:-0} != 1 ]]; then
  run_dir=$build_dir/run-check
  rm -rf "$run_dir"
  env -u DISPLAY VNA_RUN_HEADLESS=1 VNA_RUN_DIR="$run_dir" bash scripts/run.sh ||
    { echo "test: scripts/run.sh failed (its files are in $run_dir)" >&2; exit 1; }
  for name in impedance-analyzer transmission-analyzer impedance-viewer transmission-viewer; do
    picture=$run_dir/$name.png
    [[ $(head -c 8 "$picture" 2>/dev/null | od -An -tx1 | tr -d ' \n') == 89504e470d0a1a0a ]] ||
      { echo "test: scripts/run.sh left no screenshot $picture" >&2; exit 1; }
  done
  echo "test: scripts/run.sh played the four programs and left their screenshots in $run_dir"
fi

if [[ ${VNA_SKIP_SANITIZERS:-0} != 1 ]]; then
  sanitize_dir=${build_dir}-sanitize
  cmake -S . -B "$sanitize_dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVNA_WERROR=ON -DVNA_SANITIZE=ON
  cmake --build "$sanitize_dir" -j2
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    LSAN_OPTIONS=suppressions=$root/tests/lsan_suppressions.txt \
    ctest --test-dir "$sanitize_dir" --output-on-failure -j2 -L 'unit|scenario'
fi

if [[ ${VNA_SKIP_FUZZ:-0} != 1 ]]; then
  bash scripts/fuzz.sh 10
fi

if [[ ${VNA_SKIP_PACKAGE:-0} != 1 ]]; then
  bash scripts/check-install.sh
fi
