#!/bin/sh
# Runs one fuzz program: fuzz_one.sh PROGRAM SEEDS DICT SECONDS WORK
# The seeds are copied into WORK/corpus (which keeps growing between runs, outside the source
# tree); a finding is written to WORK/findings/ and makes the exit status non-zero. The last
# lines printed are libFuzzer's final statistics (stat::number_of_executed_units ...).
set -eu
prog=$1 seeds=$2 dict=$3 secs=$4 work=$5
rm -rf "$work/findings"
mkdir -p "$work/corpus" "$work/findings"
if [ -d "$seeds" ]; then cp -R "$seeds"/. "$work/corpus"/; fi
set -- -max_total_time="$secs" -timeout=10 -rss_limit_mb=2048 -max_len=8192 \
  -print_final_stats=1 -artifact_prefix="$work/findings/"
if [ -f "$dict" ]; then set -- "$@" -dict="$dict"; fi
ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1} \
UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1} \
  exec "$prog" "$@" "$work/corpus"
