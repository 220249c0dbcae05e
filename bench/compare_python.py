#!/usr/bin/env python3
"""Times what the same machine needs for the data files written by data_files_bench:
copying their bytes with cp, and parsing them with Python's csv module (text form) and
xml.etree.ElementTree.iterparse (XML form).

Run data_files_bench first, then:  python3 bench/compare_python.py [folder]
(folder defaults to $VEXAL_BENCH_DIR or /tmp/vexal-bench). Each figure is the best of
--runs runs, in milliseconds, as wall-clock and as CPU time (the
latter is steadier on a machine that other work keeps busy). Opening and saving a million
rows takes a few hundred megabytes of fresh memory and page cache, whose cost swings widely
on a virtual machine from one run to the next: hence seven runs by default.
"""

import argparse
import csv
import os
import subprocess
import sys
import time
import xml.etree.ElementTree as ET


def best_ms(action, runs, cleanup=None):
    """Best wall-clock and best CPU time (this process and its children) of `runs` runs.
    `cleanup` runs after each, untimed: removing a file written is no part of writing it."""
    best_wall = best_cpu = None
    for _ in range(runs):
        t0, c0 = time.perf_counter(), os.times()
        action()
        t1, c1 = time.perf_counter(), os.times()
        if cleanup:
            cleanup()
        wall = (t1 - t0) * 1000.0
        cpu = ((c1.user + c1.system + c1.children_user + c1.children_system)
               - (c0.user + c0.system + c0.children_user + c0.children_system)) * 1000.0
        best_wall = wall if best_wall is None else min(best_wall, wall)
        best_cpu = cpu if best_cpu is None else min(best_cpu, cpu)
    return best_wall, best_cpu


def copy_file(path):
    subprocess.run(["cp", path, path + ".copy"], check=True)


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


def open_and_save_xml(replay, text, folder):
    """What "Open Data" of the text file and "Save Data" as XML do, through vexal-replay."""
    empty = os.path.join(folder, "empty.cap")
    with open(empty, "w"):
        pass
    subprocess.run([replay, "--open", text, "--out", os.path.join(folder, "opened.xml"), empty],
                   check=True)


def remove(path):
    if os.path.exists(path):
        os.remove(path)


def main():
    default_dir = os.environ.get("VEXAL_BENCH_DIR") or "/tmp/vexal-bench"
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("folder", nargs="?", default=default_dir)
    ap.add_argument("--runs", type=int, default=7)
    here = os.path.dirname(os.path.abspath(__file__))
    ap.add_argument("--replay", default=os.path.join(here, "..", "build", "bin", "vexal-replay"),
                    help="vexal-replay to time opening rows.txt and saving it as XML")
    args = ap.parse_args()

    text = os.path.join(args.folder, "rows.txt")
    xml = os.path.join(args.folder, "rows.xml")
    for path in (text, xml):
        if not os.path.exists(path):
            sys.exit(f"{path} is missing: run data_files_bench first")

    print(f"rows.txt {os.path.getsize(text) / 1e6:.1f} MB, "
          f"{parse_text(text) - 1} data lines")
    print(f"rows.xml {os.path.getsize(xml) / 1e6:.1f} MB, {parse_xml(xml)} ROW elements")
    print("                        wall ms    cpu ms")
    figures = {}
    actions = [("cp rows.txt", lambda: copy_file(text), lambda: remove(text + ".copy")),
               ("cp rows.xml", lambda: copy_file(xml), lambda: remove(xml + ".copy")),
               ("python csv rows.txt", lambda: parse_text(text), None),
               ("python iterparse .xml", lambda: parse_xml(xml), None)]
    if os.path.exists(args.replay):
        actions.append(("vexal txt -> xml",
                        lambda: open_and_save_xml(args.replay, text, args.folder),
                        lambda: remove(os.path.join(args.folder, "opened.xml"))))
    for label, action, cleanup in actions:
        wall, cpu = best_ms(action, args.runs, cleanup)
        figures[label] = (wall, cpu)
        print(f"{label:22} {wall:9.0f} {cpu:9.0f}")
    if "vexal txt -> xml" in figures:
        # Vexal reads the text file and writes the XML file in the time Python only reads it.
        py, vx = figures["python csv rows.txt"], figures["vexal txt -> xml"]
        print(f"python csv read / vexal open + save as XML: {py[0] / vx[0]:.2f}x wall, "
              f"{py[1] / vx[1]:.2f}x cpu")

if __name__ == "__main__":
    main()
