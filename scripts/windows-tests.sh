#!/usr/bin/env bash
# Runs the tests of both Windows builds under Wine, each where its Wine can start:
#
#   windows-tests.sh SUMMARY_FILE WIN64_DIR WIN32_DIR [CTEST_ARGUMENTS...]
#
# The 64-bit build's tests run on every machine and must pass. The 32-bit build's run where
# this machine starts 32-bit programs and 32-bit Wine is installed; elsewhere they are left
# out with the reason. One line naming what ran, and why the rest did not, goes to the
# standard output and into SUMMARY_FILE. Exits 1 when any test that ran failed, or when the
# 64-bit tests could not run.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine-env.sh"
summary_file=$1
declare -A dirs=([win64]=$2 [win32]=$3)
shift 3

parts=()
status=0
for kind in win64 win32; do
  dir=${dirs[$kind]}
  bits=${kind#win}
  if reason=$(wine_unusable "$kind"); then
    parts+=("$kind did not run: $reason")
    [ "$kind" = win64 ] && status=1
    continue
  fi
  log=$(mktemp)
  bash "$here/run-wine-tests.sh" "$kind" "$dir" "$@" 2>&1 | tee "$log"
  result=${PIPESTATUS[0]}
  # ctest's own count: "100% tests passed, 0 tests failed out of 243".
  counts=$(sed -n 's/.*tests passed, \([0-9]*\) tests failed out of \([0-9]*\).*/\1 \2/p' "$log" | tail -1)
  rm -f "$log"
  read -r failed total <<<"${counts:-x x}"
  if [ "$result" = 0 ] && [ "$failed" = 0 ]; then
    parts+=("$kind ran under ${bits}-bit Wine ($total tests, all passed)")
  elif [ "$total" != x ]; then
    parts+=("$kind ran under ${bits}-bit Wine ($total tests, $failed FAILED)")
    status=1
  else
    parts+=("$kind FAILED under ${bits}-bit Wine before ctest's count")
    status=1
  fi
done

line="Windows tests: $(IFS=';'; echo "${parts[*]}" | sed 's/;/; /g')"
mkdir -p "$(dirname "$summary_file")"
echo "$line" | tee "$summary_file"
exit $status
