#!/usr/bin/env bash
# Builds everything and runs all tests (unit, scenario and end-to-end);
# exits non-zero when one fails.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
bash scripts/build.sh

build_dir=${VNA_BUILD_DIR:-build}
ctest --test-dir "$build_dir" --output-on-failure -j2
