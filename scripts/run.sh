#!/usr/bin/env bash
# The demo: installs what Zu needs (Debian 12), builds the programs, starts the bundled main-unit
# simulator in the background with its sample data and starts zu, the desktop program; the
# simulator stops when zu ends. In zu, press a read button and type the host and the password
# this script prints.
#
# Without a display ($DISPLAY and $WAYLAND_DISPLAY both empty) it runs the same demo headless:
# zuctl reads the phonebook from the simulator into a demo folder and serves it in the browser
# editor, printing the editor's address; Enter (or the end of standard input) closes the editor,
# which saves the files, and stops the simulator.
#
# Settings from the environment (all optional):
#   ZU_RUN_USE_BUILD=1  skip installing and building when the build's bin/ holds the programs
#   ZU_BUILD_DIR        the build folder (default build)
#   ZU_DEMO_HOST        the simulator's address (default 127.0.0.2)
#   ZU_DEMO_PORT        its control port (default 9000; 0 takes a free one)
#   ZU_DEMO_DIR         the demo folder (default build/demo)
#   ZU_DEMO_TOOL_PORT   headless: the first of zuctl's five data ports (default 9000)
#   ZU_DEMO_EDITOR_PORT headless: the editor's port (default: the editor's own choice; 0: any)
set -euo pipefail
cd "$(dirname "$0")/.."

host=${ZU_DEMO_HOST:-127.0.0.2}
port=${ZU_DEMO_PORT:-9000}
password=7351
build=${ZU_BUILD_DIR:-build}
demo=${ZU_DEMO_DIR:-$build/demo}
bin=$build/bin

if [ "${ZU_RUN_USE_BUILD:-0}" = 1 ] && [ -x $bin/zu ] && [ -x $bin/zuctl ] &&
  [ -x $bin/zu-mainunit ] && [ -f $bin/HTMLFiles/hoshu.html ]; then
  echo "Using the programs in $bin."
else
  scripts/install-deps.sh
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
  cmake --build "$build" -j"$(nproc)" --target zu zuctl zu-mainunit zu_html_files
fi

mkdir -p "$demo"
log="$demo/mainunit.log"
: >"$log"
tool_port=()
if [ -n "${ZU_DEMO_TOOL_PORT:-}" ]; then tool_port=(--tool-port "$ZU_DEMO_TOOL_PORT"); fi
$bin/zu-mainunit --listen "$host" --port "$port" --data "$demo/mainunit-data" --no-pacing \
  "${tool_port[@]}" 2>"$log" &
unit=$!
stop_unit() {
  kill "$unit" 2>/dev/null || true
  wait "$unit" 2>/dev/null || true
}
trap stop_unit EXIT
trap 'exit 130' INT TERM

# The simulator says where it listens once it does (with --port 0, on which port).
listening=""
for _ in $(seq 1 100); do
  listening=$(sed -n 's/.* listening on \([0-9.]*:[0-9]*\).*/\1/p' "$log" | head -n 1)
  [ -n "$listening" ] && break
  if ! kill -0 "$unit" 2>/dev/null; then
    echo "The main-unit simulator did not start:" >&2
    cat "$log" >&2
    exit 1
  fi
  sleep 0.1
done
if [ -z "$listening" ]; then
  echo "The main-unit simulator did not start listening; see $log." >&2
  exit 1
fi
port=${listening##*:}
echo "The main-unit simulator runs on $host:$port with its sample data (log: $log)."

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display (\$DISPLAY and \$WAYLAND_DISPLAY are empty): running the headless demo with zuctl instead of zu."
  read_options=()
  if [ "$port" != 9000 ]; then read_options+=(--port "$port"); fi
  if [ -n "${ZU_DEMO_TOOL_PORT:-}" ]; then read_options+=(--data-port "$ZU_DEMO_TOOL_PORT"); fi
  edit_options=(--no-browser)
  if [ -n "${ZU_DEMO_EDITOR_PORT:-}" ]; then edit_options+=(--port "$ZU_DEMO_EDITOR_PORT"); fi
  rm -rf "$demo/read"
  $bin/zuctl read phonebook --out "$demo/read" --host "$host" "${read_options[@]}" \
    --password "$password" --no-pacing
  files=()
  for f in book.zud8 book.zud3 names.zud4 templates.zud9; do
    if [ -f "$demo/read/$f" ]; then files+=("$demo/read/$f"); fi
  done
  echo "The phonebook read from the simulator is in $demo/read. Open the address below in a"
  echo "browser to edit it; press Enter here to close the editor (the files are saved) and stop"
  echo "the simulator."
  $bin/zuctl edit phonebook "${files[@]}" "${edit_options[@]}"
  exit 0
fi

echo "Starting zu. Press 電話帳データの読込 (or another read button) and type"
echo "  host name / IP address: $host"
echo "  password:               $password"
if [ "$port" != 9000 ]; then
  echo "(zu always uses port 9000; this simulator listens on $port, so use ZU_DEMO_PORT=9000 for zu.)"
fi
echo "The simulator stops when zu ends."
$bin/zu
