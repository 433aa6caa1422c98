#!/bin/sh
# Makes the small JP2 files under samples/ that `make run` and the screenshots open:
#   geo-gmljp2.jp2   GMLJP2 and GeoJP2 boxes written by GDAL (nested associations, uuid)
#   tiled.jp2        a 4 x 3 tile grid written by opj_compress
#   nested-asoc.jp2  associations three deep with labels and XML, around the tiled image
# Needs gdal-bin, libopenjp2-tools, ImageMagick and python3; the files are committed, so
# running the program needs none of them.
set -eu
cd "$(dirname "$0")/.."
out=samples
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$out"

# A small gradient with some shapes, so the codestream is not trivially empty.
convert -size 128x96 gradient:'#2b5797-#f2c14e' \
    -fill '#ffffff' -draw 'circle 40,48 40,20' -fill '#1e7145' -draw 'rectangle 80,20 118,76' \
    -depth 8 "PNG24:$tmp/base.png"
convert "$tmp/base.png" "$tmp/base.ppm"

gdal_translate -q -of GTiff -a_srs EPSG:4326 -a_ullr 7.0 47.0 7.128 46.904 \
    "$tmp/base.png" "$tmp/geo.tif"
gdal_translate -q -of JP2OpenJPEG -co QUALITY=20 -co GMLJP2=YES -co GeoJP2=YES \
    -co REVERSIBLE=NO "$tmp/geo.tif" "$out/geo-gmljp2.jp2"
rm -f "$out/geo-gmljp2.jp2.aux.xml"

opj_compress -i "$tmp/base.ppm" -o "$out/tiled.jp2" -t 32,32 -n 3 -r 20 >/dev/null

python3 - "$out/tiled.jp2" "$out/nested-asoc.jp2" <<'PY'
import struct, sys

def box(kind, payload=b""):
    return struct.pack(">I", 8 + len(payload)) + kind + payload

def boxes(data):
    pos = 0
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        yield kind, data[pos:pos + length]
        pos += length

src = open(sys.argv[1], "rb").read()
xml = (b'<?xml version="1.0"?>\n<site name="weir">\n  <camera>north bank</camera>\n'
       b'  <taken>2026-05-14</taken>\n</site>\n')
region = box(b"asoc", box(b"lbl ", b"region:upstream") +
             box(b"asoc", box(b"lbl ", b"point:gauge") + box(b"xml ", b"<gauge level=\"1.42\"/>")))
nested = box(b"asoc", box(b"lbl ", b"survey") + box(b"xml ", xml) + region)
label = box(b"lbl ", b"Boxquill sample")
out = bytearray()
for kind, whole in boxes(src):
    if kind == b"jp2c":
        out += nested + label
    out += whole
open(sys.argv[2], "wb").write(out)
PY
ls -l "$out"
