#!/usr/bin/env bash
# Builds the program and starts it on the demo station (see README).
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh scripts/packages-build.txt
BUILD=${BUILD_DIR:-build}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVIRS_GUI=ON -DVIRS_TESTS=OFF
cmake --build "$BUILD" --parallel "$(nproc)"
exec scripts/demo.sh "$BUILD"
