#!/usr/bin/env python3
"""Draws the ratios of one run of bench/run as an SVG chart, with gnuplot.

    chart.py DATA.tsv CHART.svg

DATA.tsv is what bench/run writes: a header, then one row a line of name,
ratio, target, peak KiB (and both medians, unused here). Each row is a
horizontal bar of its ratio (our time over theirs: shorter is faster), blue
when it meets its target and red when it misses it (or our peak memory is
over the limit), with its target as a black tick across it. The bars are
grouped by job, and within a job by input, what it is compared with and
kit, so that a job's kits sit side by side. The scale ends a little past the
highest target; a bar longer than that is cut short, its value in it. Past seventy lines the groups
flow into a second column, and past that the columns grow. The same data
gives the same file: there is no date in it.
"""
import math
import re
import subprocess
import sys

MEMORY_LIMIT_KIB = 2560
MEETS = "#4477aa"
MISSES = "#cc3311"
KITS = ["", "plain", "sse", "avx2", "avx512", "neon"]
LINES_PER_COLUMN = 70
LINE_PX = 15
COLUMN_PX = 720
LABELS_PX = 300
TOP_PX = 70
BOTTOM_PX = 50

# "<job>[ with <kit>][ on <shape>][ | cat] vs <theirs>"
NAME = re.compile(r"^(?P<job>.+?)(?: with (?P<kit>[\w-]+))?(?: on (?P<shape>[\w-]+))?"
                  r"(?P<pipe> \| cat)? vs (?P<theirs>.+)$")


def read_rows(path):
    rows = []
    with open(path, encoding="utf-8") as data:
        for number, line in enumerate(data):
            fields = line.rstrip("\n").split("\t")
            if number == 0 or len(fields) < 4:
                continue
            name, ratio, target, peak = fields[:4]
            match = NAME.match(name)
            parts = match.groupdict() if match else {"job": name, "kit": None, "shape": None,
                                                      "pipe": None, "theirs": ""}
            rows.append({"name": name, "ratio": float(ratio), "target": float(target),
                         "peak": int(peak), "job": parts["job"], "kit": parts["kit"] or "",
                         "shape": parts["shape"] or "", "pipe": bool(parts["pipe"]),
                         "theirs": parts["theirs"]})
    return rows


def comparison(row):
    if row["pipe"]:
        return 2
    return 1 if row["theirs"].startswith("dd") else 0


def order(rows):
    """Groups of (job, rows): programs and jobs in the order they first ran,
    within a job by input, then the tool before the copy, then kit."""
    def first_seen(key):
        seen = {}
        for row in rows:
            seen.setdefault(key(row), len(seen))
        return seen
    programs = first_seen(lambda row: row["job"].split()[0])
    jobs = first_seen(lambda row: row["job"])
    shapes = first_seen(lambda row: row["shape"])
    kits = {kit: index for index, kit in enumerate(KITS)}
    groups = {}
    for index, row in enumerate(rows):
        groups.setdefault(row["job"], []).append((shapes[row["shape"]], comparison(row),
                                                  kits.get(row["kit"], len(KITS)), index, row))
    ordered = sorted(groups.items(), key=lambda item: (programs[item[0].split()[0]], jobs[item[0]]))
    return [(job, [entry[-1] for entry in sorted(entries, key=lambda e: e[:4])])
            for job, entries in ordered]


def columns(groups):
    """Lines of each column: ("heading", job) or ("row", row), a group split
    across columns having its heading again."""
    lines = sum(1 + len(rows) for _, rows in groups) + len(groups) - 1
    count = 1 if lines <= LINES_PER_COLUMN else 2
    height = math.ceil(lines / count)
    result = [[]]
    for job, rows in groups:
        if result[-1] and len(result[-1]) + 3 > height:
            result.append([])
        if result[-1]:
            result[-1].append(("gap", None))
        result[-1].append(("heading", job))
        for row in rows:
            if len(result[-1]) >= height + 1 and len(result) < count:
                result.append([("heading", job + " (continued)")])
            result[-1].append(("row", row))
    return result


