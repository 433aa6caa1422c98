#!/bin/sh
# Installs what `make dist` built as a user would and uses it: the Debian package unpacked
# into a throwaway root (its dependencies checked by dpkg or apt without installing), its
# program, man page and completion run; lintian over it; the zip unpacked and run from
# elsewhere; the MSI installed under Wine in a fresh prefix, its programs, shortcut, Open
# with entry and PATH entry found, its CLI run, then uninstalled and nothing left.
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
dist=$root/build/dist
version=$(sed -n 's/^project(boxquill VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
deb=$dist/boxquill-cli_${version}_amd64.deb
zip=$dist/boxquill-$version-win64.zip
msi=$dist/boxquill-$version-win64.msi
for f in "$deb" "$zip" "$msi" "$dist/SHA256SUMS"; do
    [ -f "$f" ] || { echo "dist-test: $f is missing: run 'make dist'" >&2; exit 1; }
done
work=$root/build/dist-test
rm -rf "$work"
mkdir -p "$work"
failures=0
pass() { echo "ok: $*"; }
fail() { echo "FAILED: $*" >&2; failures=$((failures + 1)); }
check() {  # check WHAT COMMAND...: passes when the command succeeds
    what=$1
    shift
    if "$@" >"$work/last.log" 2>&1; then pass "$what"; else fail "$what"; cat "$work/last.log" >&2; fi
}
started=$(date +%s)

check "SHA256SUMS matches the artefacts" sh -c "cd '$dist' && sha256sum --quiet -c SHA256SUMS"

# --- The Debian package ---
check "the deb's dependencies are met" sh -c "
    if [ \"\$(id -u)\" = 0 ]; then dpkg --dry-run -i '$deb'; else apt-get -s install '$deb'; fi"
debroot=$work/debroot
dpkg -x "$deb" "$debroot"
cli=$debroot/usr/bin/boxquill-cli
check "boxquill-cli --version from the deb" \
    sh -c "'$cli' --version | grep -Eq '^boxquill-cli $version( \\([0-9a-f]+\\))?\$'"
page=$debroot/usr/share/man/man1/boxquill-cli.1.gz
check "man -l shows the page without warnings" sh -c "
    MANWIDTH=80 LC_ALL=C.UTF-8 man --warnings -l '$page' 2>'$work/man.err' >'$work/man.txt' &&
    grep -q 'EXIT STATUS' '$work/man.txt' && ! [ -s '$work/man.err' ]"
for f in README.md LICENSE copyright changelog.gz; do
    check "/usr/share/doc/boxquill-cli/$f" test -s "$debroot/usr/share/doc/boxquill-cli/$f"
done
# The completion, as bash loads it: the words typed so far, then what TAB offers.
completion=$debroot/usr/share/bash-completion/completions/boxquill-cli
offers() {  # offers EXPECTED WORD...
    expected=$1
    shift
    bash -c '. "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _boxquill_cli;
             printf "%s\n" "${COMPREPLY[@]}"' sh "$completion" "$@" | grep -qx -- "$expected"
}
check "completion: boxquill-cli res<TAB> offers resolution" offers resolution boxquill-cli res
check "completion: --unit <TAB> offers dpcm" \
    offers dpcm boxquill-cli resolution a.jp2 --unit ''
lintian_tags=$(lintian --fail-on error "$deb" 2>&1) && status=0 || status=$?
[ -z "$lintian_tags" ] || printf '%s\n' "$lintian_tags"
[ "$status" = 0 ] && pass "lintian finds no errors" || fail "lintian finds errors"

# --- The zip, unpacked and run from a folder of its own ---
# winemenubuilder would copy the shortcut into this machine's own desktop menus.
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export WINEPREFIX=$work/wineprefix
unzip -q "$zip" -d "$work/zip"
zipdir=$work/zip/boxquill-$version-win64
check "the zip's README.txt has CRLF line ends" sh -c "head -1 '$zipdir/README.txt' | grep -q \"\$(printf '\\r')\$\""
check "the zip holds LICENSE.txt" test -s "$zipdir/LICENSE.txt"
check "the zip holds THIRD-PARTY.txt" test -s "$zipdir/THIRD-PARTY.txt"
wineboot -i >/dev/null 2>&1 || true
check "boxquill-cli.exe --version from the zip" \
    sh -c "cd '$work' && wine '$zipdir/boxquill-cli.exe' --version | grep -q '^boxquill-cli $version'"

# --- The MSI, in the same fresh prefix ---
drive=$WINEPREFIX/drive_c
installed="$drive/Program Files/Boxquill"
# ALLUSERS is 1, but Wine's msiexec puts the shortcut in the installing user's menu.
environment='HKLM\System\CurrentControlSet\Control\Session Manager\Environment'
check "msiexec /i installs" wine msiexec /i "$msi" /qn
wineserver -w
check "boxquill.exe under Program Files\\Boxquill" test -f "$installed/boxquill.exe"
check "boxquill-cli.exe under Program Files\\Boxquill" test -f "$installed/boxquill-cli.exe"
check "the Start menu shortcut" sh -c "[ -n \"\$(cd '$drive' && find ProgramData users -path '*Start Menu/Programs/Boxquill.lnk')\" ]"
check "boxquill-cli.exe --version from the installed path" \
    sh -c "wine 'C:\\Program Files\\Boxquill\\boxquill-cli.exe' --version | grep -q '^boxquill-cli $version'"
check ".jp2 and .jpx list Boxquill under OpenWithProgids" sh -c "
    $(command -v wine) reg query 'HKLM\\Software\\Classes\\.jp2\\OpenWithProgids' | grep -q Boxquill.jp2 &&
    $(command -v wine) reg query 'HKLM\\Software\\Classes\\.jpx\\OpenWithProgids' | grep -q Boxquill.jp2"
check "the Open with command starts the installed editor" sh -c "
    $(command -v wine) reg query 'HKLM\\Software\\Classes\\Boxquill.jp2\\shell\\open\\command' |
    grep -qi 'C:\\\\Program Files\\\\Boxquill\\\\boxquill.exe\" \"%1\"'"
check "the CLI's folder is on PATH" sh -c "
    $(command -v wine) reg query '$environment' /v PATH | grep -qi 'Program Files.Boxquill'"
check "msiexec /x uninstalls" wine msiexec /x "$msi" /qn
wineserver -w
check "nothing left under Program Files" test ! -e "$installed"
check "no file of Boxquill's left on C:" sh -c "[ -z \"\$(find '$drive' -iname '*boxquill*')\" ]"
check "no Open with entry left" sh -c "! $(command -v wine) reg query 'HKLM\\Software\\Classes\\Boxquill.jp2' >/dev/null 2>&1 &&
    ! $(command -v wine) reg query 'HKLM\\Software\\Classes\\.jp2\\OpenWithProgids' 2>/dev/null | grep -q Boxquill"
check "PATH is as before" sh -c "! $(command -v wine) reg query '$environment' /v PATH | grep -qi Boxquill"
wineserver -k 2>/dev/null || true

echo "dist-test: $failures failure(s) in $(($(date +%s) - started)) s"
[ "$failures" = 0 ]
