#!/usr/bin/env bash
# scripts/package.sh OUTDIR: builds (scripts/build.sh) and makes the Debian
# package of everything `cmake --install` puts in place (the programs
# stripped of their debugging information, the desktop entries, icons and
# manual pages), with the libraries it needs found by dpkg-shlibdeps.
# Writes vna-software_VERSION_ARCH.deb into OUTDIR and prints its path; the
# build's own output goes to standard error.
set -euo pipefail

if [[ $# -ne 1 || -z $1 ]]; then
  echo "usage: scripts/package.sh OUTDIR" >&2
  exit 2
fi
out_dir=$(realpath -m "$1")
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
bash scripts/build.sh >&2

build_dir=$(realpath "${VNA_BUILD_DIR:-build}")
mkdir -p "$out_dir"
# CPack lays out its tree beside the package; both stay out of OUTDIR.
staging=$(mktemp -d)
trap 'rm -rf "$staging"' EXIT
cpack --config "$build_dir/CPackConfig.cmake" -B "$staging" >&2

debs=("$staging"/*.deb)
if [[ ${#debs[@]} -ne 1 || ! -f ${debs[0]} ]]; then
  echo "package: cpack made no single .deb in $staging" >&2
  exit 1
fi
deb=$out_dir/$(basename "${debs[0]}")
mv -f "${debs[0]}" "$deb"
echo "$deb"