def quoted(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def label(row):
    name = row["name"]
    return name[len(row["job"]):].strip() if name.startswith(row["job"]) else name


def script(groups):
    panels = columns(groups)
    height_lines = max(len(panel) for panel in panels)
    width = COLUMN_PX * len(panels)
    height = TOP_PX + BOTTOM_PX + LINE_PX * height_lines
    rows = [row for _, group in groups for row in group]
    # The scale ends a little past the highest target, so that the ratios
    # near their targets stay far enough apart to read: longer bars are cut
    # short there, with their value in them.
    targets = max(1.0, max(row["target"] for row in rows))
    top = max(targets, min(max(row["ratio"] for row in rows), targets * 1.2))
    step = next(step for step in (0.25, 0.5, 1, 2, 5, 10, 20) if top <= 12 * step)
    x_max = max(1.25, math.ceil(top * 1.15 / step) * step)
    lines = [
        f"set terminal svg size {width},{height} font 'sans-serif,11' background rgb 'white'",
        "set output",
        "set termoption noenhanced",
        "set multiplot",
        f"set label 1001 {quoted('Our time / theirs, median of each side (lower is faster)')}"
        f" at screen 10.0/{width}, screen 1 - 22.0/{height} left font 'sans-serif,14'",
        f"set label 1002 {quoted('meets its target')} at screen 40.0/{width},"
        f" screen 1 - 48.0/{height} left",
        f"set object 1001 rect from screen 10.0/{width}, screen 1 - 53.0/{height}"
        f" to screen 34.0/{width}, screen 1 - 43.0/{height} fs solid noborder fc rgb '{MEETS}'",
        f"set label 1003 {quoted('misses it (or peak memory over 2.5 MiB)')} at screen"
        f" 176.0/{width}, screen 1 - 48.0/{height} left",
        f"set object 1002 rect from screen 146.0/{width}, screen 1 - 53.0/{height}"
        f" to screen 170.0/{width}, screen 1 - 43.0/{height} fs solid noborder fc rgb '{MISSES}'",
        f"set arrow 1001 from screen 440.0/{width}, screen 1 - 54.0/{height}"
        f" to screen 440.0/{width}, screen 1 - 42.0/{height} nohead lw 2 lc rgb 'black'",
        f"set label 1004 {quoted('target')} at screen 448.0/{width}, screen 1 - 48.0/{height} left",
        f"set xrange [0:{x_max}]",
        f"set yrange [{height_lines - 0.5}:-0.5]",
        "unset ytics",
        f"set xtics {step} nomirror out font 'sans-serif,10'",
        "set format x '%.2f'",
        "set grid xtics lc rgb '#dddddd' lw 1",
        "set border 1 lc rgb '#888888'",
        "set xlabel 'ratio' offset 0,0.5",
        "unset key",
        "set style fill solid 1.0 noborder",
        "set arrow 1 from 1, graph 0 to 1, graph 1 nohead dt 2 lc rgb '#555555'",
    ]
    for number, panel in enumerate(panels):
        left = number * COLUMN_PX
        lines += [
            f"set lmargin at screen {left + LABELS_PX}.0/{width}",
            f"set rmargin at screen {left + COLUMN_PX - 20}.0/{width}",
            f"set tmargin at screen 1 - {TOP_PX}.0/{height}",
            f"set bmargin at screen {BOTTOM_PX}.0/{height}",
            "$bars << EOD",
        ]
        texts = []
        for y, (kind, item) in enumerate(panel):
            if kind == "heading":
                texts.append(f"set label {quoted(item)} at screen {left + 10}.0/{width}, first {y}"
                             " left font 'sans-serif:Bold,12'")
            elif kind == "row":
                row = item
                misses = row["ratio"] > row["target"] or row["peak"] >= MEMORY_LIMIT_KIB
                colour = int((MISSES if misses else MEETS)[1:], 16)
                lines.append(f"{y} {min(row['ratio'], x_max)} {row['target']} {colour}")
                texts.append(f"set label {quoted(label(row))} at screen {left + LABELS_PX - 6}.0/"
                             f"{width}, first {y} right")
                value = f"{row['ratio']:.2f}"
                if row["peak"] >= MEMORY_LIMIT_KIB:
                    value += f"  peak {row['peak'] / 1024:.1f} MiB"
                if row["ratio"] > x_max * 0.92:
                    value += " >" if row["ratio"] > x_max else ""
                    texts.append(f"set label {quoted(value)} at first {x_max * 0.99}, first {y}"
                                 " right font 'sans-serif,10' tc rgb 'white' front")
                else:
                    place = max(row["ratio"], row["target"]) + x_max / 100
                    ink = MISSES if misses else "#333333"
                    texts.append(f"set label {quoted(value)} at first {place}, first {y} left"
                                 f" font 'sans-serif,10' tc rgb '{ink}'")
        lines.append("EOD")
        lines += texts
        lines += [
            "plot $bars using (0):1:(0):2:($1 - 0.36):($1 + 0.36):4"
            " with boxxyerror lc rgb variable, \\",
            "     $bars using 3:($1 - 0.48):(0):(0.96) with vectors nohead lw 2 lc rgb 'black'",
            "unset label",
            "unset object",
            "unset arrow",
            "set arrow 1 from 1, graph 0 to 1, graph 1 nohead dt 2 lc rgb '#555555'",
        ]
    lines.append("unset multiplot")
    return "\n".join(lines) + "\n"


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: chart.py DATA.tsv CHART.svg")
    rows = read_rows(sys.argv[1])
    if not rows:
        sys.exit("chart.py: no rows in " + sys.argv[1])
    svg = subprocess.run(["gnuplot"], input=script(order(rows)), stdout=subprocess.PIPE, text=True,
                         check=True).stdout
    # The terminal takes a font's weight as part of its name.
    svg = svg.replace('font-family="sans-serif:Bold"',
                      'font-family="sans-serif" font-weight="bold"')
    with open(sys.argv[2], "w", encoding="utf-8") as chart:
        chart.write(svg)


if __name__ == "__main__":
    main()
