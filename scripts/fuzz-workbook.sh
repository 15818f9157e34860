#!/usr/bin/env bash
# Builds the workbook reader's libFuzzer targets with clang under AddressSanitizer
# and UndefinedBehaviorSanitizer and runs each on the corpus kept in the
# repository (tests/workbook/fuzz/corpus/<target>). New inputs found during the
# run go to a scratch folder, never into the repository.
#
#   scripts/fuzz-workbook.sh [SECONDS_PER_TARGET]   (default 15: a short CI run, 30 s of fuzzing in all)
#
# Environment: FUZZ_BUILD_DIR (default build-fuzz-workbook).
set -euo pipefail
cd "$(dirname "$0")/.."
SECONDS_PER_TARGET=${1:-15}
OUT=${FUZZ_BUILD_DIR:-build-fuzz-workbook}
mkdir -p "$OUT"

CXX=${CXX_FUZZ:-clang++}
FLAGS=(-std=c++20 -O2 -g -fno-omit-frame-pointer -fsanitize=fuzzer,address,undefined
       -fno-sanitize-recover=undefined -I.)
read -r -a GSF_CFLAGS <<< "$(pkg-config --cflags libgsf-1)"
read -r -a GSF_LIBS <<< "$(pkg-config --libs libgsf-1)"
SOURCES=(workbook/CellFormat.cpp workbook/Workbook.cpp workbook/BiffWriter.cpp
         workbook/BiffReader.cpp workbook/CompoundFile.cpp model/TextCodec.cpp model/AtomicFile.cpp)

# The component is compiled once (without the fuzzer's main) and linked into both.
echo "== building the workbook component"
OBJECTS=()
for src in "${SOURCES[@]}"; do
    obj="$OUT/$(basename "${src%.cpp}").o"
    "$CXX" "${FLAGS[@]/-fsanitize=fuzzer,/-fsanitize=fuzzer-no-link,}" "${GSF_CFLAGS[@]}" -c "$src" -o "$obj"
    OBJECTS+=("$obj")
done

status=0
for target in FuzzWorkbookFile FuzzBiffStream; do
    echo "== building $target"
    "$CXX" "${FLAGS[@]}" "${GSF_CFLAGS[@]}" "tests/workbook/fuzz/$target.cpp" "${OBJECTS[@]}" \
        "${GSF_LIBS[@]}" -o "$OUT/$target"
    scratch=$(mktemp -d)
    echo "== running $target for ${SECONDS_PER_TARGET}s"
    # Full stacks on allocation, so that the target's suppression of libgsf's own
    # leak can match frames inside the library (built without frame pointers).
    asan=detect_leaks=1:abort_on_error=1
    [[ $target == FuzzWorkbookFile ]] && asan+=:fast_unwind_on_malloc=0
    if ! ASAN_OPTIONS=$asan UBSAN_OPTIONS=print_stacktrace=1 \
        "$OUT/$target" -max_total_time="$SECONDS_PER_TARGET" -max_len=200000 -rss_limit_mb=2048 \
        -timeout=20 -print_final_stats=1 -artifact_prefix="$OUT/$target-" \
        "$scratch" "tests/workbook/fuzz/corpus/$target" 2>&1 | tail -n 25; then
        status=1
    fi
    rm -rf "$scratch"
done
exit $status
