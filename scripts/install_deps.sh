#!/usr/bin/env bash
# Installs the Debian packages that building ("run") or building and testing ("test") need.
# Safe to run again: only what is missing is installed.
set -euo pipefail

build_packages=(cmake ninja-build g++ pkg-config qt6-base-dev libgl-dev)
test_packages=(
  libgtest-dev googletest           # GoogleTest: linked natively, compiled for Windows
  g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64
  wine64                            # runs the Windows build and its tests
  xvfb openbox xdotool x11-utils wmctrl imagemagick  # a real display, window manager, tools
  python3 python3-xlib tesseract-ocr  # the end-to-end driver, its drag source, reading boxes
  icoutils                          # reads the Windows program's resources
  dpkg-dev desktop-file-utils       # the .deb's dependencies (dpkg-shlibdeps), desktop entry check
  chromium                          # the page's tests, driven by playwright-core from npm
  valgrind                          # memcheck over the native test programs
  locales                           # ja_JP.UTF-8, for the Windows tests under code page 932
)

case "${1:-test}" in
  run) packages=("${build_packages[@]}") ;;
  test)
    packages=("${build_packages[@]}" "${test_packages[@]}")
    # Node.js runs the page's tests; Debian's is taken only when the machine has none.
    if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
      packages+=(nodejs npm)
    fi
    ;;
  *) echo "usage: $0 [run|test]" >&2; exit 2 ;;
esac

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

# Under Japanese settings Wine's ANSI code page is 932; the Windows tests use it when the
# locale exists.
if [ "${1:-test}" = test ] && ! locale -a 2>/dev/null | grep -qix 'ja_JP\.utf-\?8'; then
  "${sudo_cmd[@]}" localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
fi
