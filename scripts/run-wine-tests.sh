#!/usr/bin/env bash
# Runs the Windows build's tests under Wine, on a virtual X display, with a Wine prefix
# inside the build folder. Arguments after the build folder go to ctest.
set -euo pipefail
build=$(cd "$1" && pwd)
shift
export WINEPREFIX="$build/wineprefix"
export TEVLIN_WINEPREFIX="$WINEPREFIX"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
here=$(cd "$(dirname "$0")" && pwd)

run() {
  # One persistent wineserver for the whole run. Wine's own background processes start
  # here with their output on /dev/null: started by a test instead, they would inherit the
  # test's pipes and keep ctest waiting for them to close.
  mkdir -p "$WINEPREFIX"
  wineserver -p
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "creating the Wine prefix in $WINEPREFIX" >&2
    wineboot -i </dev/null >/dev/null 2>&1
  fi
  wine cmd /c exit </dev/null >/dev/null 2>&1
  status=0
  (cd "$build" && ctest --output-on-failure "$@") || status=$?
  wineserver -k || true
  return $status
}

# Inside the virtual display (the script calls itself there), run the tests.
if [ "${TEVLIN_IN_XVFB:-}" = 1 ]; then
  run "$@"
else
  TEVLIN_IN_XVFB=1 exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$here/run-wine-tests.sh" "$build" "$@"
fi
