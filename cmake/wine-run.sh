#!/bin/sh
# Usage: wine-run.sh LOADER PREFIX DLL_DIR... -- PROGRAM [ARG...]
# Runs a Windows program under the Wine loader LOADER in the Wine prefix
# PREFIX, with DLLs searched for in the DLL_DIRs. The first run creates the
# prefix, which takes seconds; runs that start meanwhile wait for it rather
# than create it as well.
set -eu
loader=$1
export WINEPREFIX=$2 WINEDEBUG=-all
shift 2
WINEPATH=
while [ "$1" != -- ]; do
  WINEPATH="$WINEPATH${WINEPATH:+;}$1"
  shift
done
shift
ready=$WINEPREFIX/tovra-ready
if [ ! -f "$ready" ]; then
  flock "$WINEPREFIX.lock" sh -c '[ -f "$2" ] || { "$1" wineboot --init >/dev/null 2>&1 && touch "$2"; }' sh "$loader" "$ready"
  [ -f "$ready" ] || { echo "wine-run.sh: $loader wineboot --init failed for $WINEPREFIX" >&2; exit 1; }
fi
export WINEPATH
# A program that starts while the previous one's wineserver is shutting down
# can lose its connection before it runs ("wine client error: ...: Connection
# reset by peer"); that is Wine's, not the program's, so it is run again.
err=$(mktemp)
trap 'rm -f "$err"' EXIT
attempt=1
while :; do
  status=0
  "$loader" "$@" 2>"$err" || status=$?
  if [ "$status" -ne 0 ] && [ "$attempt" -lt 3 ] && grep -q '^wine client error' "$err"; then
    attempt=$((attempt + 1))
    sleep 1
    continue
  fi
  cat "$err" >&2
  exit "$status"
done
