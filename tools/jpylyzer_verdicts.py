#!/usr/bin/env python3
"""Refreshes the peer's columns of tests/corpus/expected_verdicts.tsv from jpylyzer.

    tools/jpylyzer_verdicts.py [CORPUS] [TABLE]

CORPUS defaults to ../shared/corpus, TABLE to tests/corpus/expected_verdicts.tsv. Every file
that CORPUS/INDEX.tsv lists is run through jpylyzer (Debian's python3-jpylyzer, JP2 mode);
its verdict and the paths of its failed tests (box/test, as its XML nests them) replace the
`jpylyzer` and `jpylyzer_failed` columns. Our columns (verdict, failed, reason) are kept as
reviewed; a file new to the table gets "?" there, to be reviewed by hand. The tests never
run this: the table is what they read.
"""

import os
import subprocess
import sys
import xml.etree.ElementTree as ET

HEADER = ["file", "brand", "jpylyzer", "jpylyzer_failed", "verdict", "failed", "reason"]
BATCH = 40  # files per jpylyzer run: one Python start is most of its time on small files


def local(tag):
    return tag.rsplit("}", 1)[-1]


def failed_tests(tests):
    """The paths of the leaves under <tests> whose text is False, sorted, each once."""
    found = set()

    def walk(element, path):
        for child in element:
            name = path + [local(child.tag)]
            if len(child) == 0:
                if (child.text or "").strip() == "False":
                    found.add("/".join(name))
            else:
                walk(child, name)

    if tests is not None:
        walk(tests, [])
    return sorted(found)


def run_jpylyzer(corpus, files):
    """{relative path: (verdict, failed paths)} for `files`, relative to `corpus`."""
    results = {}
    for start in range(0, len(files), BATCH):
        batch = files[start:start + BATCH]
        out = subprocess.run(["jpylyzer", "--nopretty"] + batch, cwd=corpus,
                             capture_output=True, check=False).stdout
        root = ET.fromstring(out)
        for element in root:
            if local(element.tag) != "file":
                continue
            children = {local(child.tag): child for child in element}
            path = None
            for info in children["fileInfo"]:
                if local(info.tag) == "filePath":
                    path = os.path.relpath(info.text, corpus)
            status = {local(c.tag): c.text for c in children["statusInfo"]}
            if status.get("success") != "True":
                verdict = "crash"
            else:
                valid = children["isValid"].text == "True"
                verdict = "valid" if valid else "invalid"
            results[path] = (verdict, failed_tests(children.get("tests")))
    return results


def read_index(corpus):
    rows = []
    with open(os.path.join(corpus, "INDEX.tsv"), encoding="utf-8") as index:
        header = index.readline().rstrip("\n").split("\t")
        for line in index:
            fields = dict(zip(header, line.rstrip("\n").split("\t")))
            rows.append((fields["file"], fields["brand"]))
    return rows


def read_table(path):
    comments, rows = [], {}
    if not os.path.exists(path):
        return comments, rows
    with open(path, encoding="utf-8") as table:
        for line in table:
            line = line.rstrip("\n")
            if line.startswith("#"):
                comments.append(line)
                continue
            fields = line.split("\t")
            if fields == HEADER or len(fields) != len(HEADER):
                continue
            rows[fields[0]] = dict(zip(HEADER, fields))
    return comments, rows


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    corpus = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "..", "shared",
                                                                 "corpus")
    table = sys.argv[2] if len(sys.argv) > 2 else os.path.join(here, "..", "tests", "corpus",
                                                               "expected_verdicts.tsv")
    corpus = os.path.abspath(corpus)
    index = read_index(corpus)
    results = run_jpylyzer(corpus, [path for path, _ in index])
    comments, old = read_table(table)
    lines = comments + ["\t".join(HEADER)]
    for path, brand in index:
        verdict, failed = results.get(path, ("crash", []))
        row = old.get(path, {"verdict": "?", "failed": "?", "reason": "?"})
        lines.append("\t".join([path, brand, verdict, ",".join(failed) or "-",
                                row["verdict"], row["failed"], row["reason"]]))
    for path in sorted(set(old) - {path for path, _ in index}):
        print(f"dropped {path}: no longer in INDEX.tsv", file=sys.stderr)
    with open(table, "w", encoding="utf-8") as out:
        out.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
