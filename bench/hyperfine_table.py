#!/usr/bin/env python3
"""Prints a hyperfine JSON export as a table: the median wall time and the CPU time
(user + system, hyperfine's mean over the runs) of each command, and both as a ratio to the reference command (the first one
unless --reference names another). Below 1 the command is faster than the reference."""
import argparse
import json
import statistics


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("export")
    parser.add_argument("--reference", type=int, default=0)
    args = parser.parse_args()
    results = json.load(open(args.export))["results"]
    rows = []
    for result in results:
        wall = statistics.median(result["times"]) * 1000
        cpu = (result["user"] + result["system"]) * 1000
        rows.append((result["command"], wall, cpu, len(result["times"])))
    _, ref_wall, ref_cpu, _ = rows[args.reference]
    print(f"{'command':44} {'wall ms':>9} {'cpu ms':>9} {'wall x':>7} {'cpu x':>7} runs")
    for name, wall, cpu, runs in rows:
        print(f"{name[:44]:44} {wall:9.2f} {cpu:9.2f} {wall / ref_wall:7.2f} "
              f"{cpu / ref_cpu:7.2f} {runs:4}")


if __name__ == "__main__":
    main()
