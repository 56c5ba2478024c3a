"""Compares two traces written by trace.py: the calls must match one for one;
prints the largest position and heading differences.

    python3 compare_traces.py standard.jsonl pixpen.jsonl
"""

import json
import sys


def load(path):
    with open(path) as lines:
        steps = [json.loads(line) for line in lines if line.startswith("[")]
    # A turtle's construction is not a call the script made.
    return [step for step in steps if step[0] != "reset"]


def main(reference_path, candidate_path):
    reference, candidate = load(reference_path), load(candidate_path)
    if [s[0] for s in reference] != [s[0] for s in candidate]:
        print("calls differ: %d against %d" % (len(reference), len(candidate)))
        return 1
    position = max((abs(a[1] - b[1]) + abs(a[2] - b[2]) for a, b in zip(reference, candidate)),
                   default=0.0)
    heading = max((min(abs(a[3] - b[3]), 360 - abs(a[3] - b[3]))
                   for a, b in zip(reference, candidate)), default=0.0)
    print("%d calls; largest position difference %.3g, heading difference %.3g degrees"
          % (len(reference), position, heading))
    return 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
