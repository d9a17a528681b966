# SPDX-FileCopyrightText: the Installer utilities authors
# SPDX-License-Identifier: MIT
"""Turns the timing driver's output and the size measurements into the report.

  report.py times RESULTS SUMMARY GOAL REFERENCE SUBJECT...
  report.py actions RESULTS SUMMARY GOAL REFERENCE FIXED SUBJECT...
  report.py sizes SIZES SUMMARY

RESULTS holds the lines time_rounds printed, one figure per column in each "round" line, and a
"redone" line for each round run again because Wine failed a child's start inside it. With "times"
the first column is the REFERENCE and each further one a SUBJECT timed against it; the first
SUBJECT is the one the GOAL is about. With "actions" each SUBJECT column is followed by one of
FIXED: the same library's action that starts nothing, whose median is taken off the subject's
figures before they are compared ("net"). SIZES holds one line per build: its name, then
Tarbel.exe's and Quorvane.dll's sizes in bytes (or "-" and why it did not build), tab-separated,
the shipped build first, then the baseline revision's if there is one. Each mode appends its
headlines to the file SUMMARY. No figure makes it fail.

How a ratio is estimated: docs/benchmarks.md, "Method". Process starts under Wine fall into a fast
and a slow mode, on either side of a round independently, so a round's ratio compares like with
like only when both its runs fell in the same mode; its spread comes from consecutive blocks of
rounds (batch means).
"""
import math
import statistics
import sys

BLOCKS = 10
# Student's t, 95th percentile, for BLOCKS - 1 degrees of freedom.
T_95 = 1.833
# The timings (in logarithms) are split in two where the groups' spread is least, each group holding at least
# MODE_SHARE of them; the split counts as one between modes only if it accounts for at least MODE_SEPARATION of
# their variance (one bell-shaped mode gives about 0.64; the fast and slow starts, each tight and about three
# times apart, over 0.9).
MODE_SEPARATION = 0.85
MODE_SHARE = 0.10
# A mode takes part in a block's estimate only with at least this many rounds.
MIN_ROUNDS_PER_MODE = 3


def read_results(results):
    """The lines of RESULTS by their first word, each without it."""
    lines = {"round": [], "warmup": [], "command": [], "redone": []}
    for line in open(results):
        kind, _, rest = line.partition(" ")
        lines.get(kind, []).append(rest.rstrip())
    return lines


def mode_threshold(values):
    """The timing that separates the fast mode from the slow one, or None."""
    logs = sorted(math.log(v) for v in values)
    count, total = len(logs), sum(logs)
    least = max(1, math.ceil(MODE_SHARE * count))
    best, threshold, below = 0.0, None, 0.0
    for i in range(1, count):
        below += logs[i - 1]
        if least <= i <= count - least and logs[i] > logs[i - 1]:
            between = i * (count - i) / count ** 2 * (below / i - (total - below) / (count - i)) ** 2
            if between > best:
                best, threshold = between, math.exp((logs[i] + logs[i - 1]) / 2)
    variance = statistics.pvariance(logs)
    return threshold if variance > 0 and best / variance >= MODE_SEPARATION else None


def estimate(pairs):
    """exp of the mode-weighted median log ratio over the pairs (subject, reference,
    subject's mode, reference's mode) whose two runs fell in the same mode; None if
    no mode has enough rounds."""
    by_mode = {}
    for subject, reference, subject_mode, reference_mode in pairs:
        if subject > 0 and reference > 0 and subject_mode == reference_mode:
            by_mode.setdefault(subject_mode, []).append(math.log(subject / reference))
    used = [ratios for ratios in by_mode.values() if len(ratios) >= MIN_ROUNDS_PER_MODE]
    return math.exp(sum(len(r) * statistics.median(r) for r in used) / sum(len(r) for r in used)) if used else None


