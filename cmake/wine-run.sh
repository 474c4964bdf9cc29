#!/usr/bin/env bash
# Runs a Windows test executable under Wine with the build folder's own prefix:
#   wine-run.sh win32|win64 PROGRAM [ARGUMENTS...]
# ctest calls this as the cross-compiling emulator. The loader is named by path: Debian's
# `wine` wrapper takes the 32-bit one whenever wine32 is installed, whatever the program.
# TEVLIN_WINEPREFIX is set by scripts/run-wine-tests.sh (the prefix then lives inside the
# build folder) or defaults next to the executable's build.
set -eu
source "$(dirname "$0")/../scripts/wine-env.sh"
arch=$1
shift
wine_select "$arch"
if [ -z "${WINEPREFIX:-}" ]; then
  export WINEPREFIX="${TEVLIN_WINEPREFIX:-$PWD/wineprefix}"
fi
exec "$WINE_LOADER" "$@"
