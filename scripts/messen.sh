#!/usr/bin/env bash
# Builds an optimised tree without sanitizers and prints the benchmark figures.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/pakete.sh pruefen
cmake -S . -B build/messung -G Ninja -DCMAKE_BUILD_TYPE=Release -DTW_SANITIZE=OFF -DTW_TESTS=ON >/dev/null
cmake --build build/messung --target sammeln_perftest signaturtor_perftest geld-bote
for programm in sammeln_perftest signaturtor_perftest; do
  build/messung/src/$programm --benchmark_report_aggregates_only=true "$@"
done
