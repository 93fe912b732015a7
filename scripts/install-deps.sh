#!/usr/bin/env bash
# Installs the Debian packages the patcher needs to build, test and run, when any is missing.
# Clang and its sanitizer runtimes compile the test build (and the fuzzers of scripts/fuzz.sh).
set -euo pipefail

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev pkg-config lld
  qt6-base-dev qt6-multimedia-dev libgl-dev
  libmpg123-dev libflac-dev libvorbis-dev libssl-dev libebur128-dev libfftw3-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth imagemagick
  desktop-file-utils
  hyperfine
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
fi
