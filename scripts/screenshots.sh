#!/usr/bin/env bash
# Plays the four programs headless (scripts/run.sh on a private Xvfb, in a
# working directory of its own) and copies their screenshots into
# docs/screenshots/, where the README shows them.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
work_dir=${VNA_RUN_DIR:-run-work}
env -u DISPLAY VNA_RUN_HEADLESS=1 VNA_RUN_DIR="$work_dir" bash scripts/run.sh

mkdir -p docs/screenshots
for name in impedance-analyzer transmission-analyzer impedance-viewer transmission-viewer; do
  cp "$work_dir/$name.png" "docs/screenshots/$name.png"
  echo "screenshots: docs/screenshots/$name.png ($(stat -c %s "docs/screenshots/$name.png") bytes)"
done
