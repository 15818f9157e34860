#!/usr/bin/env bash
# The layering check: passes on the repository, and fails, naming the file and
# the two folders, on a copy with an include that runs up a layer, one into a
# neighbouring folder, and one from the simulator into the decoding.
set -euo pipefail
source_dir=${1:?source folder}
check="$source_dir/scripts/check-layers.sh"

"$check" "$source_dir" >/dev/null

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
expect_failure() { # folder/file, include line, expected message part
    rm -rf "${tmp:?}"/*
    mkdir -p "$tmp/$(dirname "$1")"
    printf '#pragma once\n%s\n' "$2" >"$tmp/$1"
    if out=$("$check" "$tmp" 2>&1); then
        echo "not caught: $1 with $2"; exit 1
    fi
    grep -qF "$3" <<<"$out" || { echo "wrong report for $1: $out"; exit 1; }
}
expect_failure link/Bad.h '#include "jobs/Jobs.h"' "link/Bad.h:2: link/ includes jobs/"
expect_failure model/Bad.cpp '#include "link/SerialPort.h"' "model/Bad.cpp:2: model/ includes link/"
expect_failure acquisition/Bad.h '#include "workbook/Workbook.h"' "acquisition/ includes workbook/"
expect_failure sim/Bad.cpp '  #  include "acquisition/Registers.h"' "sim/ includes acquisition/"
expect_failure views/Bad.h '#include "shell/MainWindow.h"' "views/ includes shell/"

# Includes downwards, of the folder itself and of other libraries pass.
rm -rf "${tmp:?}"/*
mkdir -p "$tmp/jobs" "$tmp/shell"
printf '#include "views/DeviceView.h"\n#include "jobs/Jobs.h"\n#include <QWidget>\n' >"$tmp/jobs/Ok.cpp"
printf '#include "jobs/Jobs.h"\n#include "gtest/gtest.h"\n' >"$tmp/shell/Ok.cpp"
"$check" "$tmp" >/dev/null
echo "layer check: all cases as expected"
