#!/usr/bin/env python3
"""The history page as a browser shows it: a journal of several modules and visits is built with the real
extractor from scenario files, the page is rendered by headless Chromium, and the rendered DOM is read back.

Usage: history_browser_test.py EXTRACTOR [CHROMIUM]   (exit 0 passed, 1 failed, 77 skipped)
"""
import csv
import hashlib
import html.parser
import io
import json
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile

EXTRACTOR = sys.argv[1]
CHROMIUM = sys.argv[2] if len(sys.argv) > 2 else shutil.which("chromium") or "/usr/bin/chromium"
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAILED: " + what)


def run(args, env, expect=None):
    done = subprocess.run([EXTRACTOR] + args, env=env, capture_output=True)
    if expect is not None:
        check(done.returncode == expect, f"{' '.join(args)}: exit {done.returncode}, expected {expect}: "
              f"{done.stderr.decode(errors='replace')}")
    return done


def scenario(folder, name, modules, faults=()):
    path = folder / (name + ".json")
    path.write_text(json.dumps({"modules": modules, "faults": list(faults)}))
    return str(path)


def generated(module_id, count, seed, model="Z83-PM-VX"):
    return {"id": module_id, "model": model, "generated": {"count": count, "seed": seed}}


class Page(html.parser.HTMLParser):
    """Per module: the marks of the chart's event and overload paths, the figures, and whether a <b> element
    was made from a file name."""

    def __init__(self):
        super().__init__()
        self.modules, self.module, self.figure, self.cell, self.bold = {}, None, None, False, []
        self.text = []

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        if tag == "section" and "data-module" in attrs:
            self.module = self.modules.setdefault(attrs["data-module"], {"ev": 0, "ov": 0, "figures": {}, "svg": 0})
        elif self.module is not None and tag == "path" and attrs.get("class") in ("ev", "ov"):
            self.module[attrs["class"]] += attrs.get("d", "").count("M")
        elif self.module is not None and tag == "svg" and "chart" in attrs.get("class", "").split():
            self.module["svg"] += 1
        elif self.module is not None and tag == "tr" and "data-figure" in attrs:
            self.figure = attrs["data-figure"]
            self.module["figures"][self.figure] = ""
        elif tag == "td":
            self.cell = True
        elif tag == "b":
            self.bold.append(self.getpos())

    def handle_endtag(self, tag):
        if tag == "tr":
            self.figure = None
        elif tag == "td":
            self.cell = False

    def handle_data(self, data):
        self.text.append(data)
        if self.figure and self.cell and self.module is not None:
            self.module["figures"][self.figure] += data


def render(page, work):
    profile = tempfile.mkdtemp(dir=work)
    done = subprocess.run([CHROMIUM, "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                           "--disable-background-networking", "--disable-component-update", "--disable-sync",
                           "--user-data-dir=" + profile, "--dump-dom", pathlib.Path(page).as_uri()],
                          capture_output=True, timeout=120)
    check(done.returncode == 0, f"chromium ended with {done.returncode}")
    parsed = Page()
    parsed.feed(done.stdout.decode("utf-8"))
    return parsed


def main():
    if not os.access(CHROMIUM, os.X_OK):
        print(f"SKIPPED: no Chromium at {CHROMIUM} (install the chromium package to run this test)")
        return 77
    work = pathlib.Path(tempfile.mkdtemp(prefix="history-test-"))
    try:
        return test(work)
    finally:
        if os.environ.get("KEEP_HISTORY_TEST"):
            print("kept", work)
        else:
            shutil.rmtree(work, ignore_errors=True)


