#!/usr/bin/env bash
# The Windows build, run for real under Wine:
#  1. builds the MinGW-w64 core, virs-cli, port-timing and the Windows test set
#     (WINDOWS_BUILD, default build-win) and runs the tests under Wine;
#  2. starts virs-sim (the Linux build) on two pseudo-terminals, maps them as
#     COM5 and COM6 in a fresh private Wine prefix, and runs virs-cli.exe
#     exchange and read through the Win32 port layer beside the Linux virs-cli
#     on the same lines: the same result lines, exit status, views and protocol
#     log (byte for byte), the interval/total time-outs included;
#  3. lists the ports through SetupAPI;
#  4. prints the time-out accuracy of both port layers (port-timing).
# Every Wine process of the prefix (wineserver included) is ended, the
# simulator stopped and the temporary folder removed on every way out.
#
#   scripts/wine-tests.sh [LINUX_BUILD] [WINDOWS_BUILD]
# LINUX_BUILD (default build) must hold sim/virs-sim, cli/virs-cli and
# bench/port-timing.
set -euo pipefail
cd "$(dirname "$0")/.."
SRC=$PWD
LIN=$(realpath "${1:-build}")
WIN_BUILD=${2:-build-win}
WINE_DIR=/usr/lib/wine
WINE64=$WINE_DIR/wine64
WINESERVER=$WINE_DIR/wineserver
for f in "$LIN/sim/virs-sim" "$LIN/cli/virs-cli" "$LIN/bench/port-timing" "$WINE64"; do
    [[ -x $f ]] || { echo "wine-tests: $f missing" >&2; exit 2; }
done
started=$(date +%s)

echo "-- the Windows build (MinGW-w64)"
if [[ ! -f $WIN_BUILD/CMakeCache.txt ]]; then
    launcher=()
    command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
    cmake -S . -B "$WIN_BUILD" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVIRS_GUI=OFF -DVIRS_WORKBOOK=OFF -DVIRS_TESTS=ON \
        -DVIRS_GTEST_SOURCE=/usr/src/googletest "${launcher[@]}" >/dev/null
fi
cmake --build "$WIN_BUILD" --parallel "$(nproc)"
WIN=$(realpath "$WIN_BUILD")
built=$(date +%s)

