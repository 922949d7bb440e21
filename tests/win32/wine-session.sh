#!/bin/sh
# One Wine session for all the Windows cases: a fresh prefix, a persistent
# server, and a first run that boots the prefix with its output thrown away
# (Wine's own services, started then, would otherwise hold the test's pipes
# open).
#   wine-session.sh start WINE WINESERVER PROGRAM
#   wine-session.sh stop WINESERVER
# WINEPREFIX names the prefix. A machine that cannot run Wine still passes
# here: the cases themselves report that they were skipped.
set -u
case "$1" in
  start)
    rm -rf "$WINEPREFIX" && mkdir -p "$WINEPREFIX"
    "$3" -p 2>/dev/null || true
    "$2" "$4" </dev/null >/dev/null 2>&1 || true
    exit 0 ;;
  stop)
    "$2" -k 2>/dev/null || true
    exit 0 ;;
esac
exit 2
