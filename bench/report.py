# SPDX-FileCopyrightText: the Installer utilities authors
# SPDX-License-Identifier: MIT
"""Turns the timing drivers' output and the size measurements into the report.

  report.py times RESULTS SUMMARY GOAL REFERENCE SUBJECT...
  report.py actions RESULTS SUMMARY GOAL REFERENCE FIXED SUBJECT...
  report.py sizes SIZES SUMMARY

RESULTS holds the lines a timing driver printed, one figure per column in each
"round" line, and a "redone" line for each round run again because Wine failed
a child's start inside it. With "times" the first column is the REFERENCE and
each further one a SUBJECT timed against it; the first SUBJECT is the one the
GOAL is about. With "actions" each SUBJECT column is followed by one of FIXED:
the same library's action that starts nothing, whose median is taken off the
subject's figures before they are compared ("net"). SIZES holds one line per
build: its name, then Tarbel.exe's and Quorvane.dll's sizes in bytes (or "-"
and why it did not build), tab-separated, the shipped build first, then the
baseline revision's if there is one. Each mode appends its headlines to the
file SUMMARY. No figure makes it fail.

How a ratio is estimated. Process starts under Wine fall into a fast and a
slow mode, on either side of a round independently, so a round's ratio
compares like with like only when both its runs fell in the same mode. The
timings of all compared columns are split in two where the groups' spread is
least, and the split is taken for one between modes if it accounts for most of
their variance (MODE_SEPARATION). The estimate is, per mode, the median ratio
over the rounds whose two runs both fell in it, the modes' logarithms weighted
by those rounds. Its spread comes from the same estimate on consecutive blocks
of rounds (batch means): the blocks' median and range, and a 90% interval for
the whole run from the blocks' standard deviation.
"""
import math
import statistics
import sys

BLOCKS = 10
# Student's t, 95th percentile, for BLOCKS - 1 degrees of freedom.
T_95 = 1.833
# The timings (in logarithms) are split in two where the groups' spread is
# least, each group holding at least MODE_SHARE of them; the split counts as one
# between modes only if it accounts for at least MODE_SEPARATION of their
# variance (a single bell-shaped mode gives about 0.64; the fast and slow starts,
# each tight and about three times apart, give over 0.9).
MODE_SEPARATION = 0.85
MODE_SHARE = 0.10
# A mode takes part in a block's estimate only with at least this many rounds.
MIN_ROUNDS_PER_MODE = 3


def read_rounds(results):
    rounds, warmups, commands, redone = [], [], [], 0
    for line in open(results):
        kind, _, rest = line.partition(" ")
        if kind == "redone":
            redone += 1
        elif kind == "round":
            rounds.append([float(v) for v in rest.split()])
        elif kind == "warmup":
            warmups.append([float(v) for v in rest.split()])
        elif kind == "command":
            commands.append(rest.rstrip())
    return rounds, warmups, commands, redone


def mode_threshold(values):
    """The timing that separates the fast mode from the slow one, or None."""
    logs = sorted(math.log(v) for v in values)
    count, total = len(logs), sum(logs)
    variance = statistics.pvariance(logs)
    least = max(1, math.ceil(MODE_SHARE * count))
    best, threshold, below = 0.0, None, 0.0
    for i in range(1, count):
        below += logs[i - 1]
        if least <= i <= count - least and logs[i] > logs[i - 1]:
            between = i * (count - i) / count ** 2 * (below / i - (total - below) / (count - i)) ** 2
            if between > best:
                best, threshold = between, math.exp((logs[i] + logs[i - 1]) / 2)
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
    if not used:
        return None
    return math.exp(sum(len(r) * statistics.median(r) for r in used) / sum(len(r) for r in used))


def spread(block_pairs, overall):
    """Per-block estimates and the 90% interval they give the whole run's estimate."""
    blocks = [e for e in map(estimate, block_pairs) if e is not None]
    if len(blocks) < 2 or overall is None:
        return blocks, None
    half = T_95 * statistics.stdev(math.log(e) for e in blocks) / math.sqrt(len(blocks))
    return blocks, (overall * math.exp(-half), overall * math.exp(half))


def verdict(interval, goal):
    if interval is None:
        return f"not settled (too few rounds for {BLOCKS} blocks of at least {MIN_ROUNDS_PER_MODE})"
    if interval[1] <= goal:
        return "met"
    if interval[0] > goal:
        return "not met"
    return "not settled (the goal lies inside the 90% interval)"


