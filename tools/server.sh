#!/usr/bin/env bash
# Builds the world list's server (installing what is missing) and starts it on
# 127.0.0.1 with its SQLite file in build/server/.
#
#   tools/server.sh [--port N] [kelo-server's options...]
#
# Port 8080 unless told; kelo-server --help names the other options
# (--database postgresql://... for PostgreSQL). Ctrl+C ends it.
set -euo pipefail
cd "$(dirname "$0")/.."
port=8080
args=()
while [ $# -gt 0 ]; do
  case $1 in
    --port) port=$2; shift 2 ;;
    --help) sed -n '2,8p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) args+=("$1"); shift ;;
  esac
done
tools/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release --target kelo-server
mkdir -p build/server
exec build/release/game/kelo-server --host 127.0.0.1 --port "$port" --database build/server/world.db "${args[@]}"
