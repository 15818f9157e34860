#!/usr/bin/env bash
# Pictures of the program at work, under a virtual X display (Xvfb) or
# offscreen: the demo station (a direct line, a dial-up and a GSM modem, four
# meters behind each, sim/scenarios/demo.json) is created anew in demo/shots/,
# its meters are read through the simulator (virs-sim on pseudo-terminals,
# reached as COM201..COM203 through a private port folder), and the window is
# opened on it: the station as read, the dialogs, a connected node, a read, an
# archive job while it runs, its date dialog, a meter that does not answer and
# two meters on one network number. PNG pictures go to screenshots/ unless
# another folder is given.
#   scripts/screenshots.sh [build-dir] [output-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-${BUILD_DIR:-build}}
OUT=$(realpath -m "${2:-screenshots}")
for target in virs-link-shots virs-sim virs-cli; do
    case $target in
    virs-link-shots) exe="$BUILD/shell/virs-link-shots" ;;
    virs-sim) exe="$BUILD/sim/virs-sim" ;;
    virs-cli) exe="$BUILD/cli/virs-cli" ;;
    esac
    [[ -x $exe ]] || cmake --build "$BUILD" --target "$target"
done
SHOTS=$(realpath "$BUILD/shell/virs-link-shots")
SIM=$(realpath "$BUILD/sim/virs-sim")
CLI=$(realpath "$BUILD/cli/virs-cli")
SCENARIO=$(realpath sim/scenarios/demo.json)
DEMO=$PWD/demo/shots
COM=201

mkdir -p "$OUT"
rm -rf "$DEMO"
mkdir -p "$DEMO"
# The simulator's COM names live in a folder of this run only, so that a demo
# or a test running meanwhile keeps its own.
PORTS=$(mktemp -d)
export VIRS_PORTS_DIR=$PORTS
SIM_PID=""
finish() {
    if [[ -n $SIM_PID ]] && kill -0 "$SIM_PID" 2>/dev/null; then
        kill -TERM "$SIM_PID" 2>/dev/null || true
        wait "$SIM_PID" 2>/dev/null || true
    fi
    rm -rf "$PORTS"
}
trap finish EXIT
trap 'exit 130' INT TERM

"$SIM" --scenario "$SCENARIO" --com "$COM,$((COM + 1)),$((COM + 2))" >"$DEMO/virs-sim.out" 2>&1 &
SIM_PID=$!
for _ in $(seq 1 100); do
    grep -q "готов" "$DEMO/virs-sim.out" 2>/dev/null && break
    if ! kill -0 "$SIM_PID" 2>/dev/null; then
        cat "$DEMO/virs-sim.out" >&2
        echo "screenshots: симулятор не запустился" >&2
        exit 1
    fi
    sleep 0.1
done

# Russian conventions for numbers and dates in the text pane, as the operators use.
export LANG=ru_RU.UTF-8 LC_ALL=ru_RU.UTF-8
cd "$DEMO"
"$CLI" make-demo . --com "$COM"
# Every meter's current values and settings, and two weeks of daily archives
# on the direct line, read as an engineer would before looking at them.
"$CLI" collect --dir . --nodes all --what current,settings --parallel 3 --summary collect.json
"$CLI" collect --dir . --nodes 0 --what archives --kind daily \
    --since "$(date -d '14 days ago' +%F)" --summary archives.json

if command -v xvfb-run >/dev/null; then
    xvfb-run -a -s "-screen 0 1280x1024x24" "$SHOTS" --live "$OUT"
else
    echo "xvfb-run не найден: снимки делаются без дисплея (QT_QPA_PLATFORM=offscreen)" >&2
    QT_QPA_PLATFORM=offscreen "$SHOTS" --live "$OUT"
fi
echo "Снимки окон: $OUT"
