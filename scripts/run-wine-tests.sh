#!/usr/bin/env bash
# Runs a Windows build's tests under Wine, on a virtual X display, with a Wine prefix inside
# the build folder:
#   run-wine-tests.sh win32|win64 BUILD_DIR [CTEST_ARGUMENTS...]
# The kind names the Wine that runs the build (32-bit or 64-bit loader and server).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine-env.sh"
kind=$1
build=$(cd "$2" && pwd)
shift 2
if reason=$(wine_unusable "$kind"); then
  echo "run-wine-tests: the $kind build's tests cannot run here: $reason" >&2
  exit 1
fi
wine_select "$kind"
export WINEPREFIX="$build/wineprefix"
export TEVLIN_WINEPREFIX="$WINEPREFIX"

run() {
  # One persistent wineserver for the whole run. Wine's own background processes start
  # here with their output on /dev/null: started by a test instead, they would inherit the
  # test's pipes and keep ctest waiting for them to close.
  mkdir -p "$WINEPREFIX"
  "$WINE_SERVER" -p
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "creating the Wine prefix in $WINEPREFIX" >&2
    "$WINE_LOADER" wineboot -i </dev/null >/dev/null 2>&1
  fi
  "$WINE_LOADER" cmd /c exit </dev/null >/dev/null 2>&1
  status=0
  (cd "$build" && ctest --output-on-failure "$@") || status=$?
  "$WINE_SERVER" -k || true
  return $status
}

# Inside the virtual display (the script calls itself there), run the tests.
if [ "${TEVLIN_IN_XVFB:-}" = 1 ]; then
  run "$@"
else
  TEVLIN_IN_XVFB=1 exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$here/run-wine-tests.sh" "$kind" "$build" "$@"
fi
