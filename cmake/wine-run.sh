#!/bin/sh
# Runs a Windows program under Wine with a private prefix beside the build and no Wine chatter.
# 64-bit Wine runs x86-64 programs; 32-bit programs need a Wine and a kernel with 32-bit support.
: "${WINEPREFIX:=${ZENTU_WINEPREFIX:-${TMPDIR:-/tmp}/zentu-wineprefix-$(id -u)}}"
export WINEPREFIX
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
for wine in "$ZENTU_WINE" /usr/lib/wine/wine64 wine64 wine; do
  [ -n "$wine" ] && command -v "$wine" >/dev/null 2>&1 && exec "$wine" "$@"
done
echo "wine-run.sh: no Wine found (install wine64)" >&2
exit 127
