#!/usr/bin/env bash
# Builds everything and runs impedance-analyzer in an X11 window on a
# private Xvfb against instrument-simulator for SWEEPS sweeps of 51 points,
# printing its resident memory and CPU time at the start, every 100 sweeps
# and at the end. A sweep takes about 4.4 s (20 sweeps about a minute and a
# half, 1000 sweeps about 75 minutes). Needs root (the simulator
# links /dev/ttyUSB<n>).
#
#   bash scripts/soak.sh 1000
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
if [[ $# -ne 1 || ! $1 =~ ^[1-9][0-9]*$ ]]; then
  echo "usage: scripts/soak.sh SWEEPS   (sweeps of 51 points)" >&2
  exit 2
fi
build_dir=$(realpath -m "${VNA_BUILD_DIR:-build}")
mkdir -p "$build_dir"
# The build's output only when it fails.
if ! bash scripts/build.sh >"$build_dir/build.log" 2>&1; then
  cat "$build_dir/build.log" >&2
  exit 1
fi
exec "$build_dir/analyzer-soak" "$1"
