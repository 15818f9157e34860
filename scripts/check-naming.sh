#!/usr/bin/env bash
# The naming scheme of .clang-tidy (readability-identifier-naming only) over the
# program's own sources and headers, from the compile commands of a build
# folder (default: build), the simulator included.
# Usage: scripts/check-naming.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
if [[ ! -f $build/compile_commands.json ]]; then
    echo "no $build/compile_commands.json: configure the build first" >&2
    exit 2
fi
folders='model|link|acquisition|workbook|views|jobs|service|shell|cli|bench|sim'
run-clang-tidy -p "$build" -j "$(nproc)" -quiet \
    -header-filter="^$PWD/($folders)/.*" "^$PWD/($folders)/.*\\.cpp\$" >"$build/naming.log" 2>&1 || true
if grep -q "error:" "$build/naming.log"; then
    grep -E "error:" "$build/naming.log" | sort -u
    exit 1
fi
echo "naming: no identifier off the scheme"
