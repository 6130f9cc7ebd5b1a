#!/bin/sh
# Runs a Windows program under Wine with a private prefix beside the build and no Wine chatter.
# A 32-bit program runs under 32-bit Wine: directly where the kernel runs 32-bit programs, else
# through qemu's user-mode emulation (qemu 7.2 starts Wine there in about a minute, and the
# programs that Wine starts in turn cannot run). Anything else, and Wine's own commands
# (wineboot), run under 64-bit Wine. ZENTU_WINE names a Wine to use for everything.
: "${WINEPREFIX:=${ZENTU_WINEPREFIX:-${TMPDIR:-/tmp}/zentu-wineprefix-$(id -u)}}"
export WINEPREFIX
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

# The machine field of a PE file's header: 014c for i386, 8664 for x86-64; empty for anything else.
pe_machine() {
  [ -f "$1" ] || return 0
  header=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ')
  [ -n "$header" ] || return 0
  od -An -tx2 -j$((header + 4)) -N2 "$1" 2>/dev/null | tr -d ' '
}

if [ -n "$ZENTU_WINE" ]; then
  exec "$ZENTU_WINE" "$@"
fi
wine32=/usr/lib/wine/wine
if [ "$(pe_machine "$1")" = 014c ]; then
  if [ ! -x "$wine32" ]; then
    echo "wine-run.sh: no 32-bit Wine at $wine32 (install wine32:i386)" >&2
    exit 127
  fi
  if "$wine32" --version >/dev/null 2>&1; then
    exec "$wine32" "$@"
  fi
  if command -v qemu-i386-static >/dev/null 2>&1; then
    exec qemu-i386-static -L / "$wine32" "$@"
  fi
  echo "wine-run.sh: this kernel cannot run 32-bit programs and qemu-i386-static is missing" \
    "(install qemu-user-static)" >&2
  exit 127
fi
for wine in /usr/lib/wine/wine64 wine64 wine; do
  command -v "$wine" >/dev/null 2>&1 && exec "$wine" "$@"
done
echo "wine-run.sh: no Wine found (install wine64)" >&2
exit 127
