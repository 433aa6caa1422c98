#!/bin/sh
# Runs a Windows test program under Wine, quietly, in a private prefix so that runs
# never share state with a user's own Wine setup.
: "${WINEPREFIX:=${BOXQUILL_WINEPREFIX:-$(pwd)/wineprefix}}"
export WINEPREFIX
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
exec wine "$@"
