#!/usr/bin/env python3
"""Times what the same machine needs for the data files written by data_files_bench:
copying their bytes with cp, and parsing them with Python's csv module (text form) and
xml.etree.ElementTree.iterparse (XML form).

Run data_files_bench first, then:  python3 bench/compare_python.py [folder]
(folder defaults to $VEXAL_BENCH_DIR or /tmp/vexal-bench). Each figure is the best of
--runs runs, in milliseconds.
"""

import argparse
import csv
import os
import subprocess
import sys
import time
import xml.etree.ElementTree as ET


def best_ms(action, runs):
    best = None
    for _ in range(runs):
        start = time.perf_counter()
        action()
        elapsed = (time.perf_counter() - start) * 1000.0
        best = elapsed if best is None else min(best, elapsed)
    return best


def copy_file(path):
    target = path + ".copy"
    subprocess.run(["cp", path, target], check=True)
    os.remove(target)


def parse_text(path):
    # The files are code page 936 bytes; latin-1 maps every byte to one character.
    rows = 0
    with open(path, newline="", encoding="latin-1") as f:
        for _ in csv.reader(f, delimiter="\t"):
            rows += 1
    return rows


def parse_xml(path):
    # No encoding is declared; force a byte-for-byte one as the program's reader does.
    rows = 0
    parser = ET.XMLParser(encoding="iso-8859-1")
    for _, element in ET.iterparse(path, events=("end",), parser=parser):
        if element.tag == "ROW":
            rows += 1
            element.clear()
    return rows


def main():
    default_dir = os.environ.get("VEXAL_BENCH_DIR") or "/tmp/vexal-bench"
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("folder", nargs="?", default=default_dir)
    ap.add_argument("--runs", type=int, default=3)
    args = ap.parse_args()

    text = os.path.join(args.folder, "rows.txt")
    xml = os.path.join(args.folder, "rows.xml")
    for path in (text, xml):
        if not os.path.exists(path):
            sys.exit(f"{path} is missing: run data_files_bench first")

    print(f"rows.txt {os.path.getsize(text) / 1e6:.1f} MB, "
          f"{parse_text(text) - 1} data lines")
    print(f"rows.xml {os.path.getsize(xml) / 1e6:.1f} MB, {parse_xml(xml)} ROW elements")
    print(f"cp rows.txt            {best_ms(lambda: copy_file(text), args.runs):9.0f} ms")
    print(f"cp rows.xml            {best_ms(lambda: copy_file(xml), args.runs):9.0f} ms")
    print(f"python csv rows.txt    {best_ms(lambda: parse_text(text), args.runs):9.0f} ms")
    print(f"python iterparse .xml  {best_ms(lambda: parse_xml(xml), args.runs):9.0f} ms")


if __name__ == "__main__":
    main()
