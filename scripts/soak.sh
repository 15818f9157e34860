#!/usr/bin/env bash
# Soak run: cyclic polling of one meter through `virs-cli poll` against the
# simulator, as fast as the line allows (no pacing in the simulator, no pause
# between jobs, a 100 ms reply time-out, one attempt per frame, so that every
# spoilt answer shows as a failed job) with about 1 % of the answers spoilt at
# random (silence, bad CRC, cut short, foreign address, noise), for a given
# time. Prints the number of jobs, the jobs by result code, and the resident
# memory, threads and open descriptors of the polling process (between jobs,
# measured by the process itself from /proc/self).
#
# Fails (exit 1) when
#   - a job does not end within 30 s, or the poll does not end within its
#     duration plus two minutes (a hang);
#   - the resident memory between jobs grows by more than SOAK_RSS_GROWTH_KB
#     (default 1024 KB) from the first figure after the warm-up (a tenth of the
#     run, at most 60 s) to the last one;
#   - the threads or descriptors between jobs differ from the first figure, or
#     after the link is closed differ from before it was opened (a leak);
#   - no job ran, or fewer than 90 % of the jobs succeeded (the faults spoil
#     about 1 % of the answers, 2 % of the two-frame jobs).
#
# Usage: scripts/soak.sh [BUILD_DIR] [SECONDS]   (default: build, 3600)
#   SOAK_DEVICE         device of the simulated direct line: 0 ВИРС-Ш, 1 ВИРС-Д
#                       (default), 2 ВИРС-ДК, 3 ВИРС-Д2
#   SOAK_RSS_GROWTH_KB  the memory bound above
#   SOAK_KEEP           a folder to keep the run's files in (default: removed)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
DURATION=${2:-3600}
DEVICE=${SOAK_DEVICE:-1}
RSS_GROWTH_KB=${SOAK_RSS_GROWTH_KB:-1024}
SIM=$BUILD/sim/virs-sim
CLI=$BUILD/cli/virs-cli
for exe in "$SIM" "$CLI"; do
    [[ -x $exe ]] || { echo "soak: $exe не найден" >&2; exit 2; }
done
[[ $DURATION =~ ^[0-9]+$ && $DURATION -ge 10 ]] || { echo "soak: длительность от 10 с" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/virs-soak.XXXXXX")
SIM_PID=""
cleanup() {
    if [[ -n $SIM_PID ]] && kill -0 "$SIM_PID" 2>/dev/null; then
        kill -TERM "$SIM_PID" 2>/dev/null || true
        wait "$SIM_PID" 2>/dev/null || true
    fi
    if [[ -n ${SOAK_KEEP:-} ]]; then
        mkdir -p "$SOAK_KEEP" && cp -r "$work"/. "$SOAK_KEEP"/
    fi
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# A private alias folder: the COM number cannot meet anyone else's.
export VIRS_PORTS_DIR=$work/ports
mkdir -m 700 "$VIRS_PORTS_DIR"
COM=5
faults=()
for kind in silence bad_crc truncate wrong_address noise; do
    faults+=(--fault "kind=$kind,permille=2")
done
"$SIM" --com "$COM" --no-pacing "${faults[@]}" >"$work/sim.out" 2>&1 &
SIM_PID=$!
for _ in $(seq 1 100); do
    grep -q "готов" "$work/sim.out" 2>/dev/null && break
    kill -0 "$SIM_PID" 2>/dev/null || { cat "$work/sim.out" >&2; echo "soak: симулятор не запустился" >&2; exit 1; }
    sleep 0.1
done
mkdir "$work/station"
"$CLI" make-demo "$work/station" --com "$COM" >/dev/null

report=$((DURATION / 60))
((report >= 1)) || report=1
warmup=$((DURATION / 10))
((warmup <= 60)) || warmup=60
echo "soak: $DURATION с, прибор $DEVICE прямой линии, сбои 1 %, замер каждые $report с"
status=0
nice -n 5 timeout --kill-after=10 $((DURATION + 120)) \
    "$CLI" poll --dir "$work/station" --node 0 --device "$DEVICE" --interval 0 --timeout 100 --retries 1 \
    --duration "$DURATION" --report "$report" --job-limit 30 \
    >"$work/poll.out" 2>"$work/poll.err" || status=$?
grep -v "^замер на связи" "$work/poll.out" || true
if ((status != 0)); then
    tail -n 20 "$work/poll.err" >&2
    echo "soak: НЕУДАЧА: virs-cli poll вышел с кодом $status (124/137: завис)" >&2
    exit 1
fi

# "замер WHEN: с=S заданий=J RSS=K КБ потоков=T дескрипторов=D"
field() { sed -n "s/.* $1=\([-0-9]*\).*/\1/p" <<<"$2"; }
during=$(grep "^замер на связи" "$work/poll.out")
first=$(awk -v w="$warmup" '{ split($4, a, "="); if (a[2] >= w) { print; exit } }' <<<"$during")
[[ -n $first ]] || first=$(head -n 1 <<<"$during")
last=$(tail -n 1 <<<"$during")
before=$(grep "^замер до связи" "$work/poll.out")
after=$(grep "^замер после связи" "$work/poll.out")
jobs=$(sed -n 's/^заданий: \([0-9]*\).*/\1/p' "$work/poll.out")
good=$(sed -n 's/^  Завершено успешно (0): \([0-9]*\)$/\1/p' "$work/poll.out")
good=${good:-0}

rss0=$(field RSS "$first") rss1=$(field RSS "$last")
echo "память (RSS): $rss0 КБ на $(field с "$first") с, $rss1 КБ на $(field с "$last") с (рост $((rss1 - rss0)) КБ, допустимо $RSS_GROWTH_KB)"
echo "потоки: до связи $(field потоков "$before"), на связи $(field потоков "$first") → $(field потоков "$last"), после $(field потоков "$after")"
echo "дескрипторы: до связи $(field дескрипторов "$before"), на связи $(field дескрипторов "$first") → $(field дескрипторов "$last"), после $(field дескрипторов "$after")"

failed=0
fail() { echo "soak: НЕУДАЧА: $*" >&2; failed=1; }
((jobs > 0)) || fail "ни одного задания"
((good * 10 >= jobs * 9)) || fail "успешно только $good из $jobs"
((rss1 - rss0 <= RSS_GROWTH_KB)) || fail "память выросла на $((rss1 - rss0)) КБ"
[[ $(field потоков "$first") == "$(field потоков "$last")" ]] || fail "число потоков на связи изменилось"
[[ $(field дескрипторов "$first") == "$(field дескрипторов "$last")" ]] || fail "число дескрипторов на связи изменилось"
[[ $(field потоков "$before") == "$(field потоков "$after")" ]] || fail "после связи остались потоки"
[[ $(field дескрипторов "$before") == "$(field дескрипторов "$after")" ]] || fail "после связи остались дескрипторы"
((failed == 0)) && echo "soak: успешно"
exit "$failed"
