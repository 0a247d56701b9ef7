#!/usr/bin/env bash
# Builds the game's page into build/web/: index.html and everything it loads,
# to be served as it is by any web server.
#
#   tools/web.sh                  builds the page
#   tools/web.sh --serve [PORT]   builds it and serves it on 127.0.0.1 (default 8000)
#
# Like tools/test.sh it installs what it needs: Debian's packages, the native
# build's asset generator (every build embeds the same pictures), the
# libraries for the browser from Debian's sources (tools/deps.sh web) and the
# npm packages of tools/web/package.json (into build/npm/).
set -euo pipefail
cd "$(dirname "$0")/.."

serve=""
port=8000
case "${1:-}" in
  "") ;;
  --serve)
    serve=1
    port=${2:-8000}
    ;;
  *)
    echo "usage: $0 [--serve [PORT]]" >&2
    exit 2
    ;;
esac

# Node and npm: Debian's, unless the machine has its own already; fontTools
# cuts the page's text face.
tools/setup.sh python3-fonttools
command -v node >/dev/null || tools/setup.sh nodejs
command -v npm >/dev/null || tools/setup.sh npm

# The asset generator runs on this machine.
cmake --preset release -DKELO_WERROR="${KELO_WERROR:-OFF}" >/dev/null
cmake --build --preset release --target kelo-assetgen

# The page needs no SDL: only these of the libraries.
tools/deps.sh web zlib giflib freetype googletest

# The npm packages, installed again only when the lock file changes.
mkdir -p build/npm
if ! cmp -s tools/web/package-lock.json build/npm/package-lock.json || [ ! -d build/npm/node_modules ]; then
  cp tools/web/package.json tools/web/package-lock.json build/npm/
  (cd build/npm && npm ci --no-audit --no-fund --loglevel=error)
fi

cmake --preset web -DKELO_WERROR="${KELO_WERROR:-OFF}" >/dev/null
cmake --build --preset web --target kelo-page
echo "The page is in build/web/."

if [ -n "$serve" ]; then
  exec node tools/web/serve.mjs build/web "$port"
fi
