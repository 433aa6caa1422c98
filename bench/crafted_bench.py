#!/usr/bin/env python3
"""Times `info --json` on crafted inputs of at most 64 MB, and a 3 GB stream import.

  crafted_bench.py BOXQUILL_CLI [WORK_FOLDER]

Each input is built under WORK_FOLDER, then described once in a fresh process; the wall
time, the peak resident memory of that process and the size of what it printed are shown.
It prints figures only: a fault shows as a large number, not as a failure.
"""
import os
import shlex
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time


# Seconds a peer may take on one input before it is stopped.
PEER_LIMIT = 60


def box(kind, payload):
    return struct.pack(">I", len(payload) + 8) + kind + payload


def jp2_with(header_boxes):
    ihdr = box(b"ihdr", struct.pack(">IIHBBBB", 1, 1, 3, 255, 7, 0, 0))
    return (box(b"jP  ", b"\r\n\x87\n") + box(b"ftyp", b"jp2 \0\0\0\0jp2 ")
            + box(b"jp2h", ihdr + header_boxes))


def gml_set(xml):
    label = box(b"lbl ", b"gml.root-instance")
    return box(b"asoc", box(b"lbl ", b"gml.data") + box(b"asoc", label + box(b"xml ", xml)))


def inputs():
    yield "bpcc of 15 MB", jp2_with(box(b"bpcc", b"\x07" * 15_000_000))
    yield "cmap of 4 M entries", jp2_with(box(b"cmap", b"\0\0\0\0" * 4_000_000))
    yield "1 M colr boxes", jp2_with(box(b"colr", b"\1\0\0\0\0\0\x10") * 1_000_000)
    yield "GML set of 60 MB of <a/>", jp2_with(b"") + gml_set(
        b"<RectifiedGrid>" + b"<a/>" * 15_000_000 + b"</RectifiedGrid>")
    yield "deep XML (1 M levels)", jp2_with(b"") + gml_set(
        b"<RectifiedGrid>" + b"<a>" * 1_000_000 + b"</a>" * 1_000_000 + b"</RectifiedGrid>")


def run(command, shell=False, limit=None):
    """Wall seconds, peak resident MiB and bytes written to stdout of one fresh process.

    The peak comes from /usr/bin/time around the program itself: the rusage of a child forked
    from this script would count the script's own buffers, copied at the fork.
    """
    with tempfile.NamedTemporaryFile(mode="r") as peak_file:
        timed = ["/usr/bin/time", "-f", "%M", "-o", peak_file.name]
        if shell:
            command = " ".join(shlex.quote(word) for word in timed) + " " + command
        else:
            command = timed + command
        start = time.monotonic()
        child = subprocess.Popen(command, shell=shell, executable="/bin/bash" if shell else None,
                                 stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                 start_new_session=True)
        try:
            out, _ = child.communicate(timeout=limit)
        except subprocess.TimeoutExpired:
            os.killpg(child.pid, signal.SIGKILL)  # the timed program too, not only time(1)
            child.communicate()
            return float("inf"), float("nan"), 0, None
        printed = len(out)
        code = child.returncode
        seconds = time.monotonic() - start
        peak = peak_file.read().strip().splitlines()
        return seconds, int(peak[-1]) / 1024 if peak else float("nan"), printed, code


def main():
    cli = os.path.abspath(sys.argv[1])
    work = sys.argv[2] if len(sys.argv) > 2 else "build/bench"
    os.makedirs(work, exist_ok=True)
    # ExifTool reads the same boxes: its time and memory on each input, in the same run.
    exiftool = shutil.which("exiftool")
    print(f"{'input':32} {'MB':>6} {'seconds':>8} {'peak MiB':>9} {'printed':>12} exit"
          f"{'  exiftool s':>13} {'MiB':>7} {'time ratio':>10}")
    for name, data in inputs():
        path = os.path.join(work, "crafted.jp2")
        with open(path, "wb") as out:
            out.write(data)
        seconds, peak, printed, code = run([cli, "info", path, "--json"])
        peer = ""
        if exiftool:
            # A peer that takes minutes on one of these is cut off and shown as "> limit".
            peer_seconds, peer_peak, _, _ = run([exiftool, "-j", path], limit=PEER_LIMIT)
            if peer_seconds == float("inf"):
                peer = f"{'> ' + str(PEER_LIMIT):>13} {'-':>7} {'> ' + str(round(PEER_LIMIT / max(seconds, 1e-6))) + 'x':>10}"
            else:
                peer = f"{peer_seconds:13.2f} {peer_peak:7.1f} {peer_seconds / max(seconds, 1e-6):9.1f}x"
        print(f"{name:32} {len(data) / 1e6:6.1f} {seconds:8.2f} {peak:9.1f} {printed:12} {code:4}"
              f"{peer}")
        os.remove(path)
    packet = os.path.join(work, "crafted.xmp")
    source = os.path.join(work, "crafted-source.jp2")
    with open(source, "wb") as out:
        out.write(jp2_with(box(b"colr", b"\1\0\0\0\0\0\x10")))
    for name, text in (("xmp --set-file of 60 MB of <a/>", b"<r>" + b"<a/>" * 15_000_000 + b"</r>"),
                       ("xmp --set-file, 1 M levels deep", b"<a>" * 1_000_000 + b"</a>" * 1_000_000)):
        with open(packet, "wb") as out:
            out.write(text)
        seconds, peak, _, code = run([cli, "xmp", source, "--set-file", packet, "-o",
                                      os.path.join(work, "crafted-xmp.jp2")])
        print(f"{name:32} {len(text) / 1e6:6.1f} {seconds:8.2f} {peak:9.1f} {'-':>12} {code:4}")
    os.remove(packet)
    target = os.path.join(work, "crafted-import.jp2")
    seconds, peak, _, code = run(
        f"'{cli}' add '{source}' geotiff --import <(head -c 3000000000 /dev/zero) -o '{target}'",
        shell=True)
    print(f"{'add geotiff --import of 3 GB':32} {3000.0:6.1f} {seconds:8.2f} {peak:9.1f} "
          f"{'-':>12} {code:4}")
    seconds, peak, printed, code = run([cli, "list", target])
    print(f"{'list of that 3 GB file':32} {3000.0:6.1f} {seconds:8.2f} {peak:9.1f} {printed:12} "
          f"{code:4}")
    for path in (source, target, os.path.join(work, "crafted-xmp.jp2")):
        if os.path.exists(path):
            os.remove(path)


if __name__ == "__main__":
    main()
