#!/usr/bin/env bash
# Installs the Debian 12 packages that Quillon needs to build, run and test.
# This is the only place where packages are named. It installs only what is
# missing, needs root, and never asks a question.
set -euo pipefail

packages=(
  g++            # the compiler (C++20)
  binutils       # nm, which the library export tests read symbol tables with
  cmake          # the build description
  ninja-build    # the build tool
  pkg-config
  libgtest-dev   # unit tests
  libgmock-dev
  libbenchmark-dev  # benchmarks
  clang          # the fuzz targets (libFuzzer)
  libclang-rt-14-dev
  qt6-base-dev   # the program's windows (Qt 6 Widgets and QtTest)
  libgl-dev      # OpenGL headers that Qt's Widgets package expects
  fonts-dejavu-core  # readable texts on the offscreen and Xvfb screens
  libcurl4-openssl-dev  # product-file downloads over HTTP
  libudev-dev    # the USB device tree and its changes
  libusb-1.0-0-dev  # USB data to real radios (the libusb driver library)
  umockdev       # fake USB device trees for the USB monitor's tests
  libumockdev-dev
  xvfb           # windows looked at under a virtual display (screenshots)
  xauth
  openbox        # a real window manager on the virtual display: the window's frame keeps its place
  xdotool        # moves and closes the window under openbox in that test
  x11-utils      # xwininfo and xprop read the frame's place in that test
  python3        # writes the demo's files for ./setup.sh run; runs the library export tests
  dpkg-dev       # dpkg-shlibdeps: the Debian package's Depends
  desktop-file-utils  # the package test validates the desktop entry
  lintian        # the package test checks the package as Debian does
  appstream      # appstreamcli: the package test validates the AppStream metainfo
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: everything is installed"
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: these packages are missing and installing them needs root: ${missing[*]}" >&2
  exit 1
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}" </dev/null
