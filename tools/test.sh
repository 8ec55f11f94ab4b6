#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test exactly as CI
# does: the format check, a normal build with all tests, an ASan+UBSan build
# with the tests that run without Qt, and every fuzz target for a fixed
# number of runs from its seed corpus.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

./tools/install-deps.sh
./tools/check-format.sh

fuzz_runs=${VELK_FUZZ_RUNS:-20000}

step() { printf '\n=== %s ===\n' "$*"; }

step "normal build"
cmake -S . -B build/release -G Ninja -DVELK_WERROR=ON
cmake --build build/release
ctest --test-dir build/release --output-on-failure -j2

step "ASan+UBSan build"
cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELK_WERROR=ON \
  -DVELK_SANITIZE=ON -DVELK_QT=OFF -DVELK_BENCH=OFF
cmake --build build/asan
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build/asan --output-on-failure -j2

step "fuzz targets"
CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DVELK_WERROR=ON \
  -DVELK_FUZZ=ON -DVELK_QT=OFF -DVELK_BENCH=OFF -DVELK_TESTS=OFF
cmake --build build/fuzz
shopt -s nullglob
fuzzers=(build/fuzz/fuzzers/*)
for fuzzer in "${fuzzers[@]}"; do
  name=$(basename "$fuzzer")
  scratch=$(mktemp -d)
  seeds=()
  [ -d "fuzz/corpus/$name" ] && seeds=("$root/fuzz/corpus/$name")
  echo "--- $name: $fuzz_runs runs"
  # New inputs go to the scratch folder first; the seed corpus stays as
  # checked in.
  "$fuzzer" -runs="$fuzz_runs" -max_len=4096 -timeout=10 \
    -print_final_stats=1 "$scratch" "${seeds[@]}" 2>"$scratch.log" ||
    { tail -n 60 "$scratch.log"; exit 1; }
  grep -E 'stat::number_of_executed_units' "$scratch.log" || true
  rm -rf "$scratch" "$scratch.log"
done
echo "fuzz: ${#fuzzers[@]} targets passed"
