#!/usr/bin/env bash
# Builds the base.dat fuzz target with clang's libFuzzer under AddressSanitizer and
# UndefinedBehaviorSanitizer and runs it for the given number of seconds (default 20)
# on a copy of the corpus kept in the repository.
set -euo pipefail
cd "$(dirname "$0")/.."
SECONDS_TO_RUN=${1:-20}
OUT=${FUZZ_BUILD_DIR:-build-fuzz}/model
mkdir -p "$OUT"
clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -I. tests/model/fuzz/FuzzStationBase.cpp model/StationBase.cpp model/StationFile.cpp \
    model/Records.cpp model/TextCodec.cpp model/AtomicFile.cpp model/DateTime.cpp \
    -o "$OUT/fuzz-station-base"
rm -rf "$OUT/corpus" && cp -r tests/model/fuzz/corpus "$OUT/corpus"
status=0
"$OUT/fuzz-station-base" -max_total_time="$SECONDS_TO_RUN" -max_len=40000 -print_final_stats=1 \
    "$OUT/corpus" >"$OUT/fuzz.log" 2>&1 || status=$?
grep -E 'stat::number_of_executed_units|ERROR|SUMMARY|Done' "$OUT/fuzz.log" || true
if [[ $status -ne 0 ]]; then tail -40 "$OUT/fuzz.log"; fi
exit $status
