#!/usr/bin/env bash
# Installs the Debian packages that the builds and tests need, only those missing.
# --native-only skips the Windows build's, --fuzz adds clang for the fuzzers.
# Safe to run again: when everything is there it does nothing and asks no network.
set -euo pipefail

native_pkgs=(build-essential cmake pkg-config zlib1g-dev libgtest-dev libgmock-dev
             libbenchmark-dev googletest ffmpeg libcairo2-dev libjpeg62-turbo-dev
             libpng-dev libgif-dev libfreetype-dev libfontconfig-dev fonts-dejavu-core)
win32_pkgs=(g++-mingw-w64-i686 libz-mingw-w64-dev xvfb xauth wine wine32:i386)

fuzz_pkgs=(clang libclang-rt-14-dev)

want=("${native_pkgs[@]}")
case "${1:-}" in
  --native-only) ;;
  --fuzz) want+=("${fuzz_pkgs[@]}") ;;
  *) want+=("${win32_pkgs[@]}") ;;
esac

SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO="sudo"; fi

missing=()
for p in "${want[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup: installing ${missing[*]}" >&2
for p in "${missing[@]}"; do
  case "$p" in
    *:i386)
      if ! dpkg --print-foreign-architectures | grep -qx i386; then
        $SUDO dpkg --add-architecture i386
      fi ;;
  esac
done
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
