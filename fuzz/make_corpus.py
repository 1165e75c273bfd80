#!/usr/bin/env python3
"""Writes the seed corpus of the calibration file fuzz target into fuzz/corpus, that of the
calibration history target into fuzz/history_corpus and that of the CSV column target into
fuzz/csv_corpus.

Valid files carry correct checksums so that their entries load; each hostile file holds one class
of input that once crashed, stalled or lost a thermometer.
"""
import hashlib
import json
import os

HERE = os.path.dirname(os.path.abspath(__file__))
CORPUS = os.path.join(HERE, "corpus")
HISTORY_CORPUS = os.path.join(HERE, "history_corpus")
CSV_CORPUS = os.path.join(HERE, "csv_corpus")


def checksum(description, date, points):
    text = description + date + "".join("%.2f%.4f" % (x, y) for x, y in points)
    total = 0
    for byte in text.encode("utf-8"):
        total = (total + (byte - 256 if byte >= 0x80 else byte)) & 0xFFFF
    return "%04x" % total


def entry(description, date="31122031", points=((15.0, 0.12), (20.0, 0.12), (25.0, 0.12)), written=None):
    """written: the description as it stands in the file, when not the plain text."""
    point_texts = ["%.5f,%.5f" % point for point in points]
    return ("        <Entry>\n"
            "            <Description>%s</Description>\n"
            "            <Calibration_Due_Date>%s</Calibration_Due_Date>\n"
            "            <Point1>%s</Point1>\n"
            "            <Point2>%s</Point2>\n"
            "            <Point3>%s</Point3>\n"
            "            <Checksum>%s</Checksum>\n"
            "        </Entry>\n" % ((written if written is not None else description),
                                    date if date else "<![CDATA[]]>", *point_texts,
                                    checksum(description, date, points)))


def document(entries, prolog="", version="1"):
    return ('<?xml version="1.0" encoding="utf-8"?>\n%s'
            '<Thermometer_Calibration_Data File_Version="%s">\n    <Calibration_Entries>\n%s'
            "    </Calibration_Entries>\n</Thermometer_Calibration_Data>\n" % (prolog, version, "".join(entries)))


def write(name, content):
    data = content if isinstance(content, bytes) else content.encode("utf-8")
    with open(os.path.join(CORPUS, name), "wb") as file:
        file.write(data)


def main():
    os.makedirs(CORPUS, exist_ok=True)
    write("valid_one.xml", document([entry("Probe 7", points=((0, 0.1), (20, 0.05), (40, -0.02)))]))
    write("valid_empty.xml", document([]))
    write("valid_awkward.xml", document([
        entry("Sonde \u00e9t\u00e9 <1> & \"2\" 'x'", written="Sonde \u00e9t\u00e9 &lt;1&gt; &amp; \"2\" 'x'"),
        entry("Thermo \U0001F321 ]]> end", written="Thermo \U0001F321 ]]&gt; end"),
        entry("Ref \U0001F321", written="Ref &#x1F321;"),
        entry("\u00a0\u2028\u3000", written="<![CDATA[\u00a0\u2028\u3000]]>"),
        entry("  \t ", written="<![CDATA[  \t ]]>"),
        entry("No date", date=""),
        entry("Line\rbreak", written="Line&#13;break"),
        entry("Negative", points=((-5.5, -0.00001), (0, 0), (1e6, 123.45678))),
    ]))
    # U+FEFF in a description exactly on the 1,024-byte boundary of the file.
    head = document([]).split("    <Calibration_Entries>\n")[0] + "    <Calibration_Entries>\n"
    first = entry("Padding " + "x" * 300)
    prefix = head + first + "        <Entry>\n            <Description>"
    pad = 1024 - len(prefix.encode("utf-8")) - 1
    description = "P" + "y" * (pad) + "\ufeff" + "z"
    write("valid_feff_boundary.xml", document([first, entry(description)]))

    valid = entry("Probe 7")
    write("hostile_control_byte.xml", document([entry("Probe\x01 7")]))
    write("hostile_reference_1.xml", document([valid, entry("Probe", written="Probe&#1;")]))
    write("hostile_reference_fffe.xml", document([valid, entry("Probe", written="Probe&#xFFFE;")]))
    write("hostile_reference_d800.xml", document([valid, entry("Probe", written="Probe&#xD800;")]))
    write("hostile_comment_control.xml", document([valid]).replace("<Calibration_Entries>",
                                                                   "<Calibration_Entries><!-- \x02 -->"))
    write("hostile_lone_surrogate_utf16.xml",
          b"\xff\xfe" + document([entry("Probe")]).encode("utf-16-le").replace(
              "Probe".encode("utf-16-le"), b"P\x00\x00\xd8", 1))
    write("hostile_deep_nesting.xml", "<Thermometer_Calibration_Data File_Version=\"1\">" + "<a>" * 400)
    write("hostile_entity_expansion.xml", document(
        [entry("x", written="&big;&big;&big;&big;&big;&big;&big;&big;")],
        prolog='<!DOCTYPE Thermometer_Calibration_Data [<!ENTITY big "%s">]>\n' % ("x" * 1500)))
    write("hostile_undeclared_entity.xml", document([entry("x", written="&nbsp;x")]))
    write("hostile_unknown_encoding.xml", document([valid]).replace("utf-8", "x-nothing"))
    write("hostile_version_2.xml", document([valid], version="2"))
    write("hostile_bad_point.xml", document([valid, entry("Bad").replace(
        "<Point2>20.00000,0.12000", "<Point2>20.00000;0.12000")]))
    write("hostile_checksum.xml", document([valid, entry("Changed").replace("Changed<", "Changes<")]))
    write("hostile_root.xml", document([valid]).replace("Thermometer_Calibration_Data", "thermometer_calibration_data"))
    write("hostile_empty_description.xml", document([valid, entry("", written="<![CDATA[]]>"), entry("Probe 8")]))
    # The parser's cost grows with the square of an element's attributes: one past the limit, and
    # 10,000 (13 s to load before they were refused), within the fuzz target's -max_len.
    write("hostile_nine_attributes.xml", document([valid]).replace(
        "<Entry>", "<Entry" + "".join(' a%d="%d"' % (index, index) for index in range(9)) + ">", 1))
    write("hostile_many_attributes.xml", document([valid]).replace(
        "<Entry>", "<Entry" + "".join(" a%d='x'" % index for index in range(10000)) + ">", 1))
    write_history_corpus()


