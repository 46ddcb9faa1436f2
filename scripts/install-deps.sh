#!/usr/bin/env bash
# Installs what building and testing need on Debian 12: the compiler and
# build tools, libX11, GoogleTest, Eigen, cairo and the DejaVu fonts of the
# reports, the VGA console font the screen font is made from, the virtual
# X server and tools of the end-to-end tests, and the Python readers that
# check the saved files, clang with libFuzzer for fuzzing the readers, and
# what packaging and its checks use.
# Does nothing (quickly) when everything is there already. Run as root.
set -euo pipefail

packages=(
  build-essential cmake ninja-build # compiler, CMake, Ninja
  libx11-dev libxext-dev            # the window
  libgtest-dev googletest           # GoogleTest (a CMake package)
  nlohmann-json3-dev                # JSON lines of vna-measure (headers only)
  libeigen3-dev                     # least-squares fits of equivalent circuits (headers only)
  libcairo2-dev pkg-config fonts-dejavu-core # the reports of vna-measure analyze: cairo, its font
  console-setup-linux               # /usr/share/consolefonts/Uni2-VGA16.psf.gz
  xvfb xdotool x11-apps imagemagick # end-to-end tests: Xvfb, xdotool, xwd, convert
  python3-scikit-rf python3-pil     # independent readers of the saved Touchstone and BMP files
  clang-14 libclang-rt-14-dev       # libFuzzer and the sanitizers for scripts/fuzz.sh
  librsvg2-bin                      # rsvg-convert: the PNG icons
  dpkg-dev file                     # dpkg-shlibdeps for scripts/package.sh (CPack), file
  desktop-file-utils libglib2.0-bin # scripts/check-install.sh: desktop-file-validate, gio launch
  shared-mime-info                  # scripts/check-install.sh: update-mime-database
  groff-base                        # scripts/check-install.sh: the manual pages rendered
  lintian                           # scripts/check-install.sh: the package checked as Debian checks one
)

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  if [[ $status != "install ok installed" ]]; then
    missing+=("$package")
  fi
done
if ((${#missing[@]} == 0)); then
  exit 0
fi

if [[ $(id -u) -ne 0 ]]; then
  echo "install-deps: missing packages (${missing[*]}); run this script as root" >&2
  exit 1
fi
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"
