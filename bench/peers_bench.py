#!/usr/bin/env python3
"""Times boxquill-cli against its peers on the same files in one run, and prints the ratios.

  peers_bench.py BOXQUILL_CLI [WORK_FOLDER]

Builds a JP2 of 54 x 54 tiles of about 265 MiB (one tile-part's length ends in FF D9, so its
end must be found by structure) and, unless BENCH_LARGE=0, one of about 4.5 GiB whose
codestream box has a 64-bit length, a folder of 500 small files listed at once, and a folder
of 1,000 small JP2 files of several kinds (made with opj_compress and gdal_translate, then
copied with an XML box each) described at once by `info --json`, beside `list --json` and
`exiftool -j` (skipped, saying so, when exiftool is absent), and a 300 MB GeoTIFF's
georeferencing put into a JP2 of the same scene by `georef` beside GDAL (which can only encode
the image again). Each file is read once to put it in the page cache; then
each command runs several times and the median wall time and the peak resident memory
(ru_maxrss of the child) are printed beside the peer's.
"""
import os
import random
import shutil
import struct
import subprocess
import sys
import time

TILES = 54


def box(kind, payload):
    return struct.pack(">I", len(payload) + 8) + kind + payload


def codestream_parts(tile_bytes):
    """The main header, then (SOT+SOD header, data length) per tile, then EOC."""
    size = TILES * 64
    siz = struct.pack(">HIIIIIIIIH", 0, size, size, 0, 0, 64, 64, 0, 0, 3) + b"\x07\x01\x01" * 3
    head = b"\xff\x4f" + b"\xff\x51" + struct.pack(">H", len(siz) + 2) + siz
    head += b"\xff\x52\x00\x0c\x00\x00\x00\x01\x00\x05\x04\x04\x00\x00"
    head += b"\xff\x5c\x00\x04\x40\x48"
    parts = []
    for index in range(TILES * TILES):
        psot = 14 + tile_bytes
        if index == 7:  # a tile-part length whose last two bytes are FF D9
            psot = (psot & ~0xFFFF) | 0xFFD9
        length = psot - 14
        parts.append((b"\xff\x90\x00\x0a" + struct.pack(">HIBB", index, psot, 0, 1) + b"\xff\x93", length))
    return head, parts


def write_jp2(path, tile_bytes, extended):
    head, parts = codestream_parts(tile_bytes)
    total = len(head) + sum(len(h) + n for h, n in parts) + 2
    rng = random.Random(1)
    # Entropy-like bytes: no FF, so no marker can appear inside tile data.
    block = bytes(rng.randrange(0, 255) for _ in range(1 << 20))
    with open(path, "wb") as out:
        out.write(b"\x00\x00\x00\x0cjP  \r\n\x87\n")
        out.write(box(b"ftyp", b"jp2 \x00\x00\x00\x00jp2 "))
        ihdr = box(b"ihdr", struct.pack(">IIHBBBB", TILES * 64, TILES * 64, 3, 7, 7, 0, 0))
        out.write(box(b"jp2h", ihdr + box(b"colr", b"\x01\x00\x00\x00\x00\x00\x10")))
        out.write(box(b"xml ", b"<note>peer benchmark</note>"))
        if extended:
            out.write(struct.pack(">I", 1) + b"jp2c" + struct.pack(">Q", total + 16))
        else:
            out.write(struct.pack(">I", total + 8) + b"jp2c")
        out.write(head)
        for header, length in parts:
            out.write(header)
            while length > 0:
                chunk = min(length, len(block))
                out.write(block[:chunk])
                length -= chunk
        out.write(b"\xff\xd9")


