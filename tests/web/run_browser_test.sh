#!/usr/bin/env bash
# CTest entry for the web label: the browser run on build-web/site. Reports skipped (77) only
# when the web edition was turned off with BRIMMEL_WEB=0; a missing build otherwise fails.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
if [ "${BRIMMEL_WEB:-1}" = "0" ]; then
  echo "the web edition is turned off (BRIMMEL_WEB=0): skipped"
  exit 77
fi
if [ ! -f "$root/build-web/site/index.html" ] || [ ! -d "$root/tests/web/node_modules/puppeteer-core" ]; then
  echo "no web build: run scripts/web --build-only first (or set BRIMMEL_WEB=0 to turn the edition off)"
  exit 1
fi
# Firefox and WebKit run headed: on the display there is, else on a private Xvfb.
if [ -n "${DISPLAY:-}" ]; then
  exec node "$root/tests/web/browser_test.js" --site "$root/build-web/site" "$@"
fi
exec xvfb-run -a -s "-screen 0 1280x1024x24" node "$root/tests/web/browser_test.js" --site "$root/build-web/site" "$@"
