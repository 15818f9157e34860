#!/usr/bin/env bash
# Builds everything and runs every test. Installs the Debian packages it needs.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh scripts/packages-build.txt scripts/packages-test.txt
BUILD=${BUILD_DIR:-build}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVIRS_GUI=ON -DVIRS_TESTS=ON
cmake --build "$BUILD" --parallel "$(nproc)"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$BUILD" --output-on-failure --parallel "$(nproc)" --timeout 300
