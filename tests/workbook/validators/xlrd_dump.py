#!/usr/bin/python3
"""Prints the cells of an .xls file as python3-xlrd sees them, one line each:
sheet, row, column, text|number, value, number format code (tab-separated).
Texts escape backslash, tab and line feed; numbers are printed with repr()."""
import sys

import xlrd


def escape(text):
    return text.replace("\\", "\\\\").replace("\t", "\\t").replace("\n", "\\n")


def main(path):
    book = xlrd.open_workbook(path, formatting_info=True)
    if book.codepage != 1251:
        print("codepage %r" % book.codepage, file=sys.stderr)
        return 1
    for s, sheet in enumerate(book.sheets()):
        print("sheet\t%d\t%s" % (s, escape(sheet.name)))
        for r in range(sheet.nrows):
            for c in range(sheet.ncols):
                cell = sheet.cell(r, c)
                if cell.ctype in (xlrd.XL_CELL_EMPTY, xlrd.XL_CELL_BLANK):
                    continue
                xf = book.xf_list[cell.xf_index]
                code = book.format_map[xf.format_key].format_str
                font = book.font_list[xf.font_index]
                if font.character_set != 204:
                    print("font charset %r" % font.character_set, file=sys.stderr)
                    return 1
                borders = "%d%d%d%d" % (xf.border.top_line_style, xf.border.bottom_line_style,
                                        xf.border.left_line_style, xf.border.right_line_style)
                if cell.ctype == xlrd.XL_CELL_TEXT:
                    kind, value = "text", escape(cell.value)
                elif cell.ctype in (xlrd.XL_CELL_NUMBER, xlrd.XL_CELL_DATE):
                    kind, value = "number", repr(float(cell.value))
                else:
                    kind, value = "other", repr(cell.value)
                print("%d\t%d\t%d\t%s\t%s\t%s\t%s" % (s, r, c, kind, value, code, borders))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
