#!/usr/bin/env bash
# Installs the Debian 12 packages that Quillon needs to build, run and test.
# This is the only place where packages are named. It installs only what is
# missing, needs root, and never asks a question.
set -euo pipefail

packages=(
  g++            # the compiler (C++20)
  cmake          # the build description
  ninja-build    # the build tool
  pkg-config
  libgtest-dev   # unit tests
  libgmock-dev
  libbenchmark-dev  # benchmarks
  clang          # the fuzz targets (libFuzzer)
  libclang-rt-14-dev
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
