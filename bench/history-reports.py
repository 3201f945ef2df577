#!/usr/bin/env python3
"""Writes REPORTS reports of LOGS logs each, as the program writes them, for one module into FOLDER: every
log a distinct event over three years, peaks from 0.01 to 15,000, one in twenty an overload.

Usage: history-reports.py FOLDER REPORTS LOGS
"""
import datetime
import random
import sys

folder, reports, logs = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
random.seed(24)
header = "Log Number,Start Date,Start Time,Peak Date,Peak Time,End Date,End Time,Peak,Overload\r\n"
span = 3 * 365 * 86400 // (reports * logs)  # seconds between events
t = 0
start = datetime.datetime(2022, 1, 1)
for r in range(reports):
    lines = [header]
    for n in range(1, logs + 1):
        t += span
        m = start + datetime.timedelta(seconds=t)
        moment = f"{m.day}/{m.month}/{m.year},{m.hour}:{m.minute}:{m.second}"
        value = 10 ** random.uniform(-2, 4.2)
        overload = random.random() < 0.05
        lines.append(f"{n},{moment},{moment},{moment},{value:.7G},{'OVERLOAD' if overload else 'SAFE'}\r\n")
    lines.append("\r\n")
    with open(f"{folder}/Log{r:04d}.CSV", "w", newline="") as out:
        out.write("".join(lines))