def history_lines(changes):
    """changes: (action, thermometer, before, after) with states as (due date, deviation), or (due date,
    deviation, description) for a state of another description than the thermometer's, or None. A mark
    marks the record before it; a loss names an anchor of two records."""
    lines = []
    previous = "0" * 64
    for number, (action, thermometer, before, after) in enumerate(changes, 1):
        def state(value):
            if value is None:
                return None
            due, deviation = value[:2]
            points = ["%.5f,%.5f" % (reference, deviation) for reference in (15, 20, 25)]
            return {"description": value[2] if len(value) > 2 else thermometer, "due_date": due,
                    "point1": points[0], "point2": points[1], "point3": points[2], "checksum": "0000"}
        record = {"record": number, "time": "2026-12-07T10:30:00+01:00", "user": "lab", "host": "station",
                  "action": action, "thermometer": thermometer, "before": state(before), "after": state(after),
                  "previous": previous}
        if action in ("not saved", "saved"):
            record["marks"] = number - 1
        if action == "history lost":
            record["anchor_records"] = 2
            record["anchor_sha256"] = "a" * 64
        if action == "reviewed":
            record["reviews"] = number - 1
            record["reviews_sha256"] = previous
            record["finding"] = "changed outside Velmora"
            record["comment"] = "asked the lab"
        line = json.dumps(record, separators=(",", ":"), sort_keys=True, ensure_ascii=False)
        previous = hashlib.sha256(line.encode("utf-8")).hexdigest()
        lines.append(line)
    return lines


