#!/usr/bin/env bash
# Fuzzes the Modbus answer clean-up and validation for the given number of seconds (default 20).
exec "$(dirname "$0")/lib/libfuzzer-target.sh" link fuzz-modbus-answer 300 "${1:-20}" \
    tests/link/fuzz/FuzzModbusAnswer.cpp link/ModbusFrame.cpp
