#!/usr/bin/env bash
# Builds Zu and runs every benchmark under bench/. Each compares against a baseline measured in
# the same run and exits non-zero when its target is missed; this script reports every result
# and fails when any benchmark failed.
set -uo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh || exit 1
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo || exit 1
cmake --build build -j"$(nproc)" || exit 1

failed=()
for b in build/bench/*_bench; do
  [ -x "$b" ] || continue
  echo "== $(basename "$b")"
  if ! "$b"; then failed+=("$(basename "$b")"); fi
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "== targets missed: ${failed[*]}"
  exit 1
fi
echo "== every benchmark met its target"
