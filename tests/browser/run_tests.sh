#!/bin/sh
# Runs the browser tests with Node's test runner (arguments go to `node --test`). Installs the
# npm packages that package-lock.json pins first, when node_modules is missing or out of date.
set -eu
cd "$(dirname "$0")"

for tool in node npm "${QUILLMAP_PYTHON:-python3}" "${QUILLMAP_CHROMIUM:-/usr/bin/chromium}"; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "browser tests: $tool is missing (scripts/install_deps.sh installs it)" >&2
    exit 1
  fi
done

# The installed playwright-core must be the locked one.
if ! node -e '
  const want = require("./package-lock.json").packages["node_modules/playwright-core"].version;
  process.exit(require("./node_modules/playwright-core/package.json").version === want ? 0 : 1);
' 2>/dev/null; then
  npm ci --no-audit --no-fund --loglevel=error
fi

exec node --test --test-timeout=120000 "$@"
