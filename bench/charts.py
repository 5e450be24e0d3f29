#!/usr/bin/python3
"""Draws the benchmark's figures as SVG charts.

    bench/charts.py SUMMARY.json [--out DIR]

SUMMARY.json is what run.sh leaves beside its table (results.json, or results-quick.json for
a quick run). Two charts go to DIR (default: the summary's directory):

    throughput.svg  MB/s of input on the big file for each direction: ours, iconv, nkf, cp
                    and the I/O floor
    sizes.svg       time against input size, both on log scales, for ours and the peers

Needs Debian's python3-matplotlib.
"""

import argparse
import json
import os
import sys

import matplotlib

matplotlib.use("svg")
import matplotlib.pyplot as plt  # noqa: E402  (after the back end is chosen)

# Text stays text in the SVG, and no date is written: the same figures give the same file.
plt.rcParams["svg.fonttype"] = "none"
plt.rcParams["svg.hashsalt"] = "kelvo"

# The commands of the charts, in their order: the name in the summary's throughput, the key
# of the sweep, the label and the colour.
COMMANDS = [
    ("ours", "ours", None, "#1f77b4"),
    ("iconv", "iconv", "iconv", "#d62728"),
    ("nkf -Lw", "nkf", "nkf -Lw", "#ff7f0e"),
    ("cp", "cp", "cp", "#7f7f7f"),
    ("I/O floor", "io", "I/O floor", "#2ca02c"),
]
SUFFIXES = {"": 1, "k": 10**3, "m": 10**6, "g": 10**9}


def size_bytes(text):
    text = text.strip().lower()
    suffix = text[-1] if text[-1] in SUFFIXES else ""
    return int(text[:len(text) - len(suffix)]) * SUFFIXES[suffix]


def title(d):
    return "%s → %s (%s)" % (d["from"], d["to"], d["ours"])


def throughput_chart(summary, path):
    directions = summary["directions"]
    fig, ax = plt.subplots(figsize=(8, 4.5))
    width = 0.8 / len(COMMANDS)
    for i, (name, _, label, colour) in enumerate(COMMANDS):
        values = []
        for d in directions:
            key = d["ours"] if name == "ours" else name
            values.append(d["throughput"].get(key, 0))
        xs = [n + (i - (len(COMMANDS) - 1) / 2) * width for n in range(len(directions))]
        bars = ax.bar(xs, values, width, label=label or "ours", color=colour)
        ax.bar_label(bars, fmt="%.0f", fontsize=7, padding=2)
    ax.set_xticks(range(len(directions)), [title(d) for d in directions], fontsize=8)
    ax.set_ylabel("MB of input per second (higher is faster)")
    ax.set_title("Throughput on the big file")
    ax.legend(fontsize=8)
    fig.tight_layout()
    fig.savefig(path, metadata={"Date": None})
    plt.close(fig)


def sizes_chart(summary, path):
    directions = summary["directions"]
    fig, axes = plt.subplots(1, len(directions), figsize=(4 * len(directions), 4),
                             sharey=True, squeeze=False)
    for ax, d in zip(axes[0], directions):
        for _, key, label, colour in COMMANDS:
            points = sorted((size_bytes(s), t) for s, t in d["sweep"].get(key, {}).items() if t)
            if points:
                ax.plot([p[0] for p in points], [p[1] for p in points], marker="o",
                        markersize=3, label=label or d["ours"], color=colour)
        ax.set_xscale("log")
        ax.set_yscale("log")
        ax.set_title(title(d), fontsize=9)
        ax.set_xlabel("input bytes")
        ax.grid(True, which="major", linewidth=0.3)
        ax.legend(fontsize=7)
    axes[0][0].set_ylabel("seconds (median)")
    fig.tight_layout()
    fig.savefig(path, metadata={"Date": None})
    plt.close(fig)


def main(argv=None):
    ap = argparse.ArgumentParser(description="the benchmark's SVG charts")
    ap.add_argument("summary")
    ap.add_argument("--out", help="directory of the charts (default: the summary's)")
    args = ap.parse_args(argv)
    with open(args.summary, encoding="utf-8") as f:
        summary = json.load(f)
    out = args.out or os.path.dirname(os.path.abspath(args.summary))
    os.makedirs(out, exist_ok=True)
    throughput_chart(summary, os.path.join(out, "throughput.svg"))
    if any(d["sweep"] for d in summary["directions"]):
        sizes_chart(summary, os.path.join(out, "sizes.svg"))
    return 0


if __name__ == "__main__":
    sys.exit(main())
