#!/usr/bin/env bash
# Builds the packages into dist/: a .deb of the native build (the utility, its man page, the README
# and the third-party notices) and a .zip of the shipped 32-bit Windows program with the README and
# the notices. Each is made from the same build folder and configuration scripts/test.sh tests;
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
mv dist/.cpack/*.deb dist/.cpack/*.zip dist/
rm -rf dist/.cpack
echo "package: made"
ls -l dist/*.deb dist/*.zip | sed 's/^/  /'
