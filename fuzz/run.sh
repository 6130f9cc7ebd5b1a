#!/usr/bin/env bash
# Runs one fuzz target of build-fuzz on one core, at low priority, from its seed corpus:
#   fuzz/run.sh TARGET [libFuzzer options...]     e.g. fuzz/run.sh fuzz_url -runs=10000000
# The corpus grows in build-fuzz/runs/TARGET/corpus (seeded from fuzz/corpus/TARGET, which stays
# as it is); crash inputs land in build-fuzz/runs/TARGET/. The XML target gets fuzz/xml.dict.
set -euo pipefail
cd "$(dirname "$0")/.."
target=${1:?usage: fuzz/run.sh TARGET [libFuzzer options...]}
shift
program=build-fuzz/fuzz/$target
[ -x "$program" ] || { echo "run.sh: $program not built (see fuzz/CMakeLists.txt)" >&2; exit 1; }
work=build-fuzz/runs/$target
mkdir -p "$work/corpus"
cp -n fuzz/corpus/"$target"/* "$work/corpus/"
options=(-artifact_prefix="$work/" -print_final_stats=1)
if [ "$target" = fuzz_xml_parser ]; then options+=(-dict=fuzz/xml.dict); fi
exec nice -n 10 "$program" "${options[@]}" "$@" "$work/corpus"
