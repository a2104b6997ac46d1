#!/usr/bin/env bash
# Builds the Linux program and starts it. The program reads the page template and the folder
# pictures from its current directory, so it starts in the build's bin folder, where they lie
# beside it.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install_deps.sh run
cmake -S . -B build -G Ninja -DQUILLMAP_TESTS=OFF -DQUILLMAP_BENCH=OFF
cmake --build build --target quillmapgen
cd build/bin
exec ./quillmapgen
