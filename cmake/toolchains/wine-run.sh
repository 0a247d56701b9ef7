#!/bin/sh
# Runs a Windows program under Wine: the test runner of the Windows build.
#
#   WINEPREFIX=DIR wine-run.sh PROGRAM.exe ARGS...
#
# Quiet, without the Mono and Gecko installers, in the Wine prefix DIR (made on
# first use). The first call starts a wineserver that stays a minute after the
# last program, with Wine's own services already running: a test then starts
# in a twentieth of a second, and its output ends when it ends. (Services that a
# test itself started would hold its output open until the server quit, three
# seconds later, for every test.)
set -e
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine=$(command -v wine || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver64)
mkdir -p "${WINEPREFIX:?}"
# Returns at once when a server already runs for this prefix.
"$wineserver" -p60 </dev/null >/dev/null 2>&1 || true
"$wine" cmd /c exit </dev/null >/dev/null 2>&1 || true
exec "$wine" "$@"
