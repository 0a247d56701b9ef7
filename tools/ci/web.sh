#!/usr/bin/env bash
# CI stage of the browser build: the page (tools/web.sh), the portable tests
# built for WebAssembly and run under Node (the golden replay among them),
# then the page played in three browser engines from Debian: Chromium and
# Firefox ESR headless, WebKitGTK's MiniBrowser on a virtual display
# (tests/web/browser_test.mjs), and the page where browsers fail or differ
# (tests/web/page_test.mjs).
set -euo pipefail
cd "$(dirname "$0")/../.."
start=$SECONDS

packages=$SECONDS
tools/setup.sh chromium firefox-esr webkit2gtk-driver xvfb
echo "Browsers installed in $((SECONDS - packages)) s"
tools/web.sh
cmake --build --preset web
ctest --preset web
node tests/web/browser_test.mjs
node tests/web/page_test.mjs

echo "Browser stage: $((SECONDS - start)) s"
