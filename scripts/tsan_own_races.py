#!/usr/bin/env python3
"""Reads a ThreadSanitizer log; fails when a race report has one of its racing accesses made
by our own code (the first frame outside the sanitizer runtime lies in the source tree).
Reports whose accesses both lie inside uninstrumented libraries (Qt) are counted only."""
import os
import re
import sys

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__))) + "/"
# Sources are named absolutely or, when ccache rewrote them, relative to the build folder.
ours = re.compile(re.escape(root) + r"|\s(\.\./)*(src|tests)/")
text = open(sys.argv[1], errors="replace").read()
reports = [r for r in text.split("==================") if "WARNING: ThreadSanitizer" in r]
own = []
for report in reports:
    blocks = re.split(r"\n  (?=(?:Previous )?(?:[Ww]rite|[Rr]ead|[Aa]tomic)|Location|Thread|Mutex)",
                      report)
    for block in blocks:
        if not re.match(r"(Previous )?([Ww]rite|[Rr]ead|[Aa]tomic)", block):
            continue
        frames = [f for _, f in re.findall(r"#(\d+) (.*)", block) if "libtsan" not in f]
        if frames and ours.search(frames[0]):
            own.append(report)
            break
print(f"tsan: {len(reports)} reports, {len(own)} with a racing access in our code")
for report in own[:5]:
    print(report)
sys.exit(1 if own else 0)
