#!/usr/bin/env bash
# Builds everything and runs the fault campaign: both analyzers (each in an
# X11 window on a private Xvfb) and vna-measure against instrument-simulator
# through each fault the simulator can play, one row per fault and program:
# what the program showed or said, whether it survived, whether the next
# sweep after the fault read the device within 0.1 %, and whether "configu"
# and a saved measurement kept their bytes. Exits non-zero when a row says
# no. Arguments choose programs: impedance, transmission, measure (default
# all). Takes about six minutes; needs root (the simulator links
# /dev/ttyUSB<n>).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
build_dir=$(realpath -m "${VNA_BUILD_DIR:-build}")
mkdir -p "$build_dir"
# The build's output only when it fails.
if ! bash scripts/build.sh >"$build_dir/build.log" 2>&1; then
  cat "$build_dir/build.log" >&2
  exit 1
fi
exec "$build_dir/fault-campaign" "$@"
