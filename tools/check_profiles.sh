#!/bin/bash
# Makes JPEG 2000 files with opj_compress that meet each shipped profile, and files with one
# parameter off, and checks that each fails exactly the rules it should (docs/profiles.md).
# usage: tools/check_profiles.sh [boxquill-cli]   (needs opj_compress and ImageMagick)
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
bq=${1:-$root/build/native/cli/boxquill-cli}
P=$root/profiles
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
convert -size 1100x1100 gradient:red-blue -depth 8 rgb.ppm
convert -size 1100x1100 gradient:white-black -depth 8 -colorspace Gray gray.pgm
# An RGB display profile described as "Adobe RGB (1998)": Ghostscript's A98 profile with its
# description tag replaced.
python3 - <<'PY'
import struct
d = bytearray(open('/usr/share/color/icc/ghostscript/a98.icc', 'rb').read())
text = b'Adobe RGB (1998)\0'
tag = b'desc' + bytes(4) + struct.pack('>I', len(text)) + text + bytes(8) + bytes(3) + bytes(67)
while len(d) % 4:
    d.append(0)
offset = len(d)
d += tag
for i in range(struct.unpack('>I', d[128:132])[0]):
    p = 132 + 12 * i
    if d[p:p + 4] == b'desc':
        d[p + 4:p + 12] = struct.pack('>II', offset, len(tag))
d[0:4] = struct.pack('>I', len(d))
open('adobe-rgb-1998.icc', 'wb').write(d)
PY

failures=0
expect() {  # FILE PROFILE "RULES THAT MUST FAIL"
    local got
    got=$("$bq" check "$1" --profile "$P/$2" --json | python3 -c \
        'import json, sys; print(" ".join(sorted({f["test"] for f in json.load(sys.stdin)["findings"]})))')
    local want
    want=$(for r in $3; do echo "profile:$r"; done | sort | tr '\n' ' ' | sed 's/ $//')
    if [ "$got" = "$want" ]; then echo "ok    $2 $1"; else
        echo "WRONG $2 $1: failed [$got], expected [$want]"; failures=$((failures + 1)); fi
}

KBC="-c [256,256],[256,256],[128,128],[128,128],[128,128],[128,128]"
kb() {
    local out=$1; shift
    opj_compress -i "${IN:-rgb.ppm}" -o "$out" -t "${T:-1024,1024}" -n "${N:-6}" \
        -r "${R:-200,150,100,80,60,40,30,20,10,5,1}" -p "${PO:-RPCL}" ${SOP--SOP} ${EPH--EPH} \
        -M "${M:-32}" -b "${B:-64,64}" ${C-$KBC} -C "${COM:-KB_MASTER_LOSSLESS}" "$@" >/dev/null 2>&1
    [ -n "${NOXML:-}" ] || "$bq" add "$out" xml --text '<meta/>' -o "$out" >/dev/null
    "$bq" resolution "$out" --capture "${RES:-300}" -o "$out" >/dev/null
    [ -n "${NOICC:-}" ] || "$bq" icc "$out" --import "${ICC:-adobe-rgb-1998.icc}" -o "$out" --yes >/dev/null
}
kb kb.jp2 && expect kb.jp2 kb-master-2014.toml ""
N=5 C="-c [256,256],[256,256],[128,128],[128,128],[128,128]" kb kb-levels.jp2 &&
    expect kb-levels.jp2 kb-master-2014.toml "levels precinctWidths precinctHeights"
R=200,100,50,20,10,1 kb kb-layers.jp2 && expect kb-layers.jp2 kb-master-2014.toml "layers"
T=512,512 kb kb-tiles.jp2 && expect kb-tiles.jp2 kb-master-2014.toml "tileWidth tileHeight"
B=32,32 kb kb-blocks.jp2 && expect kb-blocks.jp2 kb-master-2014.toml "codeBlockWidth codeBlockHeight"
PO=LRCP kb kb-lrcp.jp2 && expect kb-lrcp.jp2 kb-master-2014.toml "progression"
SOP= kb kb-sop.jp2 && expect kb-sop.jp2 kb-master-2014.toml "sop"
EPH= kb kb-eph.jp2 && expect kb-eph.jp2 kb-master-2014.toml "eph"
M=0 kb kb-segmark.jp2 && expect kb-segmark.jp2 kb-master-2014.toml "segmentationSymbols"
kb kb-97.jp2 -I && expect kb-97.jp2 kb-master-2014.toml "transform"
kb kb-mct.jp2 -mct 0 && expect kb-mct.jp2 kb-master-2014.toml "colourTransform"
C="-c [256,256],[256,256],[256,256],[128,128],[128,128],[128,128]" kb kb-precincts.jp2 &&
    expect kb-precincts.jp2 kb-master-2014.toml "precinctWidths precinctHeights"