def split(rounds, count):
    """Consecutive blocks of rounds, as even as the number of rounds allows."""
    return [rounds[len(rounds) * i // count:len(rounds) * (i + 1) // count] for i in range(count)]


def times(results, summary, goal, reference_label, subject_labels, fixed_labels=()):
    goal = float(goal)
    rounds, warmups, commands, redone = read_rounds(results)
    for command in commands:
        print("  ran: " + command)
    labels = [reference_label]
    for s, label in enumerate(subject_labels):
        labels += [label, fixed_labels[s]] if fixed_labels else [label]
    step = 2 if fixed_labels else 1
    if any(len(r) != len(labels) for r in rounds) or len(rounds) < 2 * BLOCKS:
        sys.exit(f"report.py: {results} does not hold at least {2 * BLOCKS} rounds of {len(labels)} figures")

    def subject(r, s):
        return r[1 + s * step]

    def fixed_cost(chunk, s):
        """The median of subject s's action that starts nothing over chunk; 0 without one."""
        return statistics.median(r[2 + s * 2] for r in chunk) if fixed_labels else 0.0

    # Modes are those of process starts: a subject's figure counts less its fixed cost.
    threshold = mode_threshold([r[0] for r in rounds] + [
        v for s in range(len(subject_labels)) for v in (subject(r, s) - fixed_cost(rounds, s) for r in rounds)
        if v > 0])

    def slow(value):
        return threshold is not None and value > threshold

    def comparison(s, against, net):
        """chunk -> (subject, other, their modes) per round: subject s against the
        reference (against None) or against subject `against`, net of fixed costs or not."""
        def pairs(chunk):
            fs = fixed_cost(chunk, s)
            fo = 0.0 if against is None else fixed_cost(chunk, against)
            out = []
            for r in chunk:
                a = subject(r, s)
                b = r[0] if against is None else subject(r, against)
                # The modes are always judged on the figures less their fixed costs.
                a_net, b_net = a - fs, b - fo
                out.append((a_net if net else a, b_net if net else b, slow(a_net), slow(b_net)))
            return out
        return pairs

    print(f"  {len(rounds)} rounds of {len(labels)} runs each, the order turning by one each round; "
          f"{len(warmups)} warm-up rounds before them, not counted")
    if redone:
        print(f"  redone rounds: {redone} (a child's start failed inside Wine)")
    width = max(len(label) for label in labels) + 2
    print(f"  {'':{width}} {'median':>8} {'middle half':>17} {'min':>8} {'max':>8}  (ms)" +
          ("  slow share" if threshold else ""))
    for c, label in enumerate(labels):
        values = [r[c] for r in rounds]
        q = statistics.quantiles(values, n=4, method="inclusive")
        share = ""
        if threshold and (c == 0 or (c - 1) % step == 0):
            s = (c - 1) // step
            net = values if c == 0 else [v - fixed_cost(rounds, s) for v in values]
            share = f"{sum(map(slow, net)) / len(net):12.0%}"
        print(f"  {label:{width}} {statistics.median(values):8.1f} {q[0]:8.1f} to {q[2]:6.1f} "
              f"{min(values):8.1f} {max(values):8.1f}      {share}")
    if threshold:
        print(f"  modes: fast up to {threshold:.1f} ms, slow above; a round counts for a ratio only if both "
              "its runs fell in the same mode")
    else:
        print(f"  modes: one (no split of the timings into a fast and a slow group accounts for "
              f"{MODE_SEPARATION:.0%} of their variance): every round counts")
    if fixed_labels:
        print("  net: each library's launch less the median of its action that starts nothing, "
              "in the whole run or the block")

    rows = [(f"{label} / {reference_label}", s, None) for s, label in enumerate(subject_labels)]
    if len(subject_labels) > 1:
        rows.append((f"{subject_labels[0]} / {subject_labels[1]}", 0, 1))
    variants = (False, True) if fixed_labels else (True,)
    name_width = max(len(name) for name, _, _ in rows) + (5 if fixed_labels else 0) + 2
    print(f"  {'':{name_width}} {'estimate':>8}   {BLOCKS} blocks: median, min to max   90% interval")
    headlines = []
    for name, s, against in rows:
        for net in variants:
            pairs = comparison(s, against, net)
            overall = estimate(pairs(rounds))
            blocks, interval = spread([pairs(b) for b in split(rounds, BLOCKS)], overall)
            shown = name + (", net" if net and fixed_labels else "")
            line = f"  {shown:{name_width}} " + (f"{overall:8.3f}" if overall else f"{'-':>8}")
            if blocks:
                line += f"   {statistics.median(blocks):14.3f}, {min(blocks):.3f} to {max(blocks):.3f}"
            if interval:
                line += f"   {interval[0]:.3f} to {interval[1]:.3f}"
            print(line)
            if net and against is None:
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
    _, shipped_tarbel, shipped_quorvane = (rows[0][0], int(rows[0][1]), int(rows[0][2]))

    def cell(value, reference):
        delta = value - reference
        change = f"{delta:+d} ({delta / reference:+.1%})" if delta else "0"
        return f"{value:8d} {value / 1024:7.1f} {change:>17}"

    width = max(len(r[0]) for r in rows)
    print(f"  {'':{width}}   {'Tarbel.exe':^34}   {'Quorvane.dll':^34}")
    print(f"  {'':{width}}   {'bytes':>8} {'KiB':>7} {'vs shipped':>17}   {'bytes':>8} {'KiB':>7} {'vs shipped':>17}")
    for name, tarbel, quorvane, *note in rows:
        if note:
            print(f"  {name:{width}}   {note[0]}")
        else:
            print(f"  {name:{width}}   {cell(int(tarbel), shipped_tarbel)}   {cell(int(quorvane), shipped_quorvane)}")
    limit = 128 * 1024
    verdicts = []
    for file, size in (("Tarbel.exe", shipped_tarbel), ("Quorvane.dll", shipped_quorvane)):
        verdicts.append(f"{file} {size / 1024:.1f} KiB ({size} bytes)")
    state = "met" if max(shipped_tarbel, shipped_quorvane) <= limit else "not met"
    print(f"  goal: each shipped file <= 128 KiB (131072 bytes): {state}")
    with open(summary, "a") as out:
        out.write("dist/x86: " + "; ".join(verdicts) + f"; goal <= 128 KiB each: {state}\n")


if __name__ == "__main__":
    mode, rest = sys.argv[1], sys.argv[2:]
    if mode == "times":
        times(*rest[:4], rest[4:])
    elif mode == "actions":
        subjects = rest[5:]
        times(*rest[:4], subjects, [rest[4].replace("{}", label) for label in subjects])
    else:
        sizes(*rest)
