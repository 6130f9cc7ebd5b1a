#!/usr/bin/env bash
# Builds the utility natively and runs it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/native -j "${ZENTU_JOBS:-2}" --target zentu-rebrand
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp build/native/zentu-rebrand "$work/"
echo "\$ zentu-rebrand"
"$work/zentu-rebrand" || echo "(exit code $?)"
echo "--- zentu-rebrand.main.log:"
cat "$work/zentu-rebrand.main.log"
