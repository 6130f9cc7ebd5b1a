#!/usr/bin/env bash
# Brands and unpacks a program of 8 GiB (ZENTU_HUGE_GIB), a sparse file with a real executable's
# start and a recognisable last stretch, and checks the result: exit status, the program's bytes
# before the block unchanged at the start and the end, every resource unpacked byte for byte.
# Prints the wall time and peak memory of both runs. Needs the free disk space of one copy of the
# program under TMPDIR (or /tmp): the copy is written in full where the file system cannot clone.
# Uses the utility of build/bench (scripts/bench.sh builds it) or ZENTU_UTILITY.
set -euo pipefail
cd "$(dirname "$0")/.."
utility_built="${ZENTU_UTILITY:-$PWD/build/bench/zentu-rebrand}"
gib="${ZENTU_HUGE_GIB:-8}"
work="$(mktemp -d "${TMPDIR:-/tmp}/zentu-huge.XXXXXX")"
trap 'rm -rf "$work"' EXIT
cp "$utility_built" "$work/zentu-rebrand"
mkdir "$work/resources" "$work/temp"
head -c 3000000 /dev/urandom >"$work/resources/logo.png"
printf '<?xml version="1.0"?>\n<oem/>\n' >"$work/resources/oem_info.xml"
program="$work/huge.exe"
cp examples/target/zentu.exe "$program"
truncate -s "$((gib << 30))" "$program"
printf 'the last bytes of the program' >>"$program"
size=$(stat -c %s "$program")
head_sum=$(head -c 1048576 "$program" | md5sum)
tail_sum=$(tail -c 29 "$program")

measure() { /usr/bin/time -f "%e s wall, %M KiB peak" "$@"; }
echo "branding a program of $size bytes"
TEMP="$work/temp" measure "$work/zentu-rebrand" -resource "$work/resources" -target "$program"
branded=$(stat -c %s "$program")
[ "$(head -c 1048576 "$program" | md5sum)" = "$head_sum" ] || { echo "FAIL: start changed"; exit 1; }
[ "$(tail -c +"$((size - 28))" "$program" | head -c 29)" = "$tail_sum" ] || { echo "FAIL: end changed"; exit 1; }
[ "$(tail -c 3 "$program")" = "OEM" ] || { echo "FAIL: no block"; exit 1; }
echo "branded: $branded bytes ($((branded - size)) bytes of block)"
echo "unpacking"
TEMP="$work/temp" measure "$work/zentu-rebrand" -unpack "$program"
for file in logo.png oem_info.xml; do
  cmp "$work/resources/$file" "$work/unpack_res/$file" || { echo "FAIL: $file differs"; exit 1; }
done
echo "OK: a program of $gib GiB was branded and unpacked correctly"
