#!/usr/bin/env bash
# Installs the Debian packages that the builds and tests need, only those missing.
#
#   setup.sh [converter|native|cross|wine|fuzz]...
#
#   converter  what building the converter and the demo movie needs (make demo)
#   native     the native build with its tests and benchmarks
#   cross      the mingw-w64 compilers of both Windows builds
#   wine       Xvfb and 64-bit Wine, for the Windows builds' tests; and 32-bit Wine where this
#              machine can start 32-bit programs
#   fuzz       clang and its sanitizer runtime, for the libFuzzer harnesses
#
# Without a group: everything `make test` needs. Safe to run again: when
# everything is there it does nothing and asks no network. A package that cannot be installed
# stops the script with one line naming it; 32-bit Wine alone is optional, since the 64-bit
# Windows build's tests stand in for the 32-bit one's wherever it cannot run.
set -euo pipefail

converter_pkgs=(build-essential cmake pkg-config zlib1g-dev libjpeg62-turbo-dev libpng-dev
                libgif-dev libfreetype-dev libfontconfig-dev fonts-dejavu-core
                libavcodec-dev libavutil-dev libswscale-dev libavformat-dev libswresample-dev liblzma-dev)
native_pkgs=("${converter_pkgs[@]}" libgtest-dev libgmock-dev googletest libbenchmark-dev
             libcairo2-dev ffmpeg xz-utils)
cross_pkgs=(g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix libz-mingw-w64-dev)
wine_pkgs=(xvfb xauth wine64)
fuzz_pkgs=(clang libclang-rt-14-dev)
wine32_pkg=wine32:i386

groups=("$@")
[ ${#groups[@]} -eq 0 ] && groups=(native cross wine)
want=()
with_wine32=0
for g in "${groups[@]}"; do
  case "$g" in
    converter) want+=("${converter_pkgs[@]}") ;;
    native) want+=("${native_pkgs[@]}") ;;
    cross) want+=("${cross_pkgs[@]}") ;;
    wine) want+=("${wine_pkgs[@]}"); with_wine32=1 ;;
    fuzz) want+=("${fuzz_pkgs[@]}") ;;
    *) echo "setup: unknown group '$g' (converter, native, cross, wine or fuzz)" >&2; exit 2 ;;
  esac
done

source "$(dirname "$0")/wine-env.sh"

SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

missing_of() {
  local p
  for p in "$@"; do installed "$p" || echo "$p"; done
}

# A mirror that is mid-sync can fail one index while the rest are fine: go on with what
# was read, and let the install say whether a package is really out of reach.
apt_update() {
  local log
  log=$(mktemp)
  if ! $SUDO apt-get update -qq >"$log" 2>&1 || grep -q '^E:' "$log"; then
    echo "setup: apt-get update reported errors; going on with the package lists it could read:" >&2
    grep '^[EW]:' "$log" | head -3 | sed 's/^/setup:   /' >&2
  fi
  rm -f "$log"
}

# The reason apt gives for not installing one package, in one line.
apt_refusal() {
  local out
  out=$($SUDO apt-get install -s -y --no-install-recommends "$1" 2>&1) && return 1
  printf '%s\n' "$out" | grep -E '^E:|Depends:|has no installation candidate|Unable to locate' \
    | head -1 | sed 's/^ *//'
  return 0
}

# Installs the packages named; on failure prints the first one that apt refuses, with its
# reason, and fails.
apt_install() {
  local log
  log=$(mktemp)
  if $SUDO apt-get install -y -qq --no-install-recommends "$@" >"$log" 2>&1; then
    rm -f "$log"
    return 0
  fi
  local p reason
  for p in "$@"; do
    if reason=$(apt_refusal "$p"); then
      echo "setup: cannot install $p: ${reason:-apt-get refused it}" >&2
      rm -f "$log"
      return 1
    fi
  done
  echo "setup: cannot install $*: $(grep '^E:' "$log" | tail -1)" >&2
  rm -f "$log"
  return 1
}

mapfile -t missing < <(missing_of "${want[@]}")
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}" >&2
  apt_update
  apt_install "${missing[@]}" || exit 1
fi

# 32-bit Wine, for the 32-bit Windows build's tests: only where it can start, and only
# attempted once the rest is in place.
if [ $with_wine32 = 1 ] && ! installed "$wine32_pkg"; then
  if cannot_start_32bit >/dev/null; then
    exit 0
  fi
  added_arch=0
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
    added_arch=1
  fi
  echo "setup: installing $wine32_pkg (this machine starts 32-bit programs)" >&2
  apt_update
  if ! apt_install "$wine32_pkg"; then
    echo "setup: going on without $wine32_pkg: the 32-bit Windows build's tests will not run" >&2
    # Leave the machine as it was: an i386 architecture without packages only slows apt.
    if [ $added_arch = 1 ] && ! dpkg-query -W -f='${Architecture}\n' 2>/dev/null | grep -qx i386; then
      $SUDO dpkg --remove-architecture i386 || true
    fi
  fi
fi
exit 0
