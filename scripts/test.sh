#!/usr/bin/env bash
# Builds Zu and runs every test: once in a normal build, once with AddressSanitizer and
# UndefinedBehaviorSanitizer, then every fuzz program for a few seconds on its seed corpus
# (clang build in build-fuzz/; scripts/fuzz.sh runs them longer). Installs what it needs first.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

jobs=$(nproc)

echo "== build (RelWithDebInfo)"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$jobs"
echo "== tests"
ctest --test-dir build --output-on-failure -j"$jobs"

echo "== build (AddressSanitizer + UndefinedBehaviorSanitizer)"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZU_SANITIZE=ON -DZU_BENCH=OFF
cmake --build build-asan -j"$jobs"
echo "== tests under the sanitizers"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j"$jobs"

echo "== build (fuzz programs, clang)"
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZU_FUZZ=ON -DZU_BENCH=OFF \
  -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_C_COMPILER=clang-14
cmake --build build-fuzz --target zu_fuzzers -j"$jobs"
echo "== fuzz programs on their seed corpora"
ctest --test-dir build-fuzz -L fuzz --output-on-failure -j"$jobs"

echo "== all tests passed"
