#!/usr/bin/env bash
# Makes the seed corpus of the workbook fuzz targets, once; the corpus is kept in
# the repository. Seeds: our sample workbooks (empty, small, with raised format
# indexes, re-read and rewritten), the same small workbook converted by Gnumeric
# (Excel 95 and Excel 97) and by LibreOffice (Excel 97), and the bare record
# streams of all of them for the stream target. Beside these seeds the corpus
# keeps mutations (files named by their hash) found by long runs and reduced with
# libFuzzer's -merge=1: the smallest ones that add coverage.
#
#   tests/workbook/fuzz/make-corpus.sh BUILD_DIR
set -euo pipefail
BUILD=${1:?usage: make-corpus.sh BUILD_DIR}
HERE=$(cd "$(dirname "$0")" && pwd)
cmake --build "$BUILD" --target workbook_sample_writer ||
    echo "build failed; using the sample writer already built" >&2
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
"$BUILD/tests/workbook/workbook_sample_writer" "$WORK"
if ! locale -a | grep -qix 'ru_RU.utf8'; then
    localedef -i ru_RU -f UTF-8 ru_RU.UTF-8
fi
FILES="$HERE/corpus/FuzzWorkbookFile"
STREAMS="$HERE/corpus/FuzzBiffStream"
mkdir -p "$FILES" "$STREAMS"
for name in empty small raised reread; do
    cp "$WORK/$name.xls" "$FILES/$name.xls"
done
LC_ALL=ru_RU.UTF-8 ssconvert --export-type=Gnumeric_Excel:excel_biff7 "$WORK/small.xls" \
    "$FILES/gnumeric-excel95-small.xls"
LC_ALL=ru_RU.UTF-8 ssconvert --export-type=Gnumeric_Excel:excel_biff8 "$WORK/small.xls" \
    "$FILES/gnumeric-excel97-small.xls"
soffice -env:UserInstallation="file://$WORK/lo-profile" --headless \
    --convert-to 'xls:MS Excel 97' --outdir "$WORK/lo" "$WORK/small.xls" >/dev/null
cp "$WORK/lo/small.xls" "$FILES/libreoffice-excel97-small.xls"
/usr/bin/python3 - "$FILES" "$STREAMS" <<'PY'
import os, sys
from xlrd import compdoc
src, dst = sys.argv[1], sys.argv[2]
for name in sorted(os.listdir(src)):
    doc = compdoc.CompDoc(open(os.path.join(src, name), "rb").read())
    names = [d.name for d in doc.dirlist]
    stream = next(doc.get_named_stream(n) for n in ("Workbook", "Book") if n in names)
    open(os.path.join(dst, name.replace(".xls", ".biff")), "wb").write(stream)
PY
ls -l "$FILES" "$STREAMS"
