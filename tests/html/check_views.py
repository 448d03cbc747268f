#!/usr/bin/env python3
"""Checks the study's text report and HTML page of generated data files.

Every page must be valid UTF-8, declare its charset, balance its tags (Python's
HTML parser), hold SVG charts that are well-formed XML, load nothing from the
network and run no script; the hostile site name must appear escaped. Every
line of a text report must end in CR LF and fit in 80 columns.

    check_views.py TALLYCNV STUDY_PAGE_FILES [STUDY_CHECK_FILES]

STUDY_PAGE_FILES writes a weigh site (and its twin with a hostile site name)
and two interval files; STUDY_CHECK_FILES, the files of the figures' check
(every record format, a wrapped memory, a file not closed correctly), listed
with their options in its FILES.
"""
import html.parser
import os
import re
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree

VOID = {"meta", "link", "br", "hr", "img", "input", "col", "area", "base", "wbr", "source", "track", "embed"}
SVG_NS = "{http://www.w3.org/2000/svg}"


class TagBalance(html.parser.HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.stack = []
        self.errors = []
        self.charset = None
        self.texts = []

    def handle_starttag(self, tag, attrs):
        if tag == "meta":
            self.charset = dict(attrs).get("charset", self.charset)
        if tag == "script":
            self.errors.append("a script element")
        for name, value in attrs:
            if name in ("src", "href") and value and not value.startswith("#"):
                self.errors.append(f"{tag} loads {value}")
        if tag not in VOID:
            self.stack.append((tag, self.getpos()))

    def handle_startendtag(self, tag, attrs):
        pass  # <path/> and the like inside SVG

    def handle_endtag(self, tag):
        if not self.stack or self.stack[-1][0] != tag:
            self.errors.append(f"</{tag}> at {self.getpos()} closes {self.stack[-1] if self.stack else 'nothing'}")
            return
        self.stack.pop()

    def handle_data(self, data):
        self.texts.append(data)


def check_page(name, raw):
    errors = []
    try:
        text = raw.decode("utf-8")
    except UnicodeDecodeError as e:
        return [f"not UTF-8: {e}"], 0, ""
    if not text.startswith("<!DOCTYPE html>\r\n"):
        errors.append("no doctype")
    if re.search(r"[\x00-\x08\x0b\x0c\x0e-\x1f\x7f-\x9f]", text):
        errors.append("a control character in the page")
    if re.search(r"(?<!\r)\n", text):
        errors.append("a line feed without its carriage return")
    parser = TagBalance()
    parser.feed(text)
    parser.close()
    errors += parser.errors
    if parser.stack:
        errors.append(f"unclosed: {parser.stack}")
    if (parser.charset or "").lower() != "utf-8":
        errors.append("no <meta charset=\"utf-8\">")
    if "@page { size: A4" not in text:
        errors.append("no A4 page size")
    charts = re.findall(r"<svg .*?</svg>", text, re.S)
    for svg in charts:
        try:
            root = ElementTree.fromstring(svg)
        except ElementTree.ParseError as e:
            errors.append(f"an SVG chart is not well-formed: {e}")
            continue
        if root.find(SVG_NS + "title") is None:
            errors.append("an SVG chart without a title")
        # The chart's title in bold, its two axis titles in 11 px.
        axis_titles = [t for t in root.iter(SVG_NS + "text") if t.get("font-size") == "11"]
        if len(axis_titles) != 2 or not all("".join(t.itertext()).strip() for t in axis_titles):
            errors.append("an SVG chart without its two axis titles")
    return errors, len(charts), "".join(parser.texts)


def check_report(raw):
    errors = []
    if not raw.endswith(b"\r\n"):
        errors.append("does not end in CR LF")
    for number, line in enumerate(raw.split(b"\r\n")[:-1], 1):
        if len(line) > 80:
            errors.append(f"line {number} has {len(line)} columns: {line!r}")
        if re.search(rb"[\x00-\x1f\x7f]", line):
            errors.append(f"line {number} holds a control byte: {line!r}")
    return errors


def main():
    program, make_files = sys.argv[1], sys.argv[2]
    failures = 0
    with tempfile.TemporaryDirectory() as scratch:
        subprocess.run([make_files, scratch], check=True)
        more = []
        if len(sys.argv) > 3:
            subprocess.run([sys.argv[3], scratch], check=True)
            with open(os.path.join(scratch, "FILES")) as listed:
                # Files not closed correctly end with an error after the page: exit 2 is theirs.
                more = [(line.split()[0], line.split()[1:], 0) for line in listed if line.strip()]
        runs = more + [
            ("WEIGH.DAT", ["--speed-limit=90"], 7),
            ("WEIGH.DAT", ["-I2"], 7),
            ("WEIGH.DAT", ["-H"], 0),
            ("HOSTILE.DAT", [], 7),
            ("BINNED.DAT", [], 3),
            ("BINNED.DAT", ["-S"], 3),
            ("HOURLY.DAT", [], 2),
        ]
        for source, options, least_charts in runs:
            for form in ("-fhtml", "-fstudy"):
                result = subprocess.run([program, os.path.join(scratch, source), "^", form] + options,
                                        capture_output=True, cwd=scratch,
                                        env=dict(os.environ, SOURCE_DATE_EPOCH="1000000000"))
                what = f"{source} {form} {' '.join(options)}"
                errors = [] if result.returncode == 0 or (result.returncode == 2 and "NOTCLOSED" in source) \
                    else [f"exit {result.returncode}: {result.stderr!r}"]
                if form == "-fstudy":
                    errors += check_report(result.stdout)
                else:
                    page_errors, charts, shown = check_page(what, result.stdout)
                    errors += page_errors
                    if charts < least_charts:
                        errors.append(f"{charts} charts, at least {least_charts} expected")
                    if not re.search(r"Made by tallycnv \d+\.\d+\.\d+ on 2001-09-09\.", shown):
                        errors.append("no production line with the version and the date made")
                    if source == "WEIGH.DAT" and "-H" not in options and "Passenger Cars" not in shown:
                        errors.append("the FHWA 13 classes are not named")
                    if source == "HOSTILE.DAT" and "<b>\"A&B's\"</b>\ufffd\ufffd\ufffd\u00e9\u00ff" not in shown:
                        errors.append("the hostile site name is not shown as its text")
                for error in errors:
                    print(f"{what}: {error}")
                failures += len(errors)
                print(f"{what}: {'ok' if not errors else 'FAILED'}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
