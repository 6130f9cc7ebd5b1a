#!/usr/bin/env bash
# Builds the utility and the benchmarks natively (Release) and prints one row per job, the
# utility beside its floor measured in the same run, with the ratio and the utility's peak memory:
# embedding 20 MB of resources into a 200 MB and a 2 GB program, unpacking them, branding a 35 MB
# .tgz against gzip -dc | gzip -6 of it, and compressing on every core against one thread.
# Arguments other than the defaults go to Google Benchmark instead of the table (for example
# --benchmark_filter=Embed). ZENTU_BENCH_EXE_MB, ZENTU_BENCH_LARGE_EXE_MB (0 leaves the large
# program out), ZENTU_BENCH_RESOURCES_MB, ZENTU_BENCH_PACKAGE_MB, ZENTU_BENCH_HUGE_PACKAGE_MB (880
# adds a package of about 1 GB) and ZENTU_BENCH_RUNS change the jobs.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DZENTU_BENCH=ON \
  -DZENTU_TESTS=OFF >/dev/null
cmake --build build/bench -j "${ZENTU_JOBS:-2}" --target zentu_bench zentu-rebrand
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs)," \
  "$(free -g | awk '/Mem:/ {print $2}') GiB, $(df -T "${TMPDIR:-/tmp}" | awk 'NR==2 {print $2}')" \
  "under ${TMPDIR:-/tmp}"
if [ $# -eq 0 ]; then
  build/bench/bench/zentu_bench --table
else
  build/bench/bench/zentu_bench "$@"
fi
