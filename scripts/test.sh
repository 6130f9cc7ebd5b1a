#!/usr/bin/env bash
# Builds the native build and both Windows builds with their tests, then runs every test:
# natively, the 64-bit Windows build's under 64-bit Wine, and the shipped 32-bit Windows
# program's under 32-bit Wine. With ZENTU_SANITIZE_TESTS=1, last the unit tests again, built with
# address and undefined-behaviour checks (left out by default to keep a run within half an hour).
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

# Runs one build's tests and says how long they took.
run_tests() {  # folder, what, extra ctest arguments...
  local dir=$1 what=$2 start=$SECONDS
  shift 2
  echo "test.sh: running the $what tests"
  ctest --test-dir "$dir" --output-on-failure -j "$jobs" "$@"
  echo "test.sh: the $what tests passed in $((SECONDS - start)) s"
}

mkdir -p build
configure build/native
cmake --build build/native -j "$jobs"
configure build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw.cmake -DZENTU_WINDOWS_ARCH=i686 \
  -DZENTU_TESTS=ON
cmake --build build/win32 -j "$jobs"
configure build/win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw.cmake -DZENTU_WINDOWS_ARCH=x86_64
cmake --build build/win64 -j "$jobs"

# A private Wine prefix, made once before the tests start so that they do not race to make it
# (the native icon tool tests run Windows programs too).
export ZENTU_WINEPREFIX="$PWD/build/wineprefix"
cmake/wine-run.sh wineboot --init
run_tests build/native native
run_tests build/win64 "64-bit Windows (64-bit Wine)"
# The shipped program's tests need 32-bit Wine (wine32:i386, which a mirror out of step may keep
# from installing) and a kernel that runs 32-bit programs: under qemu's user-mode emulation 32-bit
# Wine takes about a minute to start each program, its threaded programs crash, and the programs
# it starts in turn still need the kernel's own 32-bit support.
if ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q '^install ok installed'; then
  echo "test.sh: SKIPPED the shipped 32-bit Windows tests: the package wine32:i386 is not" \
    "installed (scripts/setup.sh could not install it; its output says why)"
elif ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  echo "test.sh: SKIPPED the shipped 32-bit Windows tests: this kernel cannot run 32-bit" \
    "programs (ia32_emulation is off), so 32-bit Wine cannot start them"
else
  run_tests build/win32 "shipped 32-bit Windows (32-bit Wine)"
fi

# The units that read untrusted bytes (strings, paths, codecs, the block, XML, PE and icon files)
# once more with address and undefined-behaviour checks, when asked for: a fourth build of the
# sources. The command tests are left out to keep the run short; they pass there too
# (-DZENTU_SANITIZE=ON builds everything).
if [ "${ZENTU_SANITIZE_TESTS:-0}" != 1 ]; then
  echo "test.sh: the sanitized unit tests were not run (ZENTU_SANITIZE_TESTS=1 runs them)"
  exit 0
fi
start=$SECONDS
configure build/sanitize -DZENTU_SANITIZE=ON
cmake --build build/sanitize -j "$jobs" --target support_tests oem_tests iconchanger_tests
echo "test.sh: built the sanitized unit tests in $((SECONDS - start)) s"
run_tests build/sanitize "sanitized unit" -E app_tests
