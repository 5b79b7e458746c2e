#!/usr/bin/env bash
# Runs the transfer fault matrix of the normal build (build/, or the build folder given) and puts
# the table of its rows into docs/reliability.md, between the fault-matrix markers.
# Usage: scripts/fault_matrix.sh [BUILD_FOLDER]
# The exit status is the test's: a failing row leaves the document as it was.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cmake --build "$build" --target app_transfer_fault_matrix_test >/dev/null
table=$(mktemp)
log=$build/fault_matrix.log
trap 'rm -f "$table" "$table.doc"' EXIT
if ! ZU_FAULT_MATRIX_TABLE=$table "$build/app/app_transfer_fault_matrix_test" >"$log" 2>&1; then
  grep -A12 '^\[ RUN' "$log" | grep -B1 -A10 'Failure' || tail -20 "$log"
  echo "fault matrix failed; see $log" >&2
  exit 1
fi
awk -v table="$table" '
  /<!-- fault-matrix:begin -->/ { print; while ((getline line < table) > 0) print line; skip = 1; next }
  /<!-- fault-matrix:end -->/ { skip = 0 }
  !skip { print }
' docs/reliability.md >"$table.doc"
mv "$table.doc" docs/reliability.md
echo "docs/reliability.md: $(($(wc -l <"$table") - 2)) rows"
