#!/usr/bin/env bash
# Builds the utility and the benchmarks natively (Release) and runs them: embedding 20 MB of
# resources into a 200 MB program and unpacking them again, beside the floors measured in the
# same run. Extra arguments go to Google Benchmark (for example --benchmark_filter=Embed).
# ZENTU_BENCH_EXE_MB and ZENTU_BENCH_RESOURCES_MB change the sizes.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DZENTU_BENCH=ON \
  -DZENTU_TESTS=OFF >/dev/null
cmake --build build/bench -j "${ZENTU_JOBS:-2}" --target zentu_bench zentu-rebrand
build/bench/bench/zentu_bench "$@"
