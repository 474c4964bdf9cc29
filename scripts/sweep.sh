#!/usr/bin/env bash
# The corpus sweep: converts every SWF under a folder with `tevlin convert` at a small size
# and a frame cap, each run under a time and an address-space cap, and counts how each
# ended: converted, refused with a message, crashed, timed out, or over memory.
#
#   scripts/sweep.sh TEVLIN CORPUS_DIR
#
# SWEEP_SECONDS (20), SWEEP_MEMORY_MB (2048), SWEEP_FRAMES (10) and SWEEP_JOBS (the cores)
# change the caps. Exits 1 when any run crashed, timed out, went over memory or was refused
# without a message; the runs that did are listed.
set -uo pipefail

tevlin=${1:?usage: sweep.sh TEVLIN CORPUS_DIR}
corpus=${2:?usage: sweep.sh TEVLIN CORPUS_DIR}
seconds=${SWEEP_SECONDS:-20}
memory_mb=${SWEEP_MEMORY_MB:-2048}
frames=${SWEEP_FRAMES:-10}
jobs=${SWEEP_JOBS:-$(nproc)}

if [ ! -d "$corpus" ]; then
    echo "sweep: skipped, $corpus is not there"
    exit 0
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# One movie: prints "KIND<TAB>PATH<TAB>MESSAGE".
one() {
    local movie=$1 out err rc kind
    out="$work/$(echo "$movie" | md5sum | cut -c1-16).avi"
    err="$out.err"
    timeout -s KILL "$seconds" prlimit --as=$((memory_mb * 1024 * 1024)) \
        "$tevlin" convert "$movie" -o "$out" --size 64x48 --max-frames "$frames" -y --quiet 2>"$err" >/dev/null
    rc=$?
    rm -f "$out"
    case $rc in
        0) kind=converted ;;
        1) if grep -q '^tevlin: .' "$err"; then kind=refused; else kind=refused-silently; fi ;;
        3) kind=over-memory ;;
        137) kind=timed-out ;;
        *) kind=crashed ;;
    esac
    printf '%s\t%s\t%s\n' "$kind" "$movie" "$(head -c 300 "$err" | head -1 | sed "s|$movie|MOVIE|")"
    rm -f "$err"
}
export -f one
export tevlin seconds memory_mb frames work

find "$corpus" -name '*.swf' -type f -print0 | sort -z |
    xargs -0 -P "$jobs" -I{} bash -c 'one "$1"' _ {} >"$work/results.tsv"

count() { grep -c "^$1	" "$work/results.tsv"; }
total=$(wc -l <"$work/results.tsv")
converted=$(count converted); refused=$(count refused); silent=$(count refused-silently)
crashed=$(count crashed); timed=$(count timed-out); over=$(count over-memory)

echo "refusals by reason:"
grep '^refused	' "$work/results.tsv" | cut -f3 | sed -e 's/^tevlin: MOVIE: //' -e 's/[0-9][0-9]*/N/g' |
    sort | uniq -c | sort -rn | head -40
bad=$((silent + crashed + timed + over))
if [ "$bad" -gt 0 ]; then
    echo "runs that went wrong:"
    grep -v -e '^converted	' -e '^refused	' "$work/results.tsv"
fi
echo "sweep: $total movies: $converted converted, $refused refused with a message, $silent refused without one," \
     "$crashed crashed, $timed timed out, $over over memory (caps: ${seconds} s, ${memory_mb} MB, $frames frames)"
[ "$bad" -eq 0 ]
