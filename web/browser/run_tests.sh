#!/bin/sh
# Runs the browser tests: installs playwright-core first when it is missing (npm ci from the
# lock file), then every *.test.js with node's test runner, one file at a time.
set -e
cd "$(dirname "$0")"
if [ ! -d node_modules/playwright-core ]; then
  npm ci --no-audit --no-fund
fi
exec node --test --test-concurrency=1 ./*.test.js