def test(work):
    home = work / "home"
    (home / "Documents").mkdir(parents=True)
    env = {"HOME": str(home), "XDG_DATA_HOME": str(home / "data"), "LC_ALL": "C.UTF-8", "TZ": "UTC"}
    journal = home / "data" / "z83-log-extraction" / "journal.jsonl"

    # AA01: saved, read again without a clear (the planted duplicate), read and cleared, then a visit whose
    # link is lost after 5 logs.
    first = scenario(work, "first", [generated("AA01", 30, 1), generated("BB02", 20, 2)])
    run(["--id", "AA01", "--scenario", first, "-q"], env, 0)
    run(["--id", "AA01", "--scenario", first, "-q"], env, 0)
    run(["--id", "AA01", "--scenario", first, "--clear", "-y", "-q"], env, 0)
    lost = scenario(work, "lost", [generated("AA01", 12, 5)],
                    [{"command": "U", "kind": "status", "start": 6}, {"command": "S", "kind": "status", "start": 3}])
    run(["--id", "AA01", "--scenario", lost, "-q"], env, 11)
    # BB02: saved under a name that is markup, then read again and that report edited afterwards.
    markup = home / "Documents" / "<b>site.csv"
    run(["--id", "BB02", "--scenario", first, "-o", str(markup), "-q"], env, 0)
    edited = home / "Documents" / "edited.csv"
    run(["--id", "BB02", "--scenario", first, "-o", str(edited), "-q"], env, 0)
    lines = edited.read_bytes().split(b"\r\n")
    lines[3] = lines[3].replace(b",", b",9", 1)  # another log number
    edited.write_bytes(b"\r\n".join(lines))
    # 1A2B3C: three of its six logs flagged.
    run(["--id", "1A2B3C", "--scenario", bad_crc(), "-q"], env, 9)
    # CC03: two reports made on another computer (another journal), one CSV and one JSON, imported; the CSV
    # imported twice.
    other = dict(env, XDG_DATA_HOME=str(work / "other"))
    elsewhere = work / "elsewhere"
    elsewhere.mkdir()
    third = scenario(work, "third", [generated("CC03", 15, 3)])
    fourth = scenario(work, "fourth", [generated("CC03", 10, 4)])
    run(["--id", "CC03", "--scenario", third, "-o", str(elsewhere / "old.CSV"), "-q"], other, 0)
    run(["--id", "CC03", "--scenario", fourth, "--format", "json", "-o", str(elsewhere / "older.json"), "-q"], other, 0)
    (elsewhere / "notes.txt").write_text("not a report, and not walked\n")
    run(["--import", str(elsewhere), "--module", "CC03", "-q"], env, 0)
    again = run(["--import", str(elsewhere / "old.CSV"), "--module", "CC03"], env, 0)
    check(b"already in the journal" in again.stderr, "a second import of a file is told as already listed")
    # A file that is not a report is refused with its wrong line, and nothing of its folder is imported.
    stray = work / "stray"
    stray.mkdir()
    shutil.copy(elsewhere / "old.CSV", stray / "copy.CSV")
    (stray / "wrong.csv").write_bytes((elsewhere / "old.CSV").read_bytes().replace(b"SAFE", b"FINE", 1))
    refused = run(["--import", str(stray), "--module", "CC03"], env, 2)
    check(b"wrong.csv: not a report: line " in refused.stderr and b"neither OVERLOAD nor SAFE" in refused.stderr,
          "an import of a non-report names its wrong line: " + refused.stderr.decode(errors="replace"))
    # DD04: an entry without a report and a model that is not UTF-8; then a damaged line.
    with open(journal, "ab") as out:
        out.write(b'{"kind":"extraction","time":"2025-01-02T03:04:05","module":"DD04","model":"Z83\xff\xfe",'
                  b'"outcome":"no logs"}\n{"kind":"extraction","time":"2025-01-0\n')
    # The history: exit 12 for the edited report, the page saved all the same.
    page = work / "h.html"
    made = run(["--history", "-o", str(page)], env, 12)
    check(b"line " in made.stderr and b"skipped" in made.stderr, "the damaged journal line is told")
    exported = run(["--history", "--format", "csv"], env, 12).stdout.decode("utf-8")
    rows = list(csv.DictReader(io.StringIO(exported)))

    def union(module, status=None, overload=None):
        return sum(1 for r in rows if r["module"] == module and (status is None or r["status"] == status)
                   and (overload is None or (r["overload"] == "OVERLOAD") == overload))

    # The union, from the scenarios: each log once, the changed report's never, the flagged ones apart.
    check(union("AA01") == 30 + 5, f"AA01 holds {union('AA01')} events, not 35")
    check(union("BB02") == 20, f"BB02 holds {union('BB02')} events, not 20")
    check(union("CC03") == 25, f"CC03 holds {union('CC03')} events, not 25")
    check(union("1A2B3C", "") == 3 and union("1A2B3C") == 6, "1A2B3C: 3 good and 3 flagged records")
    check(all(r["report"] != str(edited) for r in rows), "no event comes from the edited report")

    # --open hands the saved page to the desktop's opener (a stand-in for xdg-open here).
    opener = work / "bin"
    opener.mkdir()
    (opener / "xdg-open").write_text(f'#!/bin/sh\necho "$1" > "{work}/opened"\n')
    (opener / "xdg-open").chmod(0o755)
    opened = run(["--history", "--module", "AA01", "--open"], dict(env, PATH=f"{opener}:/usr/bin:/bin"), 0)
    saved = opened.stderr.decode().split("History saved as ")[-1].strip().rstrip(".")
    check((work / "opened").exists() and (work / "opened").read_text().strip() == saved,
          f"--open opens the saved page: {opened.stderr.decode(errors='replace')}")

    dom = render(page, work)
    text = "".join(dom.text)
    check(set(dom.modules) == {"AA01", "BB02", "CC03", "1A2B3C", "DD04"}, f"modules shown: {sorted(dom.modules)}")
    for module, shown in dom.modules.items():
        events, overloads = union(module, ""), union(module, "", True)
        check(shown["ev"] + shown["ov"] == events, f"{module}: {shown['ev'] + shown['ov']} marks for {events} events")
        check(shown["ov"] == overloads, f"{module}: {shown['ov']} overload marks for {overloads} overloads")
        figures = shown["figures"]
        check(figures.get("events") == str(events), f"{module}: figure events {figures.get('events')} != {events}")
        check(figures.get("overloads") == str(overloads), f"{module}: figure overloads {figures.get('overloads')}")
        check(figures.get("flagged") == str(union(module) - events), f"{module}: flagged figure")
    check(dom.modules["DD04"]["svg"] == 0 and "No events to draw." in text, "DD04 has no chart and says so")
    check("Z83\ufffd\ufffd" in text, "a model that is not UTF-8 shows replacement characters")
    check(not dom.bold and "<b>site.csv" in text, "a report named <b>site.csv shows those characters, no markup")
    check("changed" in text and "not used" in text, "the edited report is named as changed and not used")
    print(f"{len(failures)} failed" if failures else "passed")
    return 1 if failures else 0


def bad_crc():
    return str(pathlib.Path(__file__).resolve().parents[2] / "scenarios" / "bad-crc.json")


if __name__ == "__main__":
    sys.exit(main())
