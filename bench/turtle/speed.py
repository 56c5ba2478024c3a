"""Times rendering turtle scripts to PNG: `python3 -m pixpen.turtle` against
Python's own turtle module under xvfb-run with tracer(0), followed by a
PostScript-to-PNG conversion with ghostscript. Prints the medians, their
ratio and how close the two pictures are, for each script.

    python3 speed.py [--runs N] script.py...

Needs xvfb-run, ghostscript, Tk for Python (python3-tk), numpy and Pillow,
and pixpen importable (PYTHONPATH, PIXPEN_LIBRARY).
"""

import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from compare_pictures import compare  # noqa: E402


def timed(commands):
    start = time.perf_counter()
    for command in commands:
        subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return time.perf_counter() - start


def pixpen_commands(script, png):
    return [[sys.executable, "-m", "pixpen.turtle", script, "-o", png]]


def standard_commands(script, ps, png):
    return [["xvfb-run", "-a", "-s", "-screen 0 1280x1024x24", sys.executable,
             os.path.join(HERE, "standard_to_ps.py"), script, ps],
            ["gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=png16m", "-r72",
             "-dEPSCrop", "-sOutputFile=" + png, ps]]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("scripts", nargs="+")
    options = parser.parse_args()
    with tempfile.TemporaryDirectory() as folder:
        ours_png = os.path.join(folder, "pixpen.png")
        ps, theirs_png = os.path.join(folder, "standard.ps"), os.path.join(folder, "standard.png")
        print("%-18s %12s %12s %7s  %s" % ("script", "pixpen s", "standard s", "ratio",
                                            "pictures"))
        for script in options.scripts:
            ours, theirs = [], []
            for _ in range(options.runs):  # interleaved, so load changes hit both alike
                ours.append(timed(pixpen_commands(script, ours_png)))
                theirs.append(timed(standard_commands(script, ps, theirs_png)))
            a, b = statistics.median(ours), statistics.median(theirs)
            equal, near = compare(ours_png, theirs_png)
            print("%-18s %12.3f %12.3f %6.1fx  equal %.1f%%, within 1 px %.1f%%"
                  % (os.path.basename(script), a, b, b / a, 100 * equal, 100 * near))


if __name__ == "__main__":
    main()