def measure(pairs, rounds):
    """The estimate of pairs(rounds), those of BLOCKS consecutive blocks of rounds (as even as their
    number allows) and the 90% interval the blocks give the whole run's estimate."""
    overall = estimate(pairs(rounds))
    blocks = [estimate(pairs(rounds[len(rounds) * i // BLOCKS:len(rounds) * (i + 1) // BLOCKS])) for i in range(BLOCKS)]
    blocks = [e for e in blocks if e is not None]
    if len(blocks) < 2 or overall is None:
        return overall, blocks, None
    half = T_95 * statistics.stdev(math.log(e) for e in blocks) / math.sqrt(len(blocks))
    return overall, blocks, (overall * math.exp(-half), overall * math.exp(half))


def verdict(interval, goal):
    if interval is None:
        return f"not settled (too few rounds for {BLOCKS} blocks of at least {MIN_ROUNDS_PER_MODE})"
    if interval[0] <= goal < interval[1]:
        return "not settled (the goal lies inside the 90% interval)"
    return "met" if interval[1] <= goal else "not met"


def times(results, summary, goal, reference_label, subject_labels, fixed_labels=()):
    goal = float(goal)
    lines = read_results(results)
    rounds = [[float(v) for v in line.split()] for line in lines["round"]]
    for command in lines["command"]:
        print("  ran: " + command)
    # A side is a column and, for a subject with one, the column of its fixed cost.
    step = 2 if fixed_labels else 1
    sides = [(0, None)] + [(1 + s * step, 2 + s * step if fixed_labels else None)
                           for s in range(len(subject_labels))]
    labels = [reference_label] + ([label for pair in zip(subject_labels, fixed_labels) for label in pair]
                                  if fixed_labels else list(subject_labels))
    if any(len(r) != len(labels) for r in rounds) or len(rounds) < 2 * BLOCKS:
        sys.exit(f"report.py: {results} does not hold at least {2 * BLOCKS} rounds of {len(labels)} figures")

    def figures(chunk, side):
        """(figure, figure less the median fixed cost over chunk) per round of chunk."""
        column, fixed = side
        cost = statistics.median(r[fixed] for r in chunk) if fixed else 0.0
        return [(r[column], r[column] - cost) for r in chunk]

    # Modes are those of process starts: a subject's figure counts less its fixed cost.
    threshold = mode_threshold([r[0] for r in rounds] + [
        n for side in sides[1:] for _, n in figures(rounds, side) if n > 0])

    def slow(value):
        return threshold is not None and value > threshold

    def pairs(chunk, a, b, net):
        """(a's figure, b's, their modes) per round of chunk; the modes always judged net."""
        return [(x[1] if net else x[0], y[1] if net else y[0], slow(x[1]), slow(y[1]))
                for x, y in zip(figures(chunk, a), figures(chunk, b))]

    print(f"  {len(rounds)} rounds of {len(labels)} runs each, the order turning by one each round; "
          f"{len(lines['warmup'])} warm-up rounds before them, not counted")
    if lines["redone"]:
        print(f"  redone rounds: {len(lines['redone'])} (a child's start failed inside Wine)")
    width = max(len(label) for label in labels) + 2
    print(f"  {'':{width}} {'median':>8} {'middle half':>17} {'min':>8} {'max':>8}  (ms)" +
          ("  slow share" if threshold else ""))
    timed = {side[0]: side for side in sides}
    for c, label in enumerate(labels):
        values = [r[c] for r in rounds]
        q = statistics.quantiles(values, n=4, method="inclusive")
        share = f"{sum(slow(n) for _, n in figures(rounds, timed[c])) / len(values):12.0%}" \
            if threshold and c in timed else ""
        print(f"  {label:{width}} {statistics.median(values):8.1f} {q[0]:8.1f} to {q[2]:6.1f} "
              f"{min(values):8.1f} {max(values):8.1f}      {share}")
    print(f"  modes: fast up to {threshold:.1f} ms, slow above; a round counts for a ratio only if both "
          "its runs fell in the same mode" if threshold else
          f"  modes: one (no split of the timings into a fast and a slow group accounts for "
          f"{MODE_SEPARATION:.0%} of their variance): every round counts")
    if fixed_labels:
        print("  net: each library's launch less the median of its action that starts nothing, "
              "in the whole run or the block")

    rows = [(f"{label} / {reference_label}", sides[1 + s], sides[0]) for s, label in enumerate(subject_labels)]
    if len(subject_labels) > 1:
        rows.append((f"{subject_labels[0]} / {subject_labels[1]}", sides[1], sides[2]))
    name_width = max(len(name) for name, _, _ in rows) + (5 if fixed_labels else 0) + 2
    print(f"  {'':{name_width}} {'estimate':>8}   {BLOCKS} blocks: median, min to max   90% interval")
    headlines = []
    for name, a, b in rows:
        # Without fixed costs the net figures are the figures themselves.
        for net in (False, True) if fixed_labels else (True,):
            overall, blocks, interval = measure(lambda chunk: pairs(chunk, a, b, net), rounds)
            shown = name + (", net" if net and fixed_labels else "")
            line = f"  {shown:{name_width}} " + (f"{overall:8.3f}" if overall else f"{'-':>8}")
            if blocks:
                line += f"   {statistics.median(blocks):14.3f}, {min(blocks):.3f} to {max(blocks):.3f}"
            if interval:
                line += f"   {interval[0]:.3f} to {interval[1]:.3f}"
            print(line)
            if net and b is sides[0]:
                headlines.append((shown, overall, blocks, interval))

    with open(summary, "a") as out:
        for i, (name, overall, blocks, interval) in enumerate(headlines):
            text = f"{name}: " + (f"{overall:.3f}" if overall else "no estimate")
            if interval:
                text += (f" (blocks {min(blocks):.3f} to {max(blocks):.3f}; "
                         f"90% interval {interval[0]:.3f} to {interval[1]:.3f})")
            text += f"; goal <= {goal:.2f}: {verdict(interval, goal)}"
            print("  " + ("goal: " if i == 0 else "same goal: ") + text)
            out.write(text + "\n")


def sizes(table, summary):
    rows = [line.rstrip("\n").split("\t") for line in open(table) if line.strip()]
    shipped = int(rows[0][1]), int(rows[0][2])

    def cell(value, reference):
        delta = value - reference
        change = f"{delta:+d} ({delta / reference:+.1%})" if delta else "0"
        return f"{value:8d} {value / 1024:7.1f} {change:>17}"

    width = max(len(r[0]) for r in rows)
    print(f"  {'':{width}}   {'Tarbel.exe':^34}   {'Quorvane.dll':^34}")
    print(f"  {'':{width}}   {'bytes':>8} {'KiB':>7} {'vs shipped':>17}   {'bytes':>8} {'KiB':>7} {'vs shipped':>17}")
    for name, tarbel, quorvane, *note in rows:
        print(f"  {name:{width}}   " + (note[0] if note else
                                         f"{cell(int(tarbel), shipped[0])}   {cell(int(quorvane), shipped[1])}"))
    state = "met" if max(shipped) <= 128 * 1024 else "not met"
    print(f"  goal: each shipped file <= 128 KiB (131072 bytes): {state}")
    files = "; ".join(f"{file} {size / 1024:.1f} KiB ({size} bytes)"
                      for file, size in zip(("Tarbel.exe", "Quorvane.dll"), shipped))
    with open(summary, "a") as out:
        out.write(f"dist/x86: {files}; goal <= 128 KiB each: {state}\n")


if __name__ == "__main__":
    mode, rest = sys.argv[1], sys.argv[2:]
    if mode == "times":
        times(*rest[:4], rest[4:])
    elif mode == "actions":
        times(*rest[:4], rest[5:], [rest[4].replace("{}", label) for label in rest[5:]])
    else:
        sizes(*rest)
