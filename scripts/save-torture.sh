#!/usr/bin/env bash
# Kills `virs-cli station-copy` at random moments and races two of them onto
# one destination that holds a valid base; after every round the destination
# must be one of the complete files, and no temporary file may outlive the
# next save.
#
#   scripts/save-torture.sh [BUILD] [KILLS] [RACES]    (defaults: build 1000 200)
#
# The two bases are large (a full station of 1.9 MB and one of 0.5 MB), so a
# copy spends measurable time reading, writing, flushing and renaming. The
# kill moments are spread evenly over 0..1.5 times a copy's mean duration; a
# traced copy gives the phase boundaries by which each kill is counted.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
KILLS=${2:-1000}
RACES=${3:-200}
CLI=$BUILD/cli/virs-cli
[[ -x $CLI ]] || { echo "no $CLI: build first" >&2; exit 2; }

# On disk beside the build, not in a memory file system: the flush must cost
# what it costs on a real disk.
WORK=$(mktemp -d "$BUILD/save-torture.XXXXXX")
trap 'rm -rf "$WORK"' EXIT

python3 - "$WORK" <<'PY'
import os, random, sys
work = sys.argv[1]
def image(counts, seed):
    rng = random.Random(seed)
    out = bytearray([0, len(counts)])
    for c in counts:
        node = bytearray(rng.getrandbits(8) for _ in range(3096))
        node[0] = c
        out += node
    out += bytes(rng.getrandbits(8) for _ in range(7568 * sum(counts)))
    return bytes(out)
open(os.path.join(work, "a.dat"), "wb").write(image([255], 1))      # the largest station
open(os.path.join(work, "b.dat"), "wb").write(image([20, 20, 20, 5], 2))
PY
A=$WORK/a.dat
B=$WORK/b.dat
DST=$WORK/dst/base.dat
mkdir -p "$WORK/dst"
cp "$A" "$DST"
sumA=$(cksum <"$A")
sumB=$(cksum <"$B")

# Is the destination one of the two complete files?
whole() {
    local s
    s=$(cksum <"$DST")
    [[ $s == "$sumA" || $s == "$sumB" ]]
}
temporaries() { find "$WORK/dst" -name 'base.dat.tmp-*' | wc -l; }

# Mean duration of a copy, in microseconds.
start=$(date +%s%N)
for i in $(seq 20); do "$CLI" station-copy "$B" "$DST"; "$CLI" station-copy "$A" "$DST"; done
mean_us=$(( ($(date +%s%N) - start) / 40 / 1000 ))

# Phase boundaries of one traced copy (microseconds from its start): the first
# write of the temporary file, its fsync, the rename, the end.
phases=$(command -v strace >/dev/null && strace -f -ttt -e trace=execve,openat,write,fsync,rename "$CLI" station-copy "$B" "$DST" 2>&1 >/dev/null |
    python3 -c '
import re, sys
t0 = None; write = flush = rename = end = None
for line in sys.stdin:
    m = re.search(r"(\d+\.\d+) (\w+)\(", line)
    if not m:
        m2 = re.search(r"(\d+\.\d+) \+\+\+ exited", line)
        if m2: end = float(m2.group(1))
        continue
    t, call = float(m.group(1)), m.group(2)
    if t0 is None: t0 = t
    if call == "write" and write is None and "base.dat" not in line: write = t
    if call == "fsync" and flush is None: flush = t
    if call == "rename" and rename is None: rename = t
ok = None not in (t0, write, flush, rename, end)
print(" ".join(str(int((x - t0) * 1e6)) for x in (write, flush, rename, end)) if ok else "")
' || true)
# strace slows the copy down: its phases are scaled to the untraced mean below.
# Without strace every kill counts as "after the end" of an unknown timeline.
read -r p_write p_flush p_rename p_end <<<"${phases:-0 0 0 1}"

echo "copy: mean ${mean_us} us; traced phases (us): write ${p_write}, fsync ${p_flush}, rename ${p_rename}, end ${p_end}"

torn=0; old=0; new=0; stale_max=0
in_read=0; in_write=0; in_flush=0; in_rename=0; after=0
limit_us=$(( mean_us * 3 / 2 ))
for i in $(seq "$KILLS"); do
    if (( i % 2 )); then src=$A; else src=$B; fi
    before=$(cksum <"$DST")
    delay_us=$(( RANDOM * 32768 + RANDOM ))
    delay_us=$(( delay_us % (limit_us + 1) ))
    "$CLI" station-copy "$src" "$DST" &
    pid=$!
    sleep "$(printf '0.%06d' "$delay_us")"
    kill -9 "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    # The moment by the traced phases, scaled to this machine's mean.
    scaled=$(( delay_us * p_end / (mean_us > 0 ? mean_us : 1) ))
    if (( scaled < p_write )); then in_read=$((in_read + 1))
    elif (( scaled < p_flush )); then in_write=$((in_write + 1))
    elif (( scaled < p_rename )); then in_flush=$((in_flush + 1))
    elif (( scaled < p_end )); then in_rename=$((in_rename + 1))
    else after=$((after + 1)); fi
    if ! whole; then
        torn=$((torn + 1)); echo "round $i: destination torn" >&2; cp "$A" "$DST"; continue
    fi
    if [[ $(cksum <"$DST") == "$before" ]]; then old=$((old + 1)); else new=$((new + 1)); fi
    n=$(temporaries); (( n > stale_max )) && stale_max=$n
done
# The next save removes what the killed ones left.
"$CLI" station-copy "$A" "$DST"
left=$(temporaries)
echo "kills: $KILLS (moments by phase: read $in_read, write $in_write, fsync $in_flush," \
     "rename $in_rename, after the end $after); destination old $old, new $new, torn $torn;" \
     "temporaries at most $stale_max at once, $left after the next save"

race_torn=0; race_failed=0; winner_a=0; winner_b=0
for i in $(seq "$RACES"); do
    "$CLI" station-copy "$A" "$DST" & p1=$!
    "$CLI" station-copy "$B" "$DST" & p2=$!
    s1=0; s2=0
    wait "$p1" || s1=$?
    wait "$p2" || s2=$?
    (( s1 != 0 || s2 != 0 )) && race_failed=$((race_failed + 1))
    if ! whole; then race_torn=$((race_torn + 1)); echo "race $i: destination torn" >&2; continue; fi
    if [[ $(cksum <"$DST") == "$sumA" ]]; then winner_a=$((winner_a + 1)); else winner_b=$((winner_b + 1)); fi
done
left=$(temporaries)
echo "races: $RACES; torn $race_torn, a writer failed $race_failed; last writer A $winner_a, B $winner_b;" \
     "temporaries left $left"

(( torn == 0 && race_torn == 0 && race_failed == 0 && left == 0 ))