work=$(mktemp -d "${TMPDIR:-/tmp}/virs-wine-XXXXXX")
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export VIRS_PORTS_DIR=$work/ports
sim_pid=""
cleanup() {
    # Wine first (wineserver may hold the pseudo-terminals), then the peer.
    timeout 20 "$WINESERVER" -k 2>/dev/null || true
    timeout 20 "$WINESERVER" -w 2>/dev/null || true
    if [[ -n $sim_pid ]]; then
        kill "$sim_pid" 2>/dev/null || true
        wait "$sim_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

wine() { timeout 120 "$WINE64" "$@"; }
# A persistent server while the checks run, so each program starts in a
# fraction of a second instead of several. Its service processes (started by
# the first program) inherit that program's output: bring them up with output
# to /dev/null, or they hold a test's output pipe open for as long as they live.
wine_up() {
    "$WINESERVER" -p
    timeout 120 "$WINE64" cmd /c exit </dev/null >/dev/null 2>&1 || true
}

echo "-- a fresh Wine prefix"
timeout 300 "$WINE64" wineboot -i >"$work/wineboot.log" 2>&1 || {
    cat "$work/wineboot.log"
    exit 1
}
"$WINESERVER" -w
wine_up

echo "-- the Windows test set under Wine"
ctest --test-dir "$WIN" --output-on-failure --timeout 120
for t in "$WIN"/tests/windows/*.exe; do
    printf '   %s: %s\n' "$(basename "$t" .exe)" \
        "$(cd "$work" && wine "$t" 2>&1 | tr -d '\r' | grep -E '^\[  (PASSED|FAILED)' | tr '\n' ' ')"
done

# Two lines: COM5 with the four meters as they are; COM6 with a ВИРС-Д at 2
# whose answers come in two bursts 30 ms apart and a ВИРС-ДК at 3 whose come
# 80 ms apart (after the first 10 bytes).
cat >"$work/scenario.json" <<'EOF'
{ "seed": 7, "now": "2024-03-15T10:00:00", "pacing": false,
  "sites": [ { "name": "A", "devices": [
                 { "type": "ВИРС-Ш", "address": 1 }, { "type": "ВИРС-Д", "address": 2 },
                 { "type": "ВИРС-ДК", "address": 3 }, { "type": "ВИРС-Д2", "address": 4 } ] },
             { "name": "B", "devices": [
                 { "type": "ВИРС-Д", "address": 2 }, { "type": "ВИРС-ДК", "address": 3 } ],
               "faults": [ { "kind": "split", "device": 2, "at": 10, "gap_ms": 30 },
                           { "kind": "split", "device": 3, "at": 10, "gap_ms": 80 } ] } ],
  "lines": [ { "com": 5, "kind": "direct", "site": "A" },
             { "com": 6, "kind": "direct", "site": "B" } ] }
EOF
mkdir -p "$VIRS_PORTS_DIR"
mkfifo "$work/sim.fifo"
"$LIN/sim/virs-sim" --scenario "$work/scenario.json" >"$work/sim.fifo" 2>&1 &
sim_pid=$!
exec {simout}<"$work/sim.fifo"
banner=""
while IFS= read -r -t 20 line <&$simout; do
    banner+="$line"$'\n'
    [[ $line == готов ]] && break
done
pts5=$(sed -n 's/^COM5 *\(\/dev\/pts\/[0-9]*\).*/\1/p' <<<"$banner")
pts6=$(sed -n 's/^COM6 *\(\/dev\/pts\/[0-9]*\).*/\1/p' <<<"$banner")
[[ -n $pts5 && -n $pts6 ]] || { echo "virs-sim did not start: $banner" >&2; exit 1; }
# Drain the simulator's output from now on, so it never blocks on a full pipe.
cat <&$simout >/dev/null &
echo "-- virs-sim: COM5 = $pts5, COM6 = $pts6"

# The simulator keeps the slave ends open itself, so the lines never hang up
# when a program closes them. The mapping is read when Wine starts.
wine reg add 'HKLM\Software\Wine\Ports' /v COM5 /t REG_SZ /d "$pts5" /f >/dev/null
wine reg add 'HKLM\Software\Wine\Ports' /v COM6 /t REG_SZ /d "$pts6" /f >/dev/null
"$WINESERVER" -k
"$WINESERVER" -w
wine_up

failures=0
fail() {
    echo "FAILED: $*"
    failures=$((failures + 1))
}

# run NAME PROGRAM-ARGS...: virs-cli on Linux and virs-cli.exe under Wine in
# folders of their own; exit status, stdout, stderr (CR LF of the Windows
# console output made LF) and ModBus_protocol.txt must agree.
run_both() {
    local name=$1
    shift
    local l=$work/cases/$name/linux w=$work/cases/$name/windows
    mkdir -p "$l" "$w"
    local t0 t1 t2
    t0=$(date +%s%N)
    (cd "$l" && "$LIN/cli/virs-cli" "$@" >out 2>err; echo $? >status) || true
    t1=$(date +%s%N)
    sleep 0.3 # the rest of a split answer is past before the next program purges
    (cd "$w" && wine "$WIN/cli/virs-cli.exe" "$@" >out.crlf 2>err.crlf; echo $? >status) || true
    t2=$(date +%s%N)
    tr -d '\r' <"$w/out.crlf" >"$w/out"
    tr -d '\r' <"$w/err.crlf" >"$w/err"
    echo "$(((t1 - t0) / 1000000))" >"$l/ms"
    echo "$(((t2 - t1) / 1000000 - 300))" >"$w/ms"
    sleep 0.3
    # A view's report line carries the host's time of reading.
    sed -i 's/^\(отчёт за \).*/\1<время чтения>/' "$l/out" "$w/out"
    local what
    for what in status out err; do
        cmp -s "$l/$what" "$w/$what" || {
            fail "$name: $what differs"
            diff "$l/$what" "$w/$what" | head -20 || true
        }
    done
}

# The protocol log of a case: byte for byte the same, and its text as expected.
same_log() {
    local name=$1 dir=$work/cases/$1
    cmp "$dir/linux/${2:-.}/ModBus_protocol.txt" "$dir/windows/${2:-.}/ModBus_protocol.txt" ||
        fail "$name: protocol logs differ"
}
expect_first() { # NAME FILE TEXT: the first line of FILE (Windows side) is TEXT
    local got
    got=$(head -n 1 "$work/cases/$1/windows/$2")
    [[ $got == "$3" ]] || fail "$1: '$got' instead of '$3'"
}
expect_log() { # NAME REGEX [DIR]: the Windows log (in UTF-8) matches REGEX
    local text
    text=$(iconv -f CP1251 -t UTF-8 "$work/cases/$1/windows/${3:-.}/ModBus_protocol.txt")
    grep -Eq "$2" <<<"$text" || fail "$1: no log line /$2/ in: $text"
    grep -q $'\r$' <<<"$(head -n 1 "$work/cases/$1/windows/${3:-.}/ModBus_protocol.txt")" ||
        fail "$1: log lines do not end in CR LF"
}

echo "-- the Win32 port layer on COM5 (win32_port_tests)"
(cd "$work" && VIRS_TEST_COM=5 wine "$WIN/tests/windows/win32_port_tests.exe" >port-tests.txt 2>&1) ||
    fail "win32_port_tests"
tr -d '\r' <"$work/port-tests.txt" | grep -E '^\[ +(OK|FAILED|PASSED|SKIPPED) |Failure|Expected|Which is' |
    sed 's/^/   /' || true

echo "-- virs-cli exchange on COM5 and COM6: Linux and Windows (Wine) side by side"
X=(exchange --baud 115200)
run_both read22 "${X[@]}" --port COM5 --address 1 --function 3 --start 0 --count 22
expect_first read22 out "0 Завершено успешно"
expect_log read22 '^OUT: 0x01 0x03 0x00 0x00 0x00 0x16 0xC4 0x04 \(8 байт\)'
expect_log read22 '^IN:  (0x[0-9A-F]{2} ){49}\(49 байт\)'
same_log read22
run_both read64 "${X[@]}" --port COM5 --address 2 --function 3 --start 0 --count 64
expect_first read64 out "0 Завершено успешно"
[[ $(wc -l <"$work/cases/read64/windows/out") == 65 ]] || fail "read64: not 64 registers"
same_log read64
run_both header "${X[@]}" --port COM5 --address 4 --function 67 --start 3 --count 1
same_log header
run_both write16 "${X[@]}" --port COM5 --address 2 --function 16 --start 0 --count 3 --data 1 0 0
same_log write16
run_both exception "${X[@]}" --port COM5 --address 2 --function 3 --start 60000 --count 2 --retries 2
expect_first exception out "2 Адрес данных указанный в запросе не доступен данному подчиненному"
same_log exception
run_both silent "${X[@]}" --port COM5 --address 9 --function 3 --start 0 --count 4 --retries 2 --timeout 300
expect_first silent out "12 Превышен тайм-аут ожидания ответа"
expect_log silent '^IN:  \(0 байт\)'
[[ $(grep -c 'IN:' "$work/cases/silent/windows/ModBus_protocol.txt") == 2 ]] || fail "silent: not 2 attempts"
same_log silent
run_both burst30 "${X[@]}" --port COM6 --address 2 --function 3 --start 0 --count 22 --retries 1
expect_first burst30 out "0 Завершено успешно"
expect_log burst30 '^IN:  (0x[0-9A-F]{2} ){49}\(49 байт\)'
same_log burst30
run_both burst80 "${X[@]}" --port COM6 --address 3 --function 3 --start 0 --count 22 --retries 1
expect_first burst80 out "10 Неверная контрольная сумма"
expect_log burst80 '^IN:  (0x[0-9A-F]{2} ){10}\(10 байт\)'
same_log burst80
for c in read22 read64 header write16 exception silent burst30 burst80; do
    printf '   %-9s %s;  Linux %4s ms, Wine %4s ms (Wine start-up included)\n' "$c" "$(head -n 1 "$work/cases/$c/windows/out")" \
        "$(cat "$work/cases/$c/linux/ms")" "$(cat "$work/cases/$c/windows/ms")"
done

echo "-- virs-cli read on COM5 (the node's port): Linux and Windows (Wine) side by side"
"$LIN/cli/virs-cli" make-demo "$work/demo" --com 5 >/dev/null
for c in "1 current" "2 current" "3 current" "0 current" "1 settings" "3 settings"; do
    set -- $c
    name=read-$1-$2
    mkdir -p "$work/cases/$name/linux/base" "$work/cases/$name/windows/base"
    cp "$work/demo/base.dat" "$work/cases/$name/linux/base/"
    cp "$work/demo/base.dat" "$work/cases/$name/windows/base/"
    run_both "$name" read --dir base --node 0 --device "$1" --view "$2"
    [[ $(cat "$work/cases/$name/windows/status") == 0 ]] || fail "$name: exit $(cat "$work/cases/$name/windows/status")"
    same_log "$name" base
    printf '   %-18s exit %s, %3s view lines, %s log lines; Linux %5s ms, Wine %5s ms\n' "$name" \
        "$(cat "$work/cases/$name/windows/status")" "$(wc -l <"$work/cases/$name/windows/out")" \
        "$(grep -c . "$work/cases/$name/windows/base/ModBus_protocol.txt")" \
        "$(cat "$work/cases/$name/linux/ms")" "$(cat "$work/cases/$name/windows/ms")"
done
expect_first read-1-current err "Соединение с узлом установлено"

echo "-- the port list through SetupAPI"
# Wine has no plug-and-play serial driver: the ports class is empty until a
# device is entered in the registry the way Windows' own port driver enters
# its ports (class GUID and a friendly name "… (COMn)").
(cd "$work" && wine "$WIN/cli/virs-cli.exe" ports) | tr -d '\r' >"$work/portlist-empty"
printf 'Windows Registry Editor Version 5.00\r\n\r\n' >"$work/ports.reg.txt"
for n in 5 6; do
    printf '[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Enum\\ROOT\\PORTS\\%04d]\r\n"ClassGUID"="{4D36E978-E325-11CE-BFC1-08002BE10318}"\r\n"Class"="Ports"\r\n"FriendlyName"="Последовательный порт (COM%d)"\r\n\r\n' \
        "$n" "$n" >>"$work/ports.reg.txt"
done
printf '[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Enum\\ROOT\\PORTS\\0009]\r\n"ClassGUID"="{4D36E978-E325-11CE-BFC1-08002BE10318}"\r\n"FriendlyName"="Printer Port (LPT1)"\r\n\r\n' >>"$work/ports.reg.txt"
iconv -f UTF-8 -t UTF-16 "$work/ports.reg.txt" >"$work/ports.reg"
wine regedit /S "$work/ports.reg"
(cd "$work" && wine "$WIN/cli/virs-cli.exe" ports) | tr -d '\r' >"$work/portlist"
printf 'COM5  Последовательный порт \nCOM6  Последовательный порт \n' >"$work/portlist-expected"
echo "   without registered devices: $(wc -l <"$work/portlist-empty") ports; with COM5, COM6 and LPT1 registered:"
sed "s/^/   /" "$work/portlist"
cmp -s "$work/portlist" "$work/portlist-expected" || fail "port list: $(cat "$work/portlist")"

echo "-- time-out accuracy through the port layer against virs-sim (COM5, address 1)"
echo "   Linux (termios, ppoll):"
"$LIN/bench/port-timing" --port "$pts5" --rounds 30 | sed 's/^/     /' || fail "port-timing (Linux)"
echo "   Windows (Win32 under Wine):"
(cd "$work" && wine "$WIN/bench/port-timing.exe" --port COM5 --rounds 30) | tr -d '\r' |
    sed 's/^/     /' || fail "port-timing (Wine)"

echo "-- Wine step: build $((built - started)) s, the rest $(($(date +%s) - built)) s"
if ((failures)); then
    echo "wine-tests: $failures failed"
    exit 1
fi
echo "wine-tests: all checks passed"
