#!/usr/bin/env python3
"""Prints the README's tables of measured ratios from the data of bench/run.

    readme_table.py RUN1.tsv [RUN2.tsv ...]

Each file is the data file one run of bench/run writes beside its chart
(BENCH_CHART=run1.svg writes run1.tsv). The rows without a kit make the
table of jobs, one line a row as the README has it, with the ratio of every
run, the target and the highest peak memory; the kits' rows make a second
table, a line for each job, input and comparison, a column for each kit.
A row missing from a run shows a dash there.
"""
import sys

sys.dont_write_bytecode = True  # no cache of the chart's parser left in the tree
from chart import NAME  # noqa: E402

THEIRS = {
    "grep -v blank": "`LC_ALL=C grep -v '^[[:space:]]*$'`",
    "shuf -r": "`shuf -r -n 10000000 -i 0-2147483646`",
    "shuf": "`shuf -r -n 10000000 -i 0-99`",
    "dd": "`dd bs=128K`",
    "dd of its output": "`dd bs=128K` of a file the size of the output",
    "cat | cat": "`cat < in | cat > out`",
}
NUMBERS = {1: "one run", 2: "two runs", 3: "three runs"}


def read_run(path):
    rows = {}
    with open(path, encoding="utf-8") as data:
        for number, line in enumerate(data):
            fields = line.rstrip("\n").split("\t")
            if number > 0 and len(fields) >= 4:
                rows[fields[0]] = (fields[1], fields[2], int(fields[3]))
    return rows


def cell(text):
    return text.replace("|", "\\|")


def parts(name):
    match = NAME.match(name)
    if not match:
        return {"job": name, "kit": "", "shape": "", "pipe": False, "theirs": ""}
    found = match.groupdict()
    return {"job": found["job"], "kit": found["kit"] or "", "shape": found["shape"] or "",
            "pipe": bool(found["pipe"]), "theirs": found["theirs"]}


def job_cell(row):
    job, shape = row["job"], row["shape"]
    if row["pipe"]:
        return f"`{job} < {shape or 'in'} | cat > out`"
    if shape:
        return (job if " " not in job else f"`{job}`") + f" on `{shape}`"
    return f"`{job} > out`" if job.startswith("tazmir") else f"`{job} in out`"


def theirs_cell(theirs):
    return THEIRS.get(theirs, f"`{theirs}`")


def ratios(runs, name):
    found = [run.get(name) for run in runs]
    target = next(row[1] for row in found if row)
    text = ", ".join(row[0] if row else "-" for row in found)
    return f"{text} (at most {target})", max(row[2] for row in found if row)


def mib(kib):
    return f"{kib / 1024:.1f} MiB"


def main():
    if len(sys.argv) < 2:
        sys.exit("usage: readme_table.py RUN1.tsv [RUN2.tsv ...]")
    runs = [read_run(path) for path in sys.argv[1:]]
    names = []
    for run in runs:
        names += [name for name in run if name not in names]
    count = NUMBERS.get(len(runs), f"{len(runs)} runs")

    print(f"| job | compared with | ratio, {count} (target) | peak memory |")
    print("|---|---|---|---|")
    for name in names:
        row = parts(name)
        if row["kit"]:
            continue
        text, peak = ratios(runs, name)
        print(f"| {cell(job_cell(row))} | {cell(theirs_cell(row['theirs']))} | {text} |"
              f" {mib(peak)} |")

    kits = []
    lines = {}
    for name in names:
        row = parts(name)
        if not row["kit"]:
            continue
        if row["kit"] not in kits:
            kits.append(row["kit"])
        key = (row["job"], row["shape"], row["theirs"])
        lines.setdefault(key, {})[row["kit"]] = name
    if not lines:
        return
    print()
    print(f"| job | input | compared with | {' | '.join(kits)} |")
    print("|---|---|---|" + "---|" * len(kits))
    highest = 0
    for (job, shape, theirs), by_kit in lines.items():
        cells = []
        for kit in kits:
            if kit in by_kit:
                text, peak = ratios(runs, by_kit[kit])
                highest = max(highest, peak)
                cells.append(text)
            else:
                cells.append("-")
        job_text = job if " " not in job else f"`{job}`"
        input_text = f"`{shape}`" if shape else "bench text"
        print(f"| {cell(job_text)} | {input_text} | {cell(theirs_cell(theirs))} | "
              + " | ".join(cells) + " |")
    print()
    print(f"Peak memory with any kit: {mib(highest)} at most.")


if __name__ == "__main__":
    main()
