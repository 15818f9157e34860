#!/usr/bin/python3
"""Prints the cells of a flat OpenDocument spreadsheet (.fods, as LibreOffice's
headless conversion of an .xls writes it) one line each: sheet, row, column,
text|number, value, number format. The format is LibreOffice's own reading of
the cell's number format, spelled back as a format code (day/month/year and
hour/minute parts in capitals, numbers as 0 with their decimals, General when
the cell has none), so that it can be compared with what the file asked for."""
import datetime
import re
import sys
import xml.etree.ElementTree as ET

NS = {
    "office": "urn:oasis:names:tc:opendocument:xmlns:office:1.0",
    "style": "urn:oasis:names:tc:opendocument:xmlns:style:1.0",
    "table": "urn:oasis:names:tc:opendocument:xmlns:table:1.0",
    "text": "urn:oasis:names:tc:opendocument:xmlns:text:1.0",
    "number": "urn:oasis:names:tc:opendocument:xmlns:datastyle:1.0",
}


def q(prefix, name):
    return "{%s}%s" % (NS[prefix], name)


def data_style_code(el):
    parts = []
    for child in el:
        tag = child.tag.split("}")[1]
        long_ = child.get(q("number", "style")) == "long"
        if tag == "day":
            parts.append("DD" if long_ else "D")
        elif tag == "month":
            textual = child.get(q("number", "textual")) == "true"
            parts.append(("MMMM" if long_ else "MMM") if textual else ("MM" if long_ else "M"))
        elif tag == "year":
            parts.append("YYYY" if long_ else "YY")
        elif tag == "hours":
            parts.append("HH" if long_ else "H")
        elif tag == "minutes":
            parts.append("MM" if long_ else "M")
        elif tag == "seconds":
            parts.append("SS" if long_ else "S")
        elif tag == "am-pm":
            parts.append("AM/PM")
        elif tag == "text":
            parts.append(child.text or "")
        elif tag == "number":
            decimals = int(child.get(q("number", "decimal-places"), "0"))
            if decimals == 0 and child.get(q("number", "min-decimal-places")) is None \
                    and el.tag.endswith("number-style") and len(el) == 1:
                parts.append("General")
            else:
                parts.append("0" + ("." + "0" * decimals if decimals else ""))
        else:
            parts.append("<%s>" % tag)
    return "".join(parts)


def escape(text):
    return text.replace("\\", "\\\\").replace("\t", "\\t").replace("\n", "\\n")


def cell_text(cell):
    lines = []
    for p in cell.findall(q("text", "p")):
        pieces = []

        def walk(node):
            if node.text:
                pieces.append(node.text)
            for sub in node:
                tag = sub.tag.split("}")[1]
                if tag == "s":
                    pieces.append(" " * int(sub.get(q("text", "c"), "1")))
                elif tag == "tab":
                    pieces.append("\t")
                elif tag == "line-break":
                    pieces.append("\n")
                else:
                    walk(sub)
                if sub.tail:
                    pieces.append(sub.tail)

        walk(p)
        lines.append("".join(pieces))
    return "\n".join(lines)


EPOCH = datetime.datetime(1899, 12, 30)


def number_value(cell):
    kind = cell.get(q("office", "value-type"))
    if kind == "date":
        text = cell.get(q("office", "date-value"))
        when = datetime.datetime.fromisoformat(text)
        delta = when - EPOCH
        return delta.days + (delta.seconds + delta.microseconds / 1e6) / 86400.0
    if kind == "time":
        m = re.fullmatch(r"-?PT(\d+)H(\d+)M([\d.]+)S", cell.get(q("office", "time-value")))
        hours, minutes, seconds = int(m.group(1)), int(m.group(2)), float(m.group(3))
        return (hours * 3600 + minutes * 60 + seconds) / 86400.0
    return float(cell.get(q("office", "value")))


def main(path):
    root = ET.parse(path).getroot()
    codes = {}
    for el in root.iter():
        name = el.get(q("style", "name"))
        if name and el.tag.startswith("{%s}" % NS["number"]) and el.tag.endswith("-style"):
            codes[name] = data_style_code(el)
    cell_styles = {}
    for el in root.iter(q("style", "style")):
        if el.get(q("style", "family")) == "table-cell":
            cell_styles[el.get(q("style", "name"))] = el.get(q("style", "data-style-name"))
    body = root.find(q("office", "body")).find(q("office", "spreadsheet"))
    for s, table in enumerate(body.findall(q("table", "table"))):
        print("sheet\t%d\t%s" % (s, escape(table.get(q("table", "name")))))
        row = 0
        for tr in table.iter(q("table", "table-row")):
            rows = int(tr.get(q("table", "number-rows-repeated"), "1"))
            col = 0
            cells = []
            for tc in tr:
                if tc.tag not in (q("table", "table-cell"), q("table", "covered-table-cell")):
                    continue
                repeat = int(tc.get(q("table", "number-columns-repeated"), "1"))
                kind = tc.get(q("office", "value-type"))
                if kind:
                    style = tc.get(q("table", "style-name"))
                    data_style = cell_styles.get(style)
                    code = codes.get(data_style, "General") if data_style else "General"
                    if kind == "string":
                        value = ("text", escape(cell_text(tc)))
                    else:
                        value = ("number", repr(number_value(tc)))
                    for i in range(repeat):
                        cells.append((col + i, value, code))
                col += repeat
            for r in range(rows if cells else 0):
                for c, (kind, value), code in cells:
                    print("%d\t%d\t%d\t%s\t%s\t%s" % (s, row + r, c, kind, value, code))
            row += rows
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