def write_history_corpus():
    os.makedirs(HISTORY_CORPUS, exist_ok=True)

    def write(name, lines, tail="\n"):
        with open(os.path.join(HISTORY_CORPUS, name), "wb") as file:
            file.write(("\n".join(lines) + tail).encode("utf-8"))

    changes = [("first seen", "Probe X", None, ("2026-12-17", 0.2)),
               ("changed", "Probe X", ("2026-12-17", 0.2), ("2062-12-17", 0.02)),
               ("added", "B", None, ("2027-06-01", 0.1)),
               ("not saved", "B", None, None),
               ("changed outside Velmora", "probe x", ("2062-12-17", 0.02), ("2062-12-17", 0.03)),
               ("removed", "Probe X", ("2062-12-17", 0.03), None)]
    lines = history_lines(changes)
    write("valid.jsonl", lines)
    write("incomplete_last_line.jsonl", lines[:3] + [lines[3][:40]], tail="")
    write("deleted_line.jsonl", lines[:2] + lines[3:])
    write("edited_line.jsonl", lines[:1] + [lines[1].replace("0.02000", "0.20000")] + lines[2:])
    write("not_a_record.jsonl", lines[:2] + ["{\"record\":3", "[]", "null"] + lines[2:])
    write("wrong_types.jsonl", [lines[0].replace('"record":1', '"record":"1"'),
                                lines[1].replace('"before":{', '"before":[{').replace('},"host"', '}],"host"')])
    write("marks_missing.jsonl", history_lines([("added", "B", None, ("2027-06-01", 0.1)),
                                                ("not saved", "B", None, None)])[:1] +
          [history_lines([("added", "B", None, ("2027-06-01", 0.1)), ("not saved", "B", None, None)])[1]
           .replace('"marks":1,', '')])
    write("crlf.jsonl", [line + "\r" for line in lines[:2]])
    write("deep_nesting.jsonl", ["[" * 2000 + "]" * 2000])
    # Each change settled by a mark, then one left open by a writer killed before it could mark it.
    write("marked.jsonl", history_lines([("added", "Probe X", None, ("2027-06-01", 0.1)),
                                         ("saved", "Probe X", None, None),
                                         ("changed", "Probe X", ("2027-06-01", 0.1), ("2027-06-01", 0.2)),
                                         ("saved", "Probe X", None, None),
                                         ("removed", "B", ("2027-06-01", 0.1), None)]))
    # A history that lost the records the calibration file was saved after, begun again.
    write("history_lost.jsonl", history_lines([("added", "B", None, ("2027-06-01", 0.1)),
                                               ("history lost", "", None, None),
                                               ("first seen", "Probe X", None, ("2027-06-01", 0.1))]))
    # An outside change and its review, which closes it.
    write("reviewed.jsonl", history_lines([("first seen", "Probe X", None, ("2027-06-01", 0.1)),
                                           ("changed outside Velmora", "Probe X", ("2027-06-01", 0.1),
                                            ("2027-06-01", 1.5)),
                                           ("reviewed", "Probe X", None, None)]))
    # Found by fuzzing: marks that repeat a key further on, which a parse reads in place of the first (a
    # state, another action), were passed over by a read for an append as marks.
    marked = history_lines([("added", "Probe X", None, ("2027-06-01", 0.1)),
                            ("saved", "Probe X", None, None),
                            ("changed", "Probe X", ("2027-06-01", 0.1), ("2027-06-01", 0.2)),
                            ("saved", "Probe X", None, None),
                            ("added", "B", None, ("2027-06-01", 0.1)),
                            ("saved", "B", None, None)])
    state = marked[0][marked[0].index('"after":') + 8:marked[0].index(',"before":')]
    write("repeated_keys.jsonl", marked[:1] + [marked[1][:-1] + ',"before":' + state + "}"] + marked[2:3] +
          [marked[3][:-1] + ',"action":"changed","after":' + state + "}"] + marked[4:])
    # Found by fuzzing: records whose "thermometer" is not the thermometer their states describe (another
    # name, a control character, a trailing space) were recorded again at every start.
    write("self_contradicting.jsonl", history_lines([
        ("first seen", "Probe Y", None, ("2027-06-01", 0.1, "Probe X")),
        ("changed outside Velmora", "Probe\x01X", ("2027-06-01", 0.1, "Probe X"), ("2027-06-01", 0.2, "Probe X")),
        ("changed", "Probe X ", ("2027-06-01", 0.2, "Probe X"), ("2027-06-01", 0.1, "Probe X")),
        ("added", "Probe W", ("2027-06-01", 0.1, "Probe W"), ("2027-06-01", 0.1, "Probe X")),
        ("saved", "Probe X", None, None)]))

    write_csv_corpus()


def write_csv_corpus():
    """Each seed is one byte of options (column 1 + bits 0-2, delimiter bits 3-4: comma, semicolon,
    tab; decimal comma bit 5), then a CSV file in one of the shapes velmora-cli must keep."""
    os.makedirs(CSV_CORPUS, exist_ok=True)

    def write(name, column, content, delimiter=0, decimal_comma=False):
        options = (column - 1) | (delimiter << 3) | (0x20 if decimal_comma else 0)
        with open(os.path.join(CSV_CORPUS, name), "wb") as file:
            file.write(bytes([options]) + content)

    write("header_quoted_comma.csv", 2, b'Description,X\n"Table 2, left",20.50\nPos 2,15.00\n')
    write("utf8_bom_crlf.csv", 2, b"\xef\xbb\xbfPos,Gr\xc3\xb6\xc3\x9fe\r\nTisch \xe2\x82\xac,20.00\r\n")
    write("latin1_cr.csv", 2, b"Gr\xf6\xdfe,X\r\xfc,20\r,\r21")
    write("quoted_line_end.csv", 2, b'Position,X\n"two\nlines",20\nthree,abc\n')
    write("stray_quote.csv", 2, b'Description,X\nRod 5" stem,20.0\nNext,21.0')
    write("after_closing_quote.csv", 2, b'P,X\nA,"20"5\nB,""""\n')
    write("open_quote.csv", 2, b'P,X\nA,20\nB,"21\n')
    write("semicolons.csv", 2, b'\xef\xbb\xbfPos;X\r\nA;20,5\r\nB;"21,0"\r\n', delimiter=1, decimal_comma=True)
    write("split_decimal_comma.csv", 2, b"P,X,Y\nA,20,5,21,3\n20,5\n")
    write("tabs_short_lines.csv", 3, b"a\tb\tc\n1\t20\n\n2\t\t30\n", delimiter=2)
    write("blank_first_line.csv", 1, b"\n\nX\n20\n-3.15\n1e3\n")


if __name__ == "__main__":
    main()
