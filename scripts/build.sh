#!/usr/bin/env bash
# Installs the dependencies, configures (Ninja, RelWithDebInfo, warnings as
# errors) and builds everything into ./build (or $VNA_BUILD_DIR).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh

build_dir=${VNA_BUILD_DIR:-build}
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVNA_WERROR=ON
cmake --build "$build_dir" -j2
