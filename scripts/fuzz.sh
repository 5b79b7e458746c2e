#!/usr/bin/env bash
# Builds the fuzz programs (clang, libFuzzer, AddressSanitizer + UndefinedBehaviorSanitizer)
# into build-fuzz/ and runs each of them for SECONDS (default 600) on its seed corpus.
# Usage: scripts/fuzz.sh [SECONDS]
# Prints one line per program: executions, corpus entries, coverage and findings; the full logs
# are in build-fuzz/fuzz-logs/. The exit status is 1 when any program found something.
set -euo pipefail
cd "$(dirname "$0")/.."
secs=${1:-600}

cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZU_FUZZ=ON -DZU_BENCH=OFF \
  -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_C_COMPILER=clang-14 >/dev/null
cmake --build build-fuzz --target zu_fuzzers -j"$(nproc)"

mkdir -p build-fuzz/fuzz-logs
status=0
printf '%-28s %12s %8s %8s %s\n' program executions corpus edges findings
for prog in build-fuzz/fuzz/*_fuzz; do
  name=$(basename "$prog")
  folder=${name%%_*}
  base=${name#*_}
  log=build-fuzz/fuzz-logs/$name.log
  work=build-fuzz/fuzz-work/$name
  if ! sh scripts/fuzz_one.sh "$prog" "$folder/fuzz/$base" "$folder/fuzz/$base.dict" "$secs" \
      "$work" >"$log" 2>&1; then
    status=1
  fi
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  edges=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
  corpus=$(find "$work/corpus" -type f | wc -l)
  findings=$(find "$work/findings" -type f | wc -l)
  printf '%-28s %12s %8s %8s %s\n' "$name" "${execs:-?}" "$corpus" "${edges:-?}" "$findings"
done
exit $status
