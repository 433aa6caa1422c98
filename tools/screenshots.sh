#!/bin/sh
# Writes PNGs of the editor's main states into build/screenshots/: the sample opened, an XML
# box selected, the codestream report, the list's context menu, the Properties dialog, the Add
# dialog, the check dialog over a faulty file and an error box. The Windows build's win32_screenshots program puts the editor
# through those states under Wine on an Xvfb screen and waits at each one while this script
# captures the screen with ImageMagick.
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
build=${BOXQUILL_BUILD:-$root/build/windows}
driver=$build/tests/win32/win32_screenshots.exe
sample=${1:-$root/samples/nested-asoc.jp2}
shots=$root/build/screenshots
[ -f "$driver" ] || { echo "screenshots.sh: $driver is missing: run 'make build-windows'" >&2; exit 1; }
case $sample in /*) ;; *) sample=$root/$sample ;; esac

# A prefix of its own: its windows are drawn with frames by Wine itself, since Xvfb has no
# window manager to draw them.
export WINEPREFIX=$shots/wineprefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
handshake=$shots/handshake
rm -rf "$handshake"
mkdir -p "$handshake"
rm -f "$shots"/[0-9]-*.png
towin() { printf 'Z:%s' "$1" | tr / '\\'; }

xvfb-run -a -s "-screen 0 1280x1024x24" sh -c '
    shots=$1 handshake=$2 driver=$3 winhandshake=$4 winsample=$5
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "Preparing the Wine prefix $WINEPREFIX (once)"
        mkdir -p "$WINEPREFIX"
        wineboot -i >/dev/null 2>&1 || true
        wineserver -w || true
    fi
    wine reg add "HKCU\\Software\\Wine\\X11 Driver" /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
    wine "$driver" "$winhandshake" "$winsample" >"$handshake/driver.log" 2>&1 &
    program=$!
    for name in 1-opened 2-xml-selected 3-codestream-report 4-context-menu 5-properties \
        6-add-dialog 7-check-dialog 8-error-box; do
        waited=0
        while [ ! -f "$handshake/$name.ready" ]; do
            sleep 0.2
            waited=$((waited + 1))
            if [ $waited -gt 600 ]; then
                echo "screenshots.sh: the program never reached $name" >&2
                kill $program 2>/dev/null || true
                exit 1
            fi
        done
        sleep 0.7  # let the last paint reach the screen
        set -- $(tr -d "\r" <"$handshake/$name.ready")
        x=$(( $1 > 8 ? $1 - 8 : 0 )) y=$(( $2 > 8 ? $2 - 8 : 0 ))
        import -window root -crop "$(( $3 + 16 ))x$(( $4 + 16 ))+$x+$y" +repage "$shots/$name.png"
        echo "  $shots/$name.png"
        : >"$handshake/$name.done"
    done
    wait $program || true
    wineserver -k 2>/dev/null || true
' sh "$shots" "$handshake" "$driver" "$(towin "$handshake")" "$(towin "$sample")"
echo "Screenshots written to $shots"
