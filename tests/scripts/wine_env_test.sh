#!/usr/bin/env bash
# Which Windows builds' tests can run, and the line that says so: scripts/wine-env.sh and
# scripts/windows-tests.sh against a stand-in Wine folder whose servers start, are missing,
# or are programs this machine cannot start.
#   wine_env_test.sh SOURCE_DIR
set -uo pipefail
src=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
check() {  # check NAME ACTUAL EXPECTED-PATTERN
  if [[ "$2" == $3 ]]; then echo "ok   $1"; else echo "FAIL $1: got [$2], want [$3]"; failures=$((failures + 1)); fi
}

# A server that answers, and a "server" that is an executable of no known format: starting
# it fails with ENOEXEC, as a 32-bit program does where the kernel has 32-bit emulation off.
mkdir -p "$work/good" "$work/foreign" "$work/empty"
printf '#!/bin/sh\necho "Wine 8.0"\n' >"$work/good/wineserver64"
printf '#!/bin/sh\nexit 0\n' >"$work/good/wine64"
printf '\177ELF\002\001\001\000\000\000\000\000\000\000\000\000\002\000\267\000' >"$work/foreign/wineserver64"
cp "$work/good/wine64" "$work/foreign/wine64"
chmod +x "$work"/good/* "$work"/foreign/*

unusable() {  # unusable DIR KIND: the reason, or "usable"
  (TEVLIN_WINE_DIR=$1; source "$src/scripts/wine-env.sh"; wine_unusable "$2" || echo usable)
}
check "a server that starts is usable" "$(unusable "$work/good" win64)" "usable"
check "a missing Wine names its package" "$(unusable "$work/empty" win64)" "wine64 is not installed"
check "a server that cannot start says why" "$(unusable "$work/foreign" win64)" \
  "$work/foreign/wineserver64 does not start here (Exec format error)"
check "an unknown kind of build is refused" "$(unusable "$work/good" win16 2>&1)" "*unknown kind of build 'win16'*"

# The 32-bit build: its reason comes from starting a 32-bit program first.
own32=$(source "$src/scripts/wine-env.sh"; cannot_start_32bit || echo starts)
reason32=$(unusable "$work/empty" win32)
if [ "$own32" = starts ]; then
  check "where 32-bit programs start, a missing wine32 is the reason" "$reason32" "wine32:i386 is not installed"
else
  check "where 32-bit programs cannot start, that is the reason" "$reason32" "this machine cannot start 32-bit programs*"
fi

# The summary: the 64-bit tests must run; one line says what ran and why the rest did not.
out=$(TEVLIN_WINE_DIR="$work/foreign" bash "$src/scripts/windows-tests.sh" "$work/summary.txt" "$work/b64" "$work/b32" 2>&1)
status=$?
check "64-bit tests that cannot run fail the run" "$status" "1"
check "the summary goes to the standard output" "$(printf '%s\n' "$out" | tail -1)" "$(cat "$work/summary.txt")"
check "the summary is one line" "$(wc -l <"$work/summary.txt" | tr -d ' ')" "1"
check "the summary names each build and why it did not run" "$(cat "$work/summary.txt")" \
  "Windows tests: win64 did not run: $work/foreign/wineserver64 does not start here (Exec format error); win32 did not run: *"

# run-wine-tests.sh refuses a build whose Wine cannot start, with the reason.
out=$(TEVLIN_WINE_DIR="$work/empty" bash "$src/scripts/run-wine-tests.sh" win64 "$work" 2>&1)
status=$?
check "one build's tests that cannot run fail" "$status" "1"
check "and say why" "$out" "*the win64 build's tests cannot run here: wine64 is not installed*"

[ $failures = 0 ]
