#!/usr/bin/env python3
"""Writes test recordings exactly as Tiltscope's recorder does, for benchmarks.

Rows "X,Y,T,Y-M-D h:m:s'ms " end in CR LF; a file begins with the header
"X(deg),Y(deg),Temperature, Time" and is continued past --file-mib in a new
file without a header, named PREFIX_YYYYMMDDhhmmss.csv from the row's time.
With --bus N each of the addresses 1..N has its own files,
PREFIX_A<addr>_YYYYMMDDhhmmss.csv, as tiltlog writes a bus.

  make_recording.py OUT_DIR [--rows N] [--rate HZ] [--start "2026-12-10 13:50:05.024"]
                    [--bus N] [--file-mib MIB] [--gap ROW:SECONDS]... [--decimals D]
                    [--no-temperature] [--prefix TEXT]

Time counts in wall-clock steps (no clock change); values are smooth waves
with small noise, so a chart shows peaks. Prints the files written.
"""
import argparse
import datetime
import math
import os
import random
import sys

HEADER = "X(deg),Y(deg),Temperature, Time\r\n"


def stamp(t):
    return "%d-%d-%d %d:%d:%d'%d " % (t.year, t.month, t.day, t.hour, t.minute, t.second,
                                      t.microsecond // 1000)


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("out")
    ap.add_argument("--rows", type=int, default=700000, help="rows per sensor")
    ap.add_argument("--rate", type=float, default=5.0, help="rows per second")
    ap.add_argument("--start", default="2026-12-10 13:50:05.024")
    ap.add_argument("--bus", type=int, default=0, help="N sensors, one file set each")
    ap.add_argument("--file-mib", type=float, default=40.0, help="continue past this size")
    ap.add_argument("--gap", action="append", default=[], help="ROW:SECONDS, a pause before ROW")
    ap.add_argument("--decimals", type=int, default=2)
    ap.add_argument("--no-temperature", action="store_true")
    ap.add_argument("--prefix", default="Tiltscope")
    ap.add_argument("--seed", type=int, default=1)
    a = ap.parse_args()
    if a.rows < 0 or a.rate <= 0 or not 0 <= a.decimals <= 6:
        ap.error("rows >= 0, rate > 0, decimals 0..6")
    gaps = {}
    for g in a.gap:
        row, seconds = g.split(":")
        gaps[int(row)] = float(seconds)
    start = datetime.datetime.strptime(a.start, "%Y-%m-%d %H:%M:%S.%f")
    os.makedirs(a.out, exist_ok=True)
    limit = int(a.file_mib * 1024 * 1024)
    step_us = round(1e6 / a.rate)
    fmt = "%%.%df" % a.decimals
    addresses = list(range(1, a.bus + 1)) if a.bus > 0 else [None]
    rnd = random.Random(a.seed)
    for address in addresses:
        prefix = a.prefix if address is None else "%s_A%d" % (a.prefix, address)
        phase = 0.0 if address is None else address * 0.7
        offset_us = 0
        f = None
        size = 0
        for i in range(a.rows):
            offset_us += int(gaps.get(i, 0) * 1e6)
            t = start + datetime.timedelta(microseconds=offset_us + i * step_us)
            if f is None or size > limit:
                if f:
                    f.close()
                name = os.path.join(a.out, "%s_%s.csv" % (prefix, t.strftime("%Y%m%d%H%M%S")))
                f = open(name, "ab")
                print(name)
                size = 0
                if i == 0:
                    f.write(HEADER.encode())
                    size = len(HEADER)
            s = i / a.rate
            x = 5 * math.sin(s / 600 + phase) + rnd.gauss(0, 0.05)
            y = 3 * math.cos(s / 900 + phase) + rnd.gauss(0, 0.05)
            temp = "" if a.no_temperature else fmt % (20 + 5 * math.sin(s / 86400 * 2 * math.pi))
            line = ("%s,%s,%s,%s\r\n" % (fmt % x, fmt % y, temp, stamp(t))).encode()
            f.write(line)
            size += len(line)
        if f:
            f.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
