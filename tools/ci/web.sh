#!/usr/bin/env bash
# CI stage of the browser build: the page (tools/web.sh), the portable tests
# built for WebAssembly and run under Node (the golden replay among them),
# then the page played in Debian's Chromium, headless (tests/web/browser_test.mjs),
# and the page where browsers fail or differ (tests/web/page_test.mjs).
set -euo pipefail
cd "$(dirname "$0")/../.."
start=$SECONDS

tools/setup.sh chromium
tools/web.sh
cmake --build --preset web
ctest --preset web
node tests/web/browser_test.mjs
node tests/web/page_test.mjs

echo "Browser stage: $((SECONDS - start)) s"
