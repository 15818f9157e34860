#!/usr/bin/env bash
# Makes the reference workbooks of other writers from our "large" sample, once;
# the results are kept in this folder and read back by workbook_test.
#
#   tests/workbook/data/make-reference.sh BUILD_DIR
#
# gnumeric-excel95.xls   Gnumeric's Excel 5.0/95 export (BIFF7: RK, MULRK, INDEX,
#                        DBCELL, ROW records)
# gnumeric-excel97.xls   Gnumeric's Excel 97 export (BIFF8, shared strings)
# libreoffice-excel97.xls LibreOffice's Excel 97 export (BIFF8)
#
# Gnumeric writes the Excel 95 text code page from the locale: under a locale
# other than a Russian UTF-8 one it writes code page 1252 and the Cyrillic texts
# are lost, so the locale is generated here when the system lacks it.
set -euo pipefail
BUILD=${1:?usage: make-reference.sh BUILD_DIR}
HERE=$(cd "$(dirname "$0")" && pwd)
cmake --build "$BUILD" --target workbook_sample_writer ||
    echo "build failed; using the sample writer already built" >&2
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
"$BUILD/tests/workbook/workbook_sample_writer" "$WORK"

if ! locale -a | grep -qix 'ru_RU.utf8'; then
    localedef -i ru_RU -f UTF-8 ru_RU.UTF-8
fi
export LC_ALL=ru_RU.UTF-8
ssconvert --export-type=Gnumeric_Excel:excel_biff7 "$WORK/large.xls" "$HERE/gnumeric-excel95.xls"
ssconvert --export-type=Gnumeric_Excel:excel_biff8 "$WORK/large.xls" "$HERE/gnumeric-excel97.xls"
soffice -env:UserInstallation="file://$WORK/lo-profile" --headless \
    --convert-to 'xls:MS Excel 97' --outdir "$WORK/lo" "$WORK/large.xls"
cp "$WORK/lo/large.xls" "$HERE/libreoffice-excel97.xls"
ls -l "$HERE"/*.xls
