#!/usr/bin/env bash
# Builds Zu (installing what it needs first), starts the bundled main-unit simulator on
# 127.0.0.2:9000 with its sample data, and opens the phonebook editor on a local file in the
# default browser. Press Enter to close the editor (the file is saved) and stop the simulator.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"

mkdir -p build/demo
build/bin/zu-mainunit --data build/demo/mainunit-data --no-pacing &
unit=$!
trap 'kill "$unit" 2>/dev/null; wait "$unit" 2>/dev/null' EXIT

echo "The main-unit simulator runs on 127.0.0.2:9000 (password 7351)."
echo "The phonebook editor opens on build/demo/phonebook.zud8; press Enter here to close it."
build/bin/zuctl edit phonebook build/demo/phonebook.zud8
