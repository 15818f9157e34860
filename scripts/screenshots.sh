#!/usr/bin/env bash
# Opens the main window and each of its dialogs on a demonstration station under
# a virtual X display (Xvfb) and saves PNG pictures of them.
#   scripts/screenshots.sh [build-dir] [output-dir]
# The demonstration station is written into demo/shots/ (base.dat) when that
# folder has none; pictures go to screenshots/ unless another folder is given.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-${BUILD_DIR:-build}}
OUT=$(realpath -m "${2:-screenshots}")
SHOTS="$BUILD/shell/virs-link-shots"
if [[ ! -x "$SHOTS" ]]; then
    cmake --build "$BUILD" --target virs-link-shots
fi
SHOTS=$(realpath "$SHOTS")
mkdir -p "$OUT" demo/shots
cd demo/shots
# Russian conventions for numbers and dates in the text pane, as the operators use.
export LANG=ru_RU.UTF-8 LC_ALL=ru_RU.UTF-8
if command -v xvfb-run >/dev/null; then
    xvfb-run -a -s "-screen 0 1280x1024x24" "$SHOTS" "$OUT"
else
    echo "xvfb-run не найден: снимки делаются без дисплея (QT_QPA_PLATFORM=offscreen)" >&2
    QT_QPA_PLATFORM=offscreen "$SHOTS" "$OUT"
fi
echo "Снимки окон: $OUT"
