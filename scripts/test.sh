#!/usr/bin/env bash
# Builds everything and runs all tests (unit, scenario and end-to-end), then
# builds once more with the address and undefined-behaviour sanitizers and
# runs the unit and scenario tests there, then fuzzes the file readers for a
# few seconds each (scripts/fuzz.sh), then checks the installation and the
# Debian package (scripts/check-install.sh); exits non-zero when one fails.
# VNA_SKIP_SANITIZERS=1 skips the sanitizer build, VNA_SKIP_FUZZ=1 the
# fuzzing, VNA_SKIP_PACKAGE=1 the installation and package checks.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
bash scripts/build.sh

build_dir=${VNA_BUILD_DIR:-build}
ctest --test-dir "$build_dir" --output-on-failure -j2

if [[ ${VNA_SKIP_SANITIZERS:-0} != 1 ]]; then
  sanitize_dir=${build_dir}-sanitize
  cmake -S . -B "$sanitize_dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVNA_WERROR=ON -DVNA_SANITIZE=ON
  cmake --build "$sanitize_dir" -j2
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir "$sanitize_dir" --output-on-failure -j2 -L 'unit|scenario'
fi

if [[ ${VNA_SKIP_FUZZ:-0} != 1 ]]; then
  bash scripts/fuzz.sh 10
fi

if [[ ${VNA_SKIP_PACKAGE:-0} != 1 ]]; then
  bash scripts/check-install.sh
fi