COM="Made elsewhere" kb kb-com.jp2 && expect kb-com.jp2 kb-master-2014.toml "comment"
RES=301 kb kb-301.jp2 && expect kb-301.jp2 kb-master-2014.toml ""
RES=302 kb kb-302.jp2 && expect kb-302.jp2 kb-master-2014.toml "captureResolutionH captureResolutionV"
NOXML=1 kb kb-xml.jp2 && expect kb-xml.jp2 kb-master-2014.toml "xmlBox"
ICC=/usr/share/color/icc/ghostscript/a98.icc kb kb-icc.jp2 && expect kb-icc.jp2 kb-master-2014.toml "iccDescription"
NOICC=1 kb kb-srgb.jp2 && expect kb-srgb.jp2 kb-master-2014.toml "restrictedIcc iccDescription"

BC="-c [256,256],[256,256],[128,128],[128,128],[128,128],[128,128],[128,128]"
bod() {
    local out=$1; shift
    opj_compress -i rgb.ppm -o "$out" -t "${T:-512,512}" -n "${N:-7}" -r "${R:-100,50,20,10,5,1}" \
        -p "${PO:-RPCL}" ${SOP--SOP} ${EPH--EPH} -b "${B:-64,64}" ${C-$BC} ${PLT--PLT} \
        ${TP--TP R} "$@" >/dev/null 2>&1
}
bod b.jp2 && expect b.jp2 bodleian.toml ""
N=6 C="-c [256,256],[256,256],[128,128],[128,128],[128,128],[128,128]" bod b-levels.jp2 &&
    expect b-levels.jp2 bodleian.toml "levels precinctWidths precinctHeights tilePartsByResolution tilePartsByResolutionMost"
R=100,20,5,1 bod b-layers.jp2 && expect b-layers.jp2 bodleian.toml "layers"
T=1024,1024 bod b-tiles.jp2 && expect b-tiles.jp2 bodleian.toml "tileWidth tileHeight"
PO=CPRL bod b-cprl.jp2 && expect b-cprl.jp2 bodleian.toml "progression tilePartsByResolution tilePartsByResolutionMost"
PLT= bod b-plt.jp2 && expect b-plt.jp2 bodleian.toml "plt"
TP= bod b-tp.jp2 && expect b-tp.jp2 bodleian.toml "tilePartsByResolution tilePartsByResolutionMost"
B=32,32 bod b-blocks.jp2 && expect b-blocks.jp2 bodleian.toml "codeBlockWidth codeBlockHeight"
SOP= bod b-sop.jp2 && expect b-sop.jp2 bodleian.toml "sop"
EPH= bod b-eph.jp2 && expect b-eph.jp2 bodleian.toml "eph"
bod b-97.jp2 -I && expect b-97.jp2 bodleian.toml "transform"
C="-c [256,256],[128,128],[128,128],[128,128],[128,128],[128,128],[128,128]" bod b-precincts.jp2 &&
    expect b-precincts.jp2 bodleian.toml "precinctWidths precinctHeights"

nd() {
    local out=$1; shift
    opj_compress -i "${IN:-gray.pgm}" -o "$out" -t "${T:-1024,1024}" -n "${N:-7}" \
        -r "${R:-$(seq -s, 40 -1 16)}" -p "${PO:-RLCP}" -b "${B:-64,64}" -M "${M:-1}" ${I--I} \
        "$@" >/dev/null 2>&1
}
nd n.jp2 && expect n.jp2 ndnp.toml ""
IN=rgb.ppm nd n-rgb.jp2 && expect n-rgb.jp2 ndnp.toml "components"
N=6 nd n-levels.jp2 && expect n-levels.jp2 ndnp.toml "levels"
R=$(seq -s, 40 -1 17) nd n-layers.jp2 && expect n-layers.jp2 ndnp.toml "layers"
PO=RPCL nd n-rpcl.jp2 && expect n-rpcl.jp2 ndnp.toml "progression"
B=32,32 nd n-blocks.jp2 && expect n-blocks.jp2 ndnp.toml "codeBlockWidth codeBlockHeight"
M=0 nd n-bypass.jp2 && expect n-bypass.jp2 ndnp.toml "bypass"
I= nd n-53.jp2 && expect n-53.jp2 ndnp.toml "transform"
T=512,512 nd n-tiles.jp2 && expect n-tiles.jp2 ndnp.toml "tileWidth tileHeight"
nd n-origin.jp2 -d 8,8 && expect n-origin.jp2 ndnp.toml "imageOriginX imageOriginY"
nd n-precincts.jp2 -c [256,256] && expect n-precincts.jp2 ndnp.toml "noPrecincts"
nd n-roi.jp2 -ROI c=0,U=3 && expect n-roi.jp2 ndnp.toml "noRoi"

echo "$failures wrong"
[ "$failures" = 0 ]
