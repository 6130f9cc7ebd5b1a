#!/usr/bin/env bash
# Installs only what the native build needs, builds the utility natively and shows every command
# on the bundled example: writes the template, checks the resource folder (and a broken copy of
# it), brands copies of the sample Windows program, Linux package and macOS disk image (with an
# icon), lists what they carry, unpacks the branded program and packs the resources on their own.
# The results stay in the folder named at the end (ZENTU_EXAMPLE_DIR, default build/example-run).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
scripts/setup.sh --native
# A build folder of its own without the tests: they need the Windows tool chain.
cmake -S . -B build/example -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZENTU_TESTS=OFF >/dev/null
cmake --build build/example -j "${ZENTU_JOBS:-2}" --target zentu-rebrand

work=${ZENTU_EXAMPLE_DIR:-$root/build/example-run}
rm -rf "$work"
mkdir -p "$work/temp"
cp build/example/zentu-rebrand "$work/"
cp -r examples/resources examples/target examples/logo.icns "$work/"
export TEMP="$work/temp"
cd "$work"

run() {  # shows a command line, runs it, shows a non-zero exit code
  echo "\$ $*"
  "$@" || echo "(exit code $?)"
}

sizes() {  # file sizes and names, one per line
  find "$@" -type f -printf '%10s  %P\n' | sort -k2
}

echo "== The utility:"
run ./zentu-rebrand -version
echo
echo "== A commented template of oem_info.xml, into template/:"
run ./zentu-rebrand -getxml -outdir template
grep -c '<' template/oem_info.xml | sed 's/^/   lines with a tag: /'
echo
echo "== Checking the resources (examples/resources) before branding:"
run ./zentu-rebrand -check resources
echo
echo "== Checking a copy with a misspelled key, a value of the wrong kind and a cut-off end:"
cp -r resources broken
sed -i 's/<ProductName>\(.*\)<\/ProductName>/<ProductNmae>\1<\/ProductNmae>/;
        s/<MaxArchiveSizeMB>[^<]*</<MaxArchiveSizeMB>ten</' broken/oem_info.xml
run ./zentu-rebrand -check broken
head -c 2000 resources/oem_info.xml >broken/oem_info.xml
run ./zentu-rebrand -check broken
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
echo "== Branding the macOS disk image target/zentu.dmg with an icon (the image stays; the branded"
echo "   application goes into target/zentu.dmg.tgz):"
run ./zentu-rebrand -resource resources -icon logo.icns -target target/zentu.dmg
tar tzvf target/zentu.dmg.tgz | sed 's/^/   /'
echo
echo "== What the branded files carry:"
run ./zentu-rebrand -list target/zentu.exe
run ./zentu-rebrand -list target/zentu.tgz
run ./zentu-rebrand -list target/zentu.dmg.tgz
echo
echo "== Unpacking the branded program into unpacked/unpack_res:"
run ./zentu-rebrand -unpack target/zentu.exe -outdir unpacked
sizes unpacked
for name in resources/*; do
  cmp -s "$name" "unpacked/unpack_res/${name#resources/}" &&
    echo "   ${name#resources/}: same bytes as the resource"
done
echo
echo "== The resources packed on their own into package/resource.oem:"
run ./zentu-rebrand -packresource resources -outdir package
run ./zentu-rebrand -list package/resource.oem
echo
echo "== The end of the utility's log (zentu-rebrand.main.log):"
tail -n 12 zentu-rebrand.main.log | tr -d '\r'
echo
echo "example.sh: the results are in $work"
