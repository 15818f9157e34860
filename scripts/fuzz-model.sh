#!/usr/bin/env bash
# Fuzzes the base.dat parser for the given number of seconds (default 20).
exec "$(dirname "$0")/lib/libfuzzer-target.sh" model fuzz-station-base 40000 "${1:-20}" \
    tests/model/fuzz/FuzzStationBase.cpp model/StationBase.cpp model/StationFile.cpp \
    model/Records.cpp model/TextCodec.cpp model/AtomicFile.cpp model/DateTime.cpp
