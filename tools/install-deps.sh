#!/usr/bin/env bash
# Installs the Debian packages the program, its tests and benchmarks need, when any is missing.
# --list prints them (tools/check-deps.py compares them with what the build and tests use).
set -eu
packages=(
  build-essential cmake ninja-build pkg-config git
  libgtest-dev libgmock-dev libbenchmark-dev clang clang-format libclang-rt-14-dev
  qt6-base-dev qt6-base-dev-tools libqt6test6 libgl-dev
  libusb-1.0-0-dev libcfitsio-dev libtiff-dev libcli11-dev
  xvfb xauth imagemagick fitsverify libtiff-tools
  python3-astropy python3-numpy python3-tifffile python3-pil
  socat umockdev libumockdev-dev ccache
  libindi-dev indi-bin libnova-dev
  python3-photutils libopencv-dev
)
if [ "${1:-}" = --list ]; then
  printf '%s\n' "${packages[@]}"
  exit 0
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
# Another apt or dpkg run (an unattended upgrade, a second worktree) holds the lock for a while:
# wait for it up to 10 minutes instead of failing at once.
lock_wait=(-o DPkg::Lock::Timeout=600)
$SUDO apt-get "${lock_wait[@]}" update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get "${lock_wait[@]}" install -y -qq --no-install-recommends "${missing[@]}"
