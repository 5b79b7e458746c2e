#!/bin/sh
# scripts/run.sh without a display, on the programs of this build: it starts the simulator, reads
# the phonebook with zuctl, serves it in the editor and prints the editor's address; the page is
# fetched from that address, then Enter ends the demo, which saves the files and stops the
# simulator.
# usage: run_demo_test.sh SOURCE_DIR BUILD_DIR HOST TOOL_PORT
set -eu
src=$1
build=$2
host=$3
tool_port=$4
work=$(mktemp -d /tmp/zu-run-demo-test.XXXXXX)
demo=""
cleanup() {
  if [ -n "$demo" ]; then kill "$demo" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  cat "$work/out" "$work/err" "$work/demo/mainunit.log" >&2 2>/dev/null || true
  exit 1
}

mkfifo "$work/in"
env -u DISPLAY -u WAYLAND_DISPLAY ZU_RUN_USE_BUILD=1 ZU_BUILD_DIR="$build" ZU_DEMO_HOST="$host" \
  ZU_DEMO_PORT=0 ZU_DEMO_TOOL_PORT="$tool_port" ZU_DEMO_EDITOR_PORT=0 ZU_DEMO_DIR="$work/demo" \
  bash "$src/scripts/run.sh" <"$work/in" >"$work/out" 2>"$work/err" &
demo=$!
exec 3>"$work/in"
url=""
for _ in $(seq 1 300); do
  url=$(grep -m 1 '^http://127\.0\.0\.1:[0-9]*/$' "$work/out" || true)
  [ -n "$url" ] && break
  kill -0 "$demo" 2>/dev/null || fail "run.sh ended before it printed the editor's address"
  sleep 0.1
done
[ -n "$url" ] || fail "run.sh printed no editor address"
grep -q '^No display' "$work/out" || fail "run.sh did not say that there is no display"
[ -f "$work/demo/read/book.zud8" ] || fail "the phonebook read saved no book.zud8"
curl -sf "${url}hoshu/16tansyuku_01.js?1" -o "$work/page.js" || fail "the editor did not answer"
grep -q 'arVals' "$work/page.js" || fail "the editor's data script holds no table values"
echo >&3
exec 3>&-
wait "$demo" || fail "run.sh did not end cleanly"
demo=""
# The simulator has stopped: its control port no longer takes connections.
unit=$(sed -n 's/.* listening on \([0-9.]*:[0-9]*\).*/\1/p' "$work/demo/mainunit.log" | head -n 1)
[ -n "$unit" ] || fail "the simulator's log names no address"
if curl -s --max-time 2 "http://$unit/" >/dev/null 2>&1 || [ $? -ne 7 ]; then
  fail "the simulator still answers on $unit after the demo"
fi
cat "$work/out"
echo "headless demo ok"
