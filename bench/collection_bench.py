#!/usr/bin/env python3
"""Times boxquill-cli over a collection and its validator beside jpylyzer, in one run.

  collection_bench.py BOXQUILL_CLI [WORK_FOLDER]

On the folder of 1,000 small JP2 files of several kinds that peers_bench.py makes (made here
when missing): the system calls per file of `list --json` (counted by `strace -c -f`; skipped,
saying so, without strace), `list --json` and `info --json` in files per second, `check` of
all of them in one process beside jpylyzer over the same files, and, only where the CLI takes
the options, `--jobs 1` beside `--jobs 2` and `check --profile` beside `check`. On the 265 MiB
JP2 of 54 x 54 tiles: `check` beside jpylyzer. Medians of several runs, with the peak
resident memory, as peers_bench.py prints them.
"""
import os
import shutil
import subprocess
import sys
import tempfile

from peers_bench import info_scans, run, write_jp2

COUNT = 1000
PROFILE = "profiles/kb-master-2014.toml"


def row(label, r):
    note = "" if r[2] in (0, 1) else f"  exit {r[2]}: {r[3][:120]}"
    print(f"  {label:<44}{r[0]:>10.4f}{r[1]:>10.1f}{note}")


def syscalls(command):
    """The system calls `command` makes, children included, as strace -c counts them."""
    with tempfile.NamedTemporaryFile(suffix=".strace") as out:
        subprocess.run(f"strace -c -f -o {out.name} {command}", shell=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        lines = [line.split() for line in open(out.name) if line.strip()]
    total = [parts for parts in lines if parts[-1] == "total"]
    return int(total[-1][3]) if total else None


def takes(cli, command, option):
    """Whether `command --help` names the option: other work adds some of them."""
    shown = subprocess.run([cli, command, "--help"], capture_output=True, text=True)
    return option in shown.stdout


def bench_collection(cli, folder):
    scans = info_scans(folder, COUNT)
    if scans is None:
        print("\ncollection: skipped (neither opj_compress nor gdal_translate is installed)")
        return
    files = f"'{scans}'/scan-*.jp2"
    print(f"\n{COUNT} small JP2 files of several kinds: a collection in one process")
    if shutil.which("strace"):
        calls = syscalls(f"'{cli}' list --json {files}")
        if calls is not None:
            print(f"  list --json: {calls} system calls, {calls / COUNT:.1f} a file (aim <= 8)")
    else:
        print("  system calls: skipped (strace is not installed)")
    print(f"  {'command':<44}{'median s':>10}{'peak MiB':>10}")
    lst = run(f"'{cli}' list --json {files}", 5)
    info = run(f"'{cli}' info --json {files}", 5)
    check = run(f"'{cli}' check {files}", 5)
    row("boxquill-cli list --json, all", lst)
    row("boxquill-cli info --json, all", info)
    row("boxquill-cli check, all", check)
    jpylyzer = None
    if shutil.which("jpylyzer"):
        jpylyzer = run(f"jpylyzer --nopretty {files}", 1)
        row("jpylyzer, all", jpylyzer)
    print(f"  list --json: {COUNT / lst[0]:.0f} files/s (aim >= 40000); "
          f"info --json: {COUNT / info[0]:.0f} files/s (aim >= 25000)")
    if jpylyzer is None:
        print("  jpylyzer: not installed (package python3-jpylyzer), its comparison skipped")
    else:
        print(f"  check / jpylyzer: 1/{jpylyzer[0] / check[0]:.0f} (aim <= 1/20)")
    for command in ("list --json", "info --json", "check"):
        if not takes(cli, command.split()[0], "--jobs"):
            print(f"  {command} --jobs: skipped (this boxquill-cli has no --jobs option there)")
            continue
        one = run(f"'{cli}' {command} --jobs 1 {files}", 5)
        two = run(f"'{cli}' {command} --jobs 2 {files}", 5)
        row(f"boxquill-cli {command} --jobs 1", one)
        row(f"boxquill-cli {command} --jobs 2", two)
        print(f"  {command}: --jobs 2 is {one[0] / two[0]:.2f} x --jobs 1 (aim near 2)")
    if takes(cli, "check", "--profile") and os.path.exists(PROFILE):
        profiled = run(f"'{cli}' check --profile '{PROFILE}' {files}", 5)
        row(f"boxquill-cli check --profile {os.path.basename(PROFILE)}", profiled)
        print(f"  check --profile / check: {profiled[0] / check[0]:.2f} (aim <= 1.5)")
    else:
        print(f"  --profile: skipped (no --profile option, or no {PROFILE})")


def bench_tiled(cli, folder):
    tiled = os.path.join(folder, "tiles-54x54.jp2")
    if not os.path.exists(tiled):
        write_jp2(tiled, 95000, False)
    print(f"\n{os.path.basename(tiled)}: {os.path.getsize(tiled) / 2**20:.1f} MiB, checked")
    print(f"  {'command':<44}{'median s':>10}{'peak MiB':>10}")
    check = run(f"'{cli}' check '{tiled}'", 5)
    row("boxquill-cli check", check)
    if not shutil.which("jpylyzer"):
        print("  jpylyzer: not installed (package python3-jpylyzer), its comparison skipped")
        return
    jpylyzer = run(f"jpylyzer --nopretty '{tiled}'", 1)
    row("jpylyzer", jpylyzer)
    print(f"  check / jpylyzer: 1/{jpylyzer[0] / check[0]:.0f} (aim <= 1/50)")


def main():
    cli = os.path.abspath(sys.argv[1])
    folder = os.path.abspath(sys.argv[2] if len(sys.argv) > 2 else "build/bench")
    os.makedirs(folder, exist_ok=True)
    bench_collection(cli, folder)
    bench_tiled(cli, folder)


if __name__ == "__main__":
    main()
