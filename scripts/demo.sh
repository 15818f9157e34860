#!/usr/bin/env bash
# The demo station: starts the meter simulator with the demo scenario (a direct
# line, a dial-up modem and a GSM modem, four meters behind each) and then the
# program in the demo folder ./demo (created on first run, ignored by git).
# Usage: scripts/demo.sh [BUILD_DIR]
#   VIRS_DEMO_DIR  the demo folder (default ./demo)
#   VIRS_DEMO_COM  COM number of the direct line; the modems take the next two (default 201)
#   VIRS_SIM_LOG=1 the simulator logs every byte to DEMO/virs-sim-lines.log
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
SIM=$BUILD/sim/virs-sim
CLI=$BUILD/cli/virs-cli
DEMO=${VIRS_DEMO_DIR:-$PWD/demo}
COM=${VIRS_DEMO_COM:-201}
for exe in "$SIM" "$CLI"; do
    if [[ ! -x $exe ]]; then
        echo "demo: $exe не найден; сначала соберите проект (./run.sh)" >&2
        exit 1
    fi
done

mkdir -p "$DEMO"
DEMO=$(cd "$DEMO" && pwd)
SIM_ARGS=(--scenario sim/scenarios/demo.json --com "$COM,$((COM + 1)),$((COM + 2))")
if [[ ${VIRS_SIM_LOG:-} == 1 ]]; then
    SIM_ARGS+=(--log "$DEMO/virs-sim-lines.log")
fi
"$SIM" "${SIM_ARGS[@]}" >"$DEMO/virs-sim.out" 2>&1 &
SIM_PID=$!
stop_sim() {
    if kill -0 "$SIM_PID" 2>/dev/null; then
        kill -TERM "$SIM_PID" 2>/dev/null || true
        wait "$SIM_PID" 2>/dev/null || true
    fi
}
trap stop_sim EXIT
trap 'exit 130' INT TERM

# The simulator prints "готов" once its lines and COM aliases are in place.
for _ in $(seq 1 100); do
    grep -q "готов" "$DEMO/virs-sim.out" 2>/dev/null && break
    if ! kill -0 "$SIM_PID" 2>/dev/null; then
        cat "$DEMO/virs-sim.out" >&2
        echo "demo: симулятор не запустился" >&2
        exit 1
    fi
    sleep 0.1
done
cat "$DEMO/virs-sim.out"

if [[ ! -f $DEMO/base.dat ]]; then
    "$CLI" make-demo "$DEMO" --com "$COM"
fi

# The window program, wherever the build put it, when there is a display.
GUI=""
for candidate in "$BUILD/shell/virs-link" "$BUILD/virs-link" "$BUILD/bin/virs-link"; do
    if [[ -x $candidate ]]; then
        GUI=$(cd "$(dirname "$candidate")" && pwd)/virs-link
        break
    fi
done
if [[ -n $GUI && ( -n ${DISPLAY:-} || -n ${WAYLAND_DISPLAY:-} || -n ${QT_QPA_PLATFORM:-} ) ]]; then
    echo "demo: $GUI в $DEMO (симулятор остановится, когда окно закроется)"
    (cd "$DEMO" && "$GUI")
    exit 0
fi

CLI=$(cd "$(dirname "$CLI")" && pwd)/virs-cli
echo
echo "=== Станция демо ($DEMO/base.dat) ==="
"$CLI" station "$DEMO"
echo
echo "=== Обмен с ВИРС-Д (COM$COM, адрес 2): 64 регистра с 0 ==="
(cd "$DEMO" && "$CLI" exchange --port "COM$COM" --address 2 --function 3 --start 0 --count 64)
echo
echo "=== Текущие значения ВИРС-Д узла «Котельная №1» ==="
"$CLI" read --dir "$DEMO" --node 0 --device 1 --view current
