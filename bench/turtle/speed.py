"""Times rendering turtle scripts to PNG: `python3 -m pixpen.turtle` against
Python's own turtle module under xvfb-run with tracer(0), followed by a
PostScript-to-PNG conversion with ghostscript. Prints the medians of the
wall-clock time and of the CPU time of all the processes each way takes
(the X server's included), their ratios, and how close the two pictures
are, for each script. On a shared machine the CPU times are the steadier.

    python3 speed.py [--runs N] script.py...

Beside the examples, long_walk.py and many_fills.py here are long scripts,
where the cost per turtle call outweighs the start.

Needs xvfb-run, ghostscript, Tk for Python (python3-tk), numpy and Pillow,
and pixpen importable (PYTHONPATH, PIXPEN_LIBRARY).
"""

import argparse
import os
import resource
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from compare_pictures import compare  # noqa: E402


def cpu_of_children():
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


# As installed packages are: compiled to bytecode once, not at every start.
ENVIRONMENT = {k: v for k, v in os.environ.items() if k != "PYTHONDONTWRITEBYTECODE"}


def timed(commands, outputs=()):
    """(wall seconds, CPU seconds of every process started, X server included).
    The `outputs` are removed first, untimed: replacing a file makes ext4
    flush it on close, some 4 ms that belong to neither way of drawing."""
    for path in outputs:
        if os.path.exists(path):
            os.remove(path)
    start, cpu = time.perf_counter(), cpu_of_children()
    for command in commands:
        subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       env=ENVIRONMENT)
    return time.perf_counter() - start, cpu_of_children() - cpu


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
        print("%-16s %17s %17s %15s  %s" % ("script", "pixpen wall/CPU s", "standard wall/CPU",
                                             "ratio wall/CPU", "pictures"))
        for script in options.scripts:
            timed(pixpen_commands(script, ours_png))  # writes the bytecode
            ours, theirs = [], []
            for _ in range(options.runs):  # interleaved, so load changes hit both alike
                ours.append(timed(pixpen_commands(script, ours_png), [ours_png]))
                theirs.append(timed(standard_commands(script, ps, theirs_png), [ps, theirs_png]))
            a = [statistics.median(t[i] for t in ours) for i in (0, 1)]
            b = [statistics.median(t[i] for t in theirs) for i in (0, 1)]
            equal, near = compare(ours_png, theirs_png)
            print("%-16s %8.3f/%-8.3f %8.3f/%-8.3f %6.1fx/%-6.1fx  equal %.1f%%, within 1 px %.1f%%"
                  % (os.path.basename(script), a[0], a[1], b[0], b[1], b[0] / a[0], b[1] / a[1],
                     100 * equal, 100 * near))

if __name__ == "__main__":
    main()
