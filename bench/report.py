# SPDX-FileCopyrightText: the Installer utilities authors
# SPDX-License-Identifier: MIT
"""Turns the timing drivers' output and the size measurements into the report.

  report.py times RESULTS GOAL SUMMARY LABEL_A LABEL_B [LABEL_EXTRA]
  report.py sizes SIZES SUMMARY

RESULTS holds the lines a timing driver printed; SIZES one line per build:
its name, then Tarbel.exe's and Quorvane.dll's sizes in bytes (or "-" and why
it did not build), tab-separated, the shipped build first. Each mode appends
its headline to the file SUMMARY. Figures only: nothing here passes or fails.
"""
import statistics
import sys


def quartiles(values):
    q = statistics.quantiles(values, n=4, method="inclusive")
    return q[0], q[2]


def median_interval(values):
    """About 95% confidence bounds of the median, from order statistics alone:
    no assumption about how Wine's timings are distributed."""
    ordered = sorted(values)
    k = max(0, int(len(ordered) / 2 - 0.98 * len(ordered) ** 0.5))
    return ordered[k], ordered[len(ordered) - 1 - k]


def times(results, goal, summary, label_a, label_b, label_extra=None):
    pairs, warmups, extras = [], [], []
    for line in open(results):
        kind, *rest = line.split(maxsplit=1 if line.startswith("command") else 2)
        if kind == "pair":
            pairs.append((float(rest[0]), float(rest[1])))
        elif kind == "warmup":
            warmups.append((float(rest[0]), float(rest[1])))
        elif kind == "extra":
            extras.append(float(rest[0]))
        elif kind == "command":
            print("  ran: " + rest[0].rstrip())
    a = [p[0] for p in pairs]
    b = [p[1] for p in pairs]
    # Each pair's ratio: the two runs were neighbours in time, so slow drifts of
    # the machine's load cancel out of it.
    ratios = [x / y for x, y in pairs]
    ratio = statistics.median(ratios)
    low, high = median_interval(ratios)
    quarter, three_quarters = quartiles(ratios)

    if warmups:
        print(f"  {len(pairs)} pairs, alternated A, B, A, B, ...; {len(warmups)} warm-up pairs before them, "
              f"not counted (first: A {warmups[0][0]:.1f} ms, B {warmups[0][1]:.1f} ms)")
    width = max(len(label_a), len(label_b), len(label_extra or "")) + 4
    print(f"  {'':{width}} {'median':>9} {'min':>9} {'max':>9}   (ms)")
    rows = [("A  " + label_a, a), ("B  " + label_b, b)]
    if label_extra and extras:
        rows.append(("   " + label_extra, extras))
    for name, values in rows:
        print(f"  {name:{width}} {statistics.median(values):9.2f} {min(values):9.2f} {max(values):9.2f}")
    print(f"  A/B per pair: median {ratio:.3f} (95% interval {low:.3f} to {high:.3f}); "
          f"middle half {quarter:.3f} to {three_quarters:.3f}; min {min(ratios):.3f}, max {max(ratios):.3f}")
    print(f"  A/B ratio of the medians: {statistics.median(a) / statistics.median(b):.3f}")
    if high <= goal:
        verdict = "within the goal"
    elif low > goal:
        verdict = "over the goal"
    else:
        verdict = "not settled, the goal lies inside the 95% interval"
    print(f"  goal: median A/B per pair <= {goal:.2f}; measured {ratio:.3f}, {verdict}")
    headline = (f"{label_a} / {label_b}: median per pair {ratio:.3f} (95% interval {low:.3f} to {high:.3f}); "
                f"goal <= {goal:.2f}: {verdict}")
    if label_extra and extras:
        # An estimate from medians of separate samples: what A costs beyond the call itself.
        rest = statistics.median(a) - statistics.median(extras)
        print(f"  A less the {label_extra} (medians): {rest:.2f} ms against B's "
              f"{statistics.median(b):.2f} ms, ratio {rest / statistics.median(b):.3f}")
        headline += f"; A less the {label_extra}: {rest / statistics.median(b):.3f}"
    with open(summary, "a") as out:
        out.write(headline + "\n")


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
        verdict = "within the goal" if size <= limit else "over the goal"
        verdicts.append(f"{file} {size / 1024:.1f} KiB ({size} bytes), {verdict}")
    print("  goal: each shipped file <= 128 KiB (131072 bytes); " + "; ".join(verdicts))
    with open(summary, "a") as out:
        out.write("dist/x86: " + "; ".join(verdicts) + "; goal <= 128 KiB each\n")


if __name__ == "__main__":
    if sys.argv[1] == "times":
        times(sys.argv[2], float(sys.argv[3]), *sys.argv[4:])
    else:
        sizes(*sys.argv[2:])
