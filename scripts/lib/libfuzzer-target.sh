#!/usr/bin/env bash
# Builds one libFuzzer target with clang under AddressSanitizer and
# UndefinedBehaviorSanitizer and runs it on a copy of its corpus kept in the
# repository (tests/AREA/fuzz/corpus); new inputs go to the copy only.
#
#   libfuzzer-target.sh AREA NAME MAX_LEN SECONDS SOURCE...
#
# Environment: FUZZ_BUILD_DIR (default build-fuzz). Exit status is the fuzzer's.
set -euo pipefail
cd "$(dirname "$0")/../.."
AREA=$1 NAME=$2 MAX_LEN=$3 SECONDS_TO_RUN=$4
shift 4
OUT=${FUZZ_BUILD_DIR:-build-fuzz}/$AREA
mkdir -p "$OUT"
clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -I. "$@" -o "$OUT/$NAME"
rm -rf "$OUT/corpus" && cp -r "tests/$AREA/fuzz/corpus" "$OUT/corpus"
status=0
"$OUT/$NAME" -max_total_time="$SECONDS_TO_RUN" -max_len="$MAX_LEN" -print_final_stats=1 \
    "$OUT/corpus" >"$OUT/fuzz.log" 2>&1 || status=$?
grep -E 'stat::number_of_executed_units|ERROR|SUMMARY|Done' "$OUT/fuzz.log" || true
if [[ $status -ne 0 ]]; then tail -40 "$OUT/fuzz.log"; fi
exit $status
