#!/usr/bin/env bash
# Builds the packages into dist/: a .deb of the native build (the utility, its man page, the README,
# the copyright, the changelog and the third-party notices), checked with lintian when it is
# installed (errors and warnings fail the script), and a .zip of the shipped 32-bit Windows program
# in one folder with a short user README and every licence. Each is made from the same build folder and configuration scripts/test.sh tests;
# a folder that test.sh has not configured is configured without the tests, so that packaging
# needs only the compilers (scripts/setup.sh --package).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --package
jobs=${ZENTU_JOBS:-2}
root=$PWD
mkdir -p dist

package() {  # build folder, then extra configure arguments
  local folder=$1
  shift
  local tests=()
  [ -f "$folder/CMakeCache.txt" ] || tests=(-DZENTU_TESTS=OFF)
  cmake -S . -B "$folder" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${tests[@]}" "$@" >/dev/null
  cmake --build "$folder" -j "$jobs" --target zentu-rebrand
  (cd "$folder" && cpack -B "$root/dist/.cpack" >/dev/null)
}

rm -rf dist/.cpack
package build/native
package build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw.cmake -DZENTU_WINDOWS_ARCH=i686
rm -f dist/*.deb dist/*.zip
mv dist/.cpack/*.deb dist/.cpack/*.zip dist/
rm -rf dist/.cpack
echo "package: made"
ls -l dist/*.deb dist/*.zip | sed 's/^/  /'
# The .zip unpacks into one folder holding the program, the user README and every licence.
python3 - dist/*.zip <<'CHECK'
import sys, zipfile
names = zipfile.ZipFile(sys.argv[1]).namelist()
top = {name.split("/")[0] for name in names}
wanted = {"zentu-rebrand.exe", "README.txt", "7-Zip-License.txt", "zlib-License.txt",
          "MinGW-w64-License.txt", "THIRD-PARTY-NOTICES.txt"}
inside = {name.split("/", 1)[1] for name in names if "/" in name}
if len(top) != 1 or not wanted <= inside:
    sys.exit("package: the .zip must hold one folder with %s; it holds %s" % (sorted(wanted), names))
print("package: the .zip unpacks into %s/" % top.pop())
CHECK
if command -v lintian >/dev/null 2>&1; then
  lintian --fail-on error,warning dist/*.deb
  echo "package: lintian finds no error or warning in the .deb"
else
  echo "package: lintian is not installed: the .deb was not checked"
fi
