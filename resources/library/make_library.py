#!/usr/bin/env python3
"""Writes library_v1.json to library_v5.json and reference.json from their master sources.

functions.txt holds every utility-library call once, with the version that introduced it;
reference.txt holds the engine reference. Run from anywhere: python3 make_library.py
The outputs are committed, so a build never needs Python.
"""

import json
import pathlib
import re
import sys

HERE = pathlib.Path(__file__).resolve().parent
VERSIONS = {1: 64, 2: 68, 3: 83, 4: 88, 5: 91}  # version -> number of functions
GROUPS = ["System", "Math", "Memory", "Random", "Text", "Globals", "Fixed point", "Trigonometry",
          "Collision", "Formatting", "Compression", "Screen", "Sprites", "Sound", "Mode 7",
          "MSU-1", "Input", "Debug", "SA-1"]
HEADING = re.compile(r"^\[(calling|superfx|function) (\d+)(?: (\d+) (.+))?\]$")


def fail(message):
    sys.exit("make_library: " + message)


def read_blocks(path):
    """Splits a master file into (heading match, body lines); '#' lines are comments."""
    blocks = []
    for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
        if line.startswith("#"):
            continue
        if line.startswith("["):
            heading = HEADING.match(line)
            if not heading:
                fail(f"{path.name}:{number}: unknown heading {line!r}")
            blocks.append((heading, []))
        elif blocks:
            blocks[-1][1].append(line.strip())
        elif line.strip():
            fail(f"{path.name}:{number}: text before the first heading")
    return blocks


def joined(lines):
    return " ".join(line for line in lines if line)


def parse_function(heading, lines):
    entry = {"id": int(heading.group(2)), "since": int(heading.group(3)),
             "group": heading.group(4)}
    body = []
    for line in lines:
        key, _, value = line.partition(": ")
        if key in ("name", "in", "out") and value:
            entry[key] = value
        else:
            body.append(line)
    entry["desc"] = joined(body)
    for key in ("name", "in", "out", "desc"):
        if not entry.get(key):
            fail(f"function {entry['id']} has no {key}")
    return entry


def parse_functions():
    calling, superfx, functions = {}, {}, []
    for heading, lines in read_blocks(HERE / "functions.txt"):
        kind, since = heading.group(1), int(heading.group(2))
        if kind == "function":
            functions.append(parse_function(heading, lines))
        else:
            (calling if kind == "calling" else superfx)[since] = joined(lines)
    return calling, superfx, functions


def check_functions(functions):
    """Ids run 0, 1, 2, ... in file order, versions never go back, the counts and groups fit."""
    seen_groups = []
    for index, entry in enumerate(functions):
        if entry["id"] != index:
            fail(f"function {entry['id']} found where id {index} belongs")
        if index and entry["since"] < functions[index - 1]["since"]:
            fail(f"function {index} is older than the one before it")
        if entry["group"] not in seen_groups:
            seen_groups.append(entry["group"])
    if seen_groups != GROUPS:
        fail(f"groups appear as {seen_groups}")
    for version, count in VERSIONS.items():
        have = sum(1 for entry in functions if entry["since"] <= version)
        if have != count:
            fail(f"version {version} has {have} functions instead of {count}")


def text_for(version, by_version):
    """The text given for the newest version not above this one."""
    starts = [since for since in by_version if since <= version]
    return by_version[max(starts)] if starts else ""


def library_document(version, calling, superfx, functions):
    return {
        "lib_ver": version,
        "calling": text_for(version, calling),
        "superfx": text_for(version, superfx),
        "functions": [{"id": f["id"], "name": f["name"], "params": f["in"],
                       "returns": f["out"], "desc": f["desc"], "group": f["group"]}
                      for f in functions if f["since"] <= version],
    }


def parse_reference():
    """Sections of paragraphs and '- ' items; each becomes one line of the section text."""
    sections = []
    items = None
    for number, line in enumerate(
            (HERE / "reference.txt").read_text(encoding="utf-8").splitlines(), 1):
        if line.startswith("#"):
            continue
        if line.startswith("== "):
            items = []
            sections.append({"title": line[3:].strip(), "items": items})
        elif items is None:
            if line.strip():
                fail(f"reference.txt:{number}: text before the first section")
        elif not line.strip():
            items.append(None)  # ends the paragraph or item
        elif line.startswith("- ") or not items or items[-1] is None:
            items.append(line.strip())
        else:
            items[-1] += " " + line.strip()
    return [{"title": s["title"], "text": "\n".join(i for i in s["items"] if i)}
            for s in sections]


def write_json(name, document):
    text = json.dumps(document, ensure_ascii=False, indent=2) + "\n"
    (HERE / name).write_text(text, encoding="utf-8")


def main():
    calling, superfx, functions = parse_functions()
    check_functions(functions)
    for version in VERSIONS:
        write_json(f"library_v{version}.json",
                   library_document(version, calling, superfx, functions))
    sections = parse_reference()
    if len(sections) != 11:
        fail(f"reference.txt has {len(sections)} sections instead of 11")
    write_json("reference.json", {"title": "TEAM Bexulo engine reference", "sections": sections})


if __name__ == "__main__":
    main()
