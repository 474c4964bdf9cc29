#!/usr/bin/env bash
# Runs a Windows test executable under Wine with the build folder's own prefix.
# ctest calls this as the cross-compiling emulator; TEVLIN_WINEPREFIX is set by the Makefile
# (the prefix then lives inside the build folder) or defaults next to the executable's build.
set -eu
if [ -z "${WINEPREFIX:-}" ]; then
  export WINEPREFIX="${TEVLIN_WINEPREFIX:-$PWD/wineprefix}"
fi
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko: their installers would open a dialog on the first start of a prefix.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
exec wine "$@"
