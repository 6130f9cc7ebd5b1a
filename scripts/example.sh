#!/usr/bin/env bash
# Builds the utility natively and runs it on the bundled example: brands a copy of the sample
# Windows program and of the sample Linux package with examples/resources, then unpacks the
# branded program again and lists what it carries.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/native -j "${ZENTU_JOBS:-2}" --target zentu-rebrand

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp build/native/zentu-rebrand "$work/"
cp -r examples/resources examples/target "$work/"
export TEMP="$work/temp"
mkdir -p "$TEMP"
cd "$work"

run() {  # shows a command line, runs it, shows a non-zero exit code
  echo "\$ $*"
  "$@" || echo "(exit code $?)"
}

sizes() {  # file sizes and names, one per line
  find "$@" -type f -printf '%10s  %P\n' | sort -k2
}

echo "== The resources (examples/resources):"
sizes resources
echo
echo "== Branding the Windows program target/zentu.exe ($(stat -c %s target/zentu.exe) bytes):"
run ./zentu-rebrand -resource resources -target target/zentu.exe
echo "   now $(stat -c %s target/zentu.exe) bytes"
echo
echo "== Branding the Linux package target/zentu.tgz:"
tar tzvf target/zentu.tgz | sed 's/^/   before: /'
run ./zentu-rebrand -resource resources -target target/zentu.tgz
tar tzvf target/zentu.tgz | sed 's/^/   after:  /'
echo
echo "== Unpacking the branded program again:"
run ./zentu-rebrand -unpack target/zentu.exe
sizes unpack_res
for name in resources/*; do
  cmp -s "$name" "unpack_res/${name#resources/}" && echo "   ${name#resources/}: same bytes as the resource"
done
echo "   date: $(cat unpack_res/date) ms since 0001-01-01 (midnight of the day of branding)"
echo
echo "== The utility's log (zentu-rebrand.main.log):"
cat zentu-rebrand.main.log
