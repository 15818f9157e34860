#!/usr/bin/env bash
# Fuzzes the text views with arbitrary device images for the given number of seconds (default 20).
exec "$(dirname "$0")/lib/libfuzzer-target.sh" views fuzz-device-view 2200 "${1:-20}" \
    tests/views/fuzz/FuzzDeviceView.cpp views/DeviceView.cpp views/CurrentView.cpp \
    views/SettingsView.cpp views/ViewText.cpp views/ViewLocale.cpp acquisition/WorkArea.cpp \
    acquisition/Registers.cpp model/Records.cpp model/TextCodec.cpp model/DateTime.cpp
