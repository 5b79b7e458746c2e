#!/usr/bin/env bash
# Makes the README's pictures in docs/screenshots/: the main dialog, the host dialog, a progress
# dialog in the middle of a transfer, the write selection and the phonebook menu, from the Qt
# backend offscreen (the main-dialog test clicks through a phonebook read against the simulator
# and saves them), and the editor in headless Chromium on the phonebook zuctl reads from the
# simulator.
# Needs a normal build in build/ (scripts/test.sh or the README's build commands).
set -euo pipefail
cd "$(dirname "$0")/.."
out=docs/screenshots
bin=build/bin
mkdir -p "$out"

cmake --build build --target qt_qt_main_dialog_test zuctl zu-mainunit zu_html_files
rm -f build/screenshots/zu-*.png
(cd build/ui/qt && QT_QPA_PLATFORM=offscreen ./qt_qt_main_dialog_test >/dev/null)
for name in main host progress write-selection menu; do
  cp "build/screenshots/zu-$name.png" "$out/$name.png"
done

work=$(mktemp -d /tmp/zu-screenshots.XXXXXX)
unit=""
cleanup() {
  if [ -n "$unit" ]; then kill "$unit" 2>/dev/null || true; wait "$unit" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
host=127.0.0.2
$bin/zu-mainunit --listen "$host" --port 0 --data "$work/unit" --no-pacing 2>"$work/unit.log" &
unit=$!
port=""
for _ in $(seq 1 100); do
  port=$(sed -n 's/.* listening on [0-9.]*:\([0-9]*\).*/\1/p' "$work/unit.log" | head -n 1)
  [ -n "$port" ] && break
  sleep 0.1
done
[ -n "$port" ] || { cat "$work/unit.log" >&2; exit 1; }
$bin/zuctl read phonebook --out "$work/read" --host "$host" --port "$port" --password 7351 \
  --no-pacing 2>"$work/read.log" || { cat "$work/read.log" >&2; exit 1; }
(cd web/browser && { [ -d node_modules/playwright-core ] || npm ci --no-audit --no-fund; } &&
  ZUCTL="$PWD/../../$bin/zuctl" ZU_SCREENSHOTS="$PWD/../../$out" \
    node readme_screenshots.js "$work/read/book.zud8" "$work/read/names.zud4" \
    "$work/read/templates.zud9")
ls -l "$out"