def run(command, runs):
    """Median wall time and the largest peak resident memory (MiB) over the runs."""
    times, peaks, code, err = [], [], 0, b""
    # GNU time measures from a small process: a child forked from this interpreter would
    # report the interpreter's own memory as its peak.
    measure = shutil.which("time") and os.path.exists("/usr/bin/time")
    peak_file = "/tmp/boxquill-bench-peak"
    for _ in range(runs):
        quoted = "'" + command.replace("'", "'\\''") + "'"
        line = f"/usr/bin/time -f %M -o {peak_file} sh -c {quoted}" if measure else command
        start = time.perf_counter()
        child = subprocess.Popen(line, shell=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        err = child.stderr.read()
        _, status, usage = os.wait4(child.pid, 0)
        times.append(time.perf_counter() - start)
        if measure:
            with open(peak_file) as f:
                peaks.append(int(f.read().split()[-1]) / 1024.0)
        else:
            peaks.append(usage.ru_maxrss / 1024.0)
        code = os.waitstatus_to_exitcode(status)
    times.sort()
    return times[len(times) // 2], max(peaks), code, err.decode(errors="replace").strip()


def same(a, b):
    with open(a, "rb") as x, open(b, "rb") as y:
        while True:
            p, q = x.read(1 << 24), y.read(1 << 24)
            if p != q:
                return False
            if not p:
                return True


def bench(cli, path, runs, save_memory_aim):
    size = os.path.getsize(path)
    print(f"\n{os.path.basename(path)}: {size / 2**20:.1f} MiB")
    with open(path, "rb") as f:
        while f.read(1 << 24):
            pass
    out_peer, out_ours = path + ".cp", path + ".saved.jp2"
    rows = []
    dd = run(f"dd if='{path}' of=/dev/null bs=1M status=none", runs)
    opj = run(f"opj_dump -i '{path}' -o /dev/null", runs)
    lst = run(f"'{cli}' list '{path}'", runs)
    chk = run(f"'{cli}' check '{path}'", runs)
    cp = run(f"rm -f '{out_peer}'; cp '{path}' '{out_peer}' && sync '{out_peer}'", runs)
    sv = run(f"rm -f '{out_ours}'; '{cli}' save '{path}' -o '{out_ours}'", runs)
    identical = sv[2] == 0 and same(path, out_ours)
    for name in (out_peer, out_ours):
        if os.path.exists(name):
            os.remove(name)
    print(f"  {'command':<34}{'median s':>10}{'peak MiB':>10}")
    for label, r in (("dd (reading the file)", dd), ("opj_dump -i", opj), ("boxquill-cli list", lst),
                     ("boxquill-cli check", chk), ("cp && sync", cp), ("boxquill-cli save", sv)):
        note = "" if r[2] == 0 else f"  exit {r[2]}: {r[3][:120]}"
        print(f"  {label:<34}{r[0]:>10.4f}{r[1]:>10.1f}{note}")
    opj_ok = opj[2] == 0
    ratio = lst[0] / opj[0] if opj_ok else float("nan")
    print(f"  list / opj_dump -i: {ratio:.3f} (aim <= 0.1){'' if opj_ok else '  opj_dump failed'};"
          f" list peak {lst[1]:.1f} MiB (aim <= 16); check peak {chk[1]:.1f} MiB (aim <= 64)")
    print(f"  save / (cp && sync): {sv[0] / cp[0]:.3f} (aim <= 1.2); save peak {sv[1]:.1f} MiB"
          f" = {sv[1] * 2**20 / size:.3f} x file (aim {save_memory_aim}); output identical: {identical}")


def bench_archive(cli, folder, count):
    """One listing of a folder of files, against a listing per file and opj_dump per file."""
    archive = os.path.join(folder, "archive")
    os.makedirs(archive, exist_ok=True)
    model = os.path.join(archive, "scan-0000.jp2")
    if not os.path.exists(model):
        write_jp2(model, 100, False)
    for i in range(1, count):
        copy = os.path.join(archive, f"scan-{i:04d}.jp2")
        if not os.path.exists(copy):
            shutil.copyfile(model, copy)
    files = f"'{archive}'/scan-*.jp2"
    print(f"\n{count} files of {os.path.getsize(model) / 2**10:.0f} KiB in one folder")
    opj = run(f"for f in {files}; do opj_dump -i \"$f\" -o /dev/null || exit 1; done", 3)
    each = run(f"for f in {files}; do '{cli}' list \"$f\" >/dev/null || exit 1; done", 3)
    once = run(f"'{cli}' list --json {files}", 3)
    print(f"  {'command':<34}{'median s':>10}{'peak MiB':>10}")
    for label, r in (("opj_dump -i, one a file", opj), ("boxquill-cli list, one a file", each),
                     ("boxquill-cli list --json, all", once)):
        note = "" if r[2] == 0 else f"  exit {r[2]}: {r[3][:120]}"
        print(f"  {label:<34}{r[0]:>10.4f}{r[1]:>10.1f}{note}")
    print(f"  list --json of all / opj_dump -i of each: {once[0] / opj[0]:.3f}")


def top_boxes(data):
    """(offset, length, type) of the top-level boxes after the signature."""
    boxes, at = [], 12
    while at + 8 <= len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        if length == 1:
            length = struct.unpack(">Q", data[at + 8:at + 16])[0]
        elif length == 0:
            length = len(data) - at
        if length < 8:
            break
        boxes.append((at, length, kind))
        at += length
    return boxes


def with_box_before_codestream(data, extra):
    """The file with `extra` (whole boxes) inserted just before its codestream box."""
    for at, _, kind in top_boxes(data):
        if kind == b"jp2c":
            return data[:at] + extra + data[at:]
    return data + extra


def with_header_extras(data):
    """The file with a capture resolution and an ICC profile (header and desc tag) added to
    its JP2 header."""
    desc = b"desc" + bytes(4) + struct.pack(">I", 6) + b"bench\0"
    profile = bytearray(128)
    profile[8:12] = b"\x02\x10\x00\x00"
    profile[12:24] = b"mntrRGB XYZ "
    profile[36:40] = b"acsp"
    profile += struct.pack(">IIII", 1, 0x64657363, 144, len(desc)) + desc
    profile[0:4] = struct.pack(">I", len(profile))
    colr = box(b"colr", b"\x02\x00\x00" + bytes(profile))
    res = box(b"res ", box(b"resc", struct.pack(">HHHHbb", 7200, 254, 7200, 254, 2, 2)))
    for at, length, kind in top_boxes(data):
        if kind == b"jp2h":
            payload = data[at + 8:at + length] + colr + res
            return data[:at] + box(b"jp2h", payload) + data[at + length:]
    return data


def make_info_models(folder):
    """A few small JP2 files of different kinds, made by the codec's and GDAL's tools."""
    rng = random.Random(2)
    rgb = os.path.join(folder, "model.ppm")
    grey = os.path.join(folder, "model.pgm")
    with open(rgb, "wb") as f:
        f.write(b"P6\n96 64\n255\n" + bytes(rng.randrange(256) for _ in range(96 * 64 * 3)))
    with open(grey, "wb") as f:
        f.write(b"P5\n96 64\n255\n" + bytes(rng.randrange(256) for _ in range(96 * 64)))
    variants = [
        ["opj_compress", "-i", rgb, "-o", "{out}"],
        ["opj_compress", "-i", grey, "-o", "{out}", "-t", "32,32", "-p", "RPCL", "-SOP", "-EPH",
         "-n", "3", "-r", "20,10,1"],
        ["opj_compress", "-i", rgb, "-o", "{out}", "-I", "-C", "scanned for the bench", "-TP", "R"],
        ["gdal_translate", "-q", "-of", "JP2OpenJPEG", "-a_srs", "EPSG:4326", "-a_ullr", "0", "1",
         "1", "0", rgb, "{out}"],
    ]
    models = []
    for index, command in enumerate(variants):
        out = os.path.join(folder, f"model-{index}.jp2")
        if shutil.which(command[0]) is None:
            continue
        made = subprocess.run([a.replace("{out}", out) for a in command], stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL).returncode == 0
        if made and os.path.exists(out):
            with open(out, "rb") as f:
                models.append(f.read())
    if models:
        models.append(with_header_extras(models[0]))
    return models


def info_scans(folder, count):
    """The folder of `count` small JP2 files of several kinds (made once), or None when
    neither opj_compress nor gdal_translate is installed."""
    scans = os.path.join(folder, "info-scans")
    os.makedirs(scans, exist_ok=True)
    names = [os.path.join(scans, f"scan-{i:04d}.jp2") for i in range(count)]
    if not all(os.path.exists(n) for n in names):
        models = make_info_models(scans)
        if not models:
            return None
        for i, name in enumerate(names):
            note = box(b"xml ", f"<scan id='{i}' batch='{i // 100}'/>".encode())
            with open(name, "wb") as f:
                f.write(with_box_before_codestream(models[i % len(models)], note))
    return scans


def bench_info(cli, folder, count):
    """info --json over a folder of files of several kinds, beside list --json and exiftool."""
    scans = info_scans(folder, count)
    if scans is None:
        print("\ninfo: skipped (neither opj_compress nor gdal_translate is installed)")
        return
    files = f"'{scans}'/scan-*.jp2"
    print(f"\n{count} JP2 files of several kinds in one folder: info against list and exiftool")
    info = run(f"'{cli}' info --json {files}", 3)
    lst = run(f"'{cli}' list --json {files}", 3)
    rows = [("boxquill-cli info --json, all", info), ("boxquill-cli list --json, all", lst)]
    exif = None
    if shutil.which("exiftool"):
        exif = run(f"exiftool -j -q {files}", 3)
        rows.append(("exiftool -j, all", exif))
    print(f"  {'command':<34}{'median s':>10}{'peak MiB':>10}")
    for label, r in rows:
        note = "" if r[2] == 0 else f"  exit {r[2]}: {r[3][:120]}"
        print(f"  {label:<34}{r[0]:>10.4f}{r[1]:>10.1f}{note}")
    print(f"  info / list: {info[0] / lst[0]:.3f} (aim <= 2)")
    if exif is None:
        print("  exiftool: not installed (package libimage-exiftool-perl), its comparison skipped")
    else:
        print(f"  exiftool / info: {exif[0] / info[0]:.1f} x (aim >= 20)")


def bench_georef(cli, folder):
    """georef --from a 300 MB GeoTIFF against GDAL, which can only encode the image again."""
    if not (shutil.which("gdal_create") and shutil.which("gdal_translate")):
        print("\ngeoref: skipped (GDAL's gdal_create and gdal_translate are not installed)")
        return
    scene = os.path.join(folder, "scene-10000.tif")
    plain = os.path.join(folder, "scene-10000.jp2")
    if not os.path.exists(scene):
        subprocess.run(["gdal_create", "-q", "-of", "GTiff", "-outsize", "10000", "10000", "-bands",
                        "3", "-burn", "40", "-burn", "90", "-burn", "160", "-a_srs", "EPSG:32633",
                        "-a_ullr", "500000", "4600000", "800000", "4300000", scene], check=True)
    if not os.path.exists(plain):
        subprocess.run(["gdal_translate", "-q", "-of", "JP2OpenJPEG", "-co", "GeoJP2=NO", "-co",
                        "GMLJP2=NO", "-co", "QUALITY=10", scene, plain], check=True)
        if os.path.exists(plain + ".aux.xml"):
            os.remove(plain + ".aux.xml")
    out = os.path.join(folder, "scene-georef.jp2")
    peer = os.path.join(folder, "scene-gdal.jp2")
    print(f"\ngeoref: a {os.path.getsize(scene) / 2**20:.0f} MiB GeoTIFF's georeferencing into a "
          f"JP2 of the same {os.path.getsize(plain) / 2**10:.0f} KiB scene")
    ours = run(f"'{cli}' georef '{plain}' --from '{scene}' --geojp2 --gml -o '{out}'", 5)
    gdal = run(f"gdal_translate -q -of JP2OpenJPEG -co QUALITY=10 '{scene}' '{peer}'", 1)
    print(f"  {'command':<34}{'median s':>10}{'peak MiB':>10}")
    for label, r in [("boxquill-cli georef --gml", ours), ("gdal_translate (encodes again)", gdal)]:
        note = "" if r[2] == 0 else f"  exit {r[2]}: {r[3][:120]}"
        print(f"  {label:<34}{r[0]:>10.4f}{r[1]:>10.1f}{note}")
    print(f"  JP2 grew by {os.path.getsize(out) - os.path.getsize(plain)} bytes; "
          f"gdal_translate / georef: {gdal[0] / ours[0]:.0f} x (a flat-colour scene: GDAL's encode "
          f"of real imagery takes far longer)")
    for name in (out, peer, peer + ".aux.xml"):
        if os.path.exists(name):
            os.remove(name)


def jpylyzer_large(path):
    """jpylyzer on the 4.5 GiB file, for scale: it holds the file in memory, so it runs only
    where that much is free, and is cut off after JPYLYZER_SECONDS (default 120)."""
    limit = int(os.environ.get("JPYLYZER_SECONDS", "120"))
    with open("/proc/meminfo") as f:
        free = {k: int(v.split()[0]) for k, v in (line.split(":", 1) for line in f)}
    needed = 2 * os.path.getsize(path) // 1024
    if not shutil.which("jpylyzer") or free.get("MemAvailable", 0) < needed:
        print("  jpylyzer on it: skipped (not installed, or less than twice the file's size free)")
        return
    r = run(f"timeout {limit} jpylyzer --nopretty '{path}'", 1)
    done = "" if r[2] != 124 else f" (cut off at {limit} s)"
    print(f"  jpylyzer: {r[0]:.1f} s, peak {r[1]:.0f} MiB{done}")


def main():
    cli = os.path.abspath(sys.argv[1])
    folder = os.path.abspath(sys.argv[2] if len(sys.argv) > 2 else "build/bench")
    os.makedirs(folder, exist_ok=True)
    small = os.path.join(folder, "tiles-54x54.jp2")
    if not os.path.exists(small):
        write_jp2(small, 95000, False)
    bench(cli, small, 5, "<= 1.05 x file")
    bench_archive(cli, folder, 500)
    bench_info(cli, folder, 1000)
    bench_georef(cli, folder)
    if os.environ.get("BENCH_LARGE", "1") != "0":
        large = os.path.join(folder, "large-xlbox.jp2")
        write_jp2(large, 1655000, True)
        try:
            bench(cli, large, 3, "<= 64 MiB")
            jpylyzer_large(large)
        finally:
            os.remove(large)


if __name__ == "__main__":
    main()
