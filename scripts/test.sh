#!/usr/bin/env bash
# Builds the native build and the Windows builds, then runs every test: natively, and the
# 64-bit Windows build's under Wine. The 32-bit Windows program is built as shipped.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
jobs=${ZENTU_JOBS:-2}

configure() {  # folder, extra cmake arguments...
  local dir=$1
  shift
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >"$dir.configure.log" 2>&1 ||
    { cat "$dir.configure.log"; exit 1; }
}

mkdir -p build
configure build/native
cmake --build build/native -j "$jobs"
configure build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw.cmake -DZENTU_WINDOWS_ARCH=i686 \
  -DZENTU_TESTS=OFF
cmake --build build/win32 -j "$jobs"
configure build/win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw.cmake -DZENTU_WINDOWS_ARCH=x86_64
cmake --build build/win64 -j "$jobs"

ctest --test-dir build/native --output-on-failure -j "$jobs"
# A private Wine prefix, made once before the tests start so that they do not race to make it.
export ZENTU_WINEPREFIX="$PWD/build/wineprefix"
cmake/wine-run.sh wineboot --init
ctest --test-dir build/win64 --output-on-failure -j "$jobs"
