#!/usr/bin/env bash
# Builds the text-view fuzz target with clang's libFuzzer under AddressSanitizer and
# UndefinedBehaviorSanitizer and runs it for the given number of seconds (default 20)
# on a copy of the corpus kept in the repository.
set -euo pipefail
cd "$(dirname "$0")/.."
SECONDS_TO_RUN=${1:-20}
OUT=${FUZZ_BUILD_DIR:-build-fuzz}/views
mkdir -p "$OUT"
clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -I. tests/views/fuzz/FuzzDeviceView.cpp views/DeviceView.cpp views/CurrentView.cpp \
    views/SettingsView.cpp views/ViewText.cpp views/ViewLocale.cpp acquisition/WorkArea.cpp \
    acquisition/Registers.cpp model/Records.cpp model/TextCodec.cpp model/DateTime.cpp \
    -o "$OUT/fuzz-device-view"
rm -rf "$OUT/corpus" && cp -r tests/views/fuzz/corpus "$OUT/corpus"
status=0
"$OUT/fuzz-device-view" -max_total_time="$SECONDS_TO_RUN" -max_len=2200 -print_final_stats=1 \
    "$OUT/corpus" >"$OUT/fuzz.log" 2>&1 || status=$?
grep -E 'stat::number_of_executed_units|ERROR|SUMMARY|Done' "$OUT/fuzz.log" || true
if [[ $status -ne 0 ]]; then tail -40 "$OUT/fuzz.log"; fi
exit $status
