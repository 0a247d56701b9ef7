#!/usr/bin/env bash
# CI stage of the browser build: the page (tools/web.sh), the portable tests
# built for WebAssembly and run under Node (the golden replay among them),
# then the page played in three browser engines from Debian: Chromium and
# Firefox ESR headless, WebKitGTK's MiniBrowser on a virtual display
# (tests/web/browser_test.mjs), the page where browsers fail or differ
# (tests/web/page_test.mjs), and the page's replays and world list against a
# kelo-server of the test's own (tests/web/world_test.mjs).
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
# The server and the harness of the native build (built already by tools/test.sh).
cmake --build --preset release --target kelo-server kelo-harness
world=$SECONDS
node tests/web/world_test.mjs
echo "Replays and world list in the page: $((SECONDS - world)) s"

echo "Browser stage: $((SECONDS - start)) s"
