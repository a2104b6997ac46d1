#!/usr/bin/env bash
# Installs the Debian packages that building and testing need. Safe to run again: apt-get
# skips what is there already.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  libgtest-dev googletest           # GoogleTest: the native build links the library, the
                                    # Windows build compiles the sources
  g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64
  wine64                            # runs the Windows build's tests
)

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done
if [ "${#missing[@]}" -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
    "${missing[@]}"
fi
