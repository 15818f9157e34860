#!/usr/bin/env bash
# Compiles the plain C++ core (model, link, acquisition, views, the utilities) with the MinGW-w64
# cross compiler, so the Windows code paths (the Win32 serial port, SetupAPI port
# list) are checked on every run even though the tests run on Linux.
set -euo pipefail
cd "$(dirname "$0")/.."
CXX=${MINGW_CXX:-x86_64-w64-mingw32-g++-posix}
status=0
for f in model/*.cpp link/*.cpp acquisition/*.cpp views/*.cpp service/ServicePort.cpp \
    service/ModemSetup.cpp service/AdapterAddress.cpp service/FirmwareUpdate.cpp; do
    if ! "$CXX" -std=c++20 -Wall -Wextra -Werror -I. -fsyntax-only "$f"; then
        echo "не компилируется для Windows: $f"
        status=1
    fi
done
[[ $status -eq 0 ]] && echo "Windows build of the core: all files compile"
exit $status
