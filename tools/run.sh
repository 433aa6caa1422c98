#!/bin/sh
# Opens a sample file in the Windows build of the editor under Wine. On a display the program
# runs there until closed; without one it runs under Xvfb, a screenshot of the screen is saved
# (build/screenshots/run.png) and the program is ended.
#   tools/run.sh [FILE]        FILE defaults to samples/nested-asoc.jp2
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
exe=${BOXQUILL_EXE:-$root/build/windows/ui/win32/boxquill.exe}
file=${1:-$root/samples/nested-asoc.jp2}
[ -f "$exe" ] || { echo "run.sh: $exe is missing: run 'make build-windows'" >&2; exit 1; }
[ -f "$file" ] || { echo "run.sh: no such file: $file" >&2; exit 1; }
case $file in /*) ;; *) file=$root/$file ;; esac

export WINEPREFIX=${BOXQUILL_WINEPREFIX:-$root/build/windows/wineprefix}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
prepare_prefix='
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "Preparing the Wine prefix $WINEPREFIX (once, takes a little while)"
        mkdir -p "$WINEPREFIX"
        wineboot -i >/dev/null 2>&1 || true
        wineserver -w || true
    fi'
# Wine sees the Linux root as drive Z:. (Not asked of winepath: a Wine process started here,
# without the display, would leave a desktop behind that later windows cannot use.)
winfile="Z:$(printf '%s' "$file" | tr / '\\')"

if [ -n "${DISPLAY:-}" ]; then
    sh -c "$prepare_prefix"
    echo "Opening $file"
    exec wine "$exe" "$winfile"
fi

shots=$root/build/screenshots
mkdir -p "$shots"
echo "No display: running under Xvfb and taking a screenshot"
# The prefix is prepared on the Xvfb screen too: a Wine desktop started without a display
# would be left behind for the program, which could then never show a window.
xvfb-run -a -s "-screen 0 1024x768x24" sh -c "$prepare_prefix"'
    wine "$1" "$2" >/dev/null 2>&1 &
    program=$!
    # Wait for the main window (up to a minute on a fresh prefix), then let it paint.
    i=0
    while [ $i -lt 60 ]; do
        if ! command -v xwininfo >/dev/null 2>&1; then
            sleep 15  # no way to look for the window: give it time
            break
        fi
        if xwininfo -root -tree 2>/dev/null | grep -q "Boxquill"; then
            break
        fi
        sleep 1
        i=$((i + 1))
    done
    sleep 4
    import -window root "$3"
    kill $program 2>/dev/null || true
    wineserver -k 2>/dev/null || true
' sh "$exe" "$winfile" "$shots/run.png"
echo "Screenshot saved: $shots/run.png"
