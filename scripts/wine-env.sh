# Sourced by the scripts that install and run Wine: which loader and server serve a build's
# pointer size, and whether this machine can start them.

export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko: their installers would open a dialog on the first start of a prefix.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

# Where Debian's wine32 and wine64 put their loaders and servers (a test points it elsewhere).
TEVLIN_WINE_DIR="${TEVLIN_WINE_DIR:-/usr/lib/wine}"

# wine_select win32|win64: sets WINE_LOADER and WINE_SERVER for that kind of build.
wine_select() {
  case "$1" in
    win32) WINE_LOADER=$TEVLIN_WINE_DIR/wine;   WINE_SERVER=$TEVLIN_WINE_DIR/wineserver32 ;;
    win64) WINE_LOADER=$TEVLIN_WINE_DIR/wine64; WINE_SERVER=$TEVLIN_WINE_DIR/wineserver64 ;;
    *) echo "wine: unknown kind of build '$1' (win32 or win64)" >&2; return 2 ;;
  esac
  # The loader starts the server named here.
  export WINE_LOADER WINE_SERVER WINESERVER="$WINE_SERVER"
}

# Prints why this machine cannot start 32-bit x86 programs, or nothing and fails when it
# can. Asked by starting one (three instructions that exit with 7), not by reading the
# kernel's settings: a kernel with 32-bit emulation off refuses them with "Exec format
# error". Needs the assembler and linker of binutils.
cannot_start_32bit() {
  if ! command -v as >/dev/null || ! command -v ld >/dev/null; then
    echo "binutils is missing, so no 32-bit test program could be made"
    return 0
  fi
  local dir status=0 out=""
  dir=$(mktemp -d)
  printf '.globl _start\n_start:\n movl $1, %%eax\n movl $7, %%ebx\n int $0x80\n' >"$dir/p.s"
  if as --32 "$dir/p.s" -o "$dir/p.o" 2>/dev/null && ld -m elf_i386 "$dir/p.o" -o "$dir/p" 2>/dev/null; then
    out=$( ("$dir/p") 2>&1) || status=$?
  else
    status=-1
  fi
  rm -rf "$dir"
  [ "$status" = 7 ] && return 1
  if [ "$status" = -1 ]; then
    echo "no 32-bit test program could be assembled"
  else
    echo "this machine cannot start 32-bit programs (${out##*: })"
  fi
  return 0
}

# wine_unusable win32|win64: prints why that Wine cannot run here and succeeds, or prints
# nothing and fails. The server is started to ask: a machine that cannot start 32-bit
# programs may still have wine32 installed.
wine_unusable() {
  wine_select "$1" || return 0
  local package=wine64 reason
  if [ "$1" = win32 ]; then
    package=wine32:i386
    if reason=$(cannot_start_32bit); then echo "$reason"; return 0; fi
  fi
  if [ ! -x "$WINE_LOADER" ] || [ ! -x "$WINE_SERVER" ]; then
    echo "$package is not installed"
    return 0
  fi
  local out
  if ! out=$("$WINE_SERVER" --version 2>&1); then
    echo "$WINE_SERVER does not start here (${out##*: })"
    return 0
  fi
  return 1
}
