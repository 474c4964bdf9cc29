#!/usr/bin/env bash
# Runs each libFuzzer harness for a bounded time (make fuzz).
#
#   scripts/fuzz.sh FUZZ_BUILD_DIR CORPUS_DIR SECONDS
#
# The movie harnesses start from the SWF corpus when it is there, the image and script
# harnesses from the seeds tevlin_fuzz_seeds writes; what each run finds is kept in
# FUZZ_BUILD_DIR/corpus/NAME for the next. Crashes land in FUZZ_BUILD_DIR/crashes. Prints
# one line per harness: runs, seconds, executions per second, crashes. Exits 1 on a crash.
set -uo pipefail

dir=${1:?usage: fuzz.sh FUZZ_BUILD_DIR CORPUS_DIR SECONDS}
corpus=${2:?}
seconds=${3:-60}
mkdir -p "$dir/corpus" "$dir/crashes" "$dir/seeds/image" "$dir/seeds/avm1" "$dir/seeds/media" "$dir/logs"
"$dir/tests/fuzz/tevlin_fuzz_seeds" "$dir/seeds/image" "$dir/seeds/avm1" || exit 1

# The media harness starts from sounds and video that ffmpeg encodes, each behind the byte
# that chooses its decoder (see media_fuzz.cpp), when ffmpeg is there.
media_seed() {  # NAME SELECTOR_HEX FFMPEG_ARGS...
    local name=$1 selector=$2
    shift 2
    local raw="$dir/seeds/media/$name.raw"
    if ffmpeg -nostdin -v error -y "$@" "$raw" 2>/dev/null; then
        { printf "\\x$selector"; cat "$raw"; } >"$dir/seeds/media/$name"
    fi
    rm -f "$raw"
}
if command -v ffmpeg >/dev/null 2>&1; then
    tone=(-f lavfi -i "sine=d=0.3:sample_rate=22050")
    media_seed mp3 2b "${tone[@]}" -c:a libmp3lame -f mp3
    media_seed adpcm 1a "${tone[@]}" -c:a adpcm_swf -f flv
    media_seed pcm 3a "${tone[@]}" -f s16le
    media_seed nelly 6a "${tone[@]}" -c:a nellymoser -f flv
    media_seed h263 82 -f lavfi -i testsrc=s=32x32:d=0.1 -c:v flv -f rawvideo
    # Bits 3 and 4 of the selector are the stream's deblocking setting: 2 filters every picture.
    media_seed h263deblock 92 -f lavfi -i testsrc=s=48x32:d=0.1 -c:v flv -q:v 31 -f rawvideo
    media_seed screen 83 -f lavfi -i testsrc=s=32x32:d=0.1 -c:v flashsv -f rawvideo
fi

status=0
summary=()
for name in header tags image engine avm1 media; do
    mkdir -p "$dir/corpus/$name"
    seeds=()
    case $name in
        image) seeds=("$dir/seeds/image") ;;
        avm1) seeds=("$dir/seeds/avm1") ;;
        media) seeds=("$dir/seeds/media") ;;
        *) [ -d "$corpus" ] && seeds=("$corpus") ;;
    esac
    log="$dir/logs/$name.log"
    before=$(ls "$dir/crashes" | grep -c "^$name-" || true)
    "$dir/tests/fuzz/tevlin_fuzz_$name" -max_total_time="$seconds" -max_len=1048576 -rss_limit_mb=2048 -timeout=20 \
        -print_final_stats=1 -artifact_prefix="$dir/crashes/$name-" "$dir/corpus/$name" "${seeds[@]}" >"$log" 2>&1
    rc=$?
    after=$(ls "$dir/crashes" | grep -c "^$name-" || true)
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -1)
    took=$(grep -o 'Done [0-9]* runs in [0-9]* second' "$log" | grep -o 'in [0-9]*' | grep -o '[0-9]*' | tail -1)
    rate=$(grep -o 'stat::average_exec_per_sec: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -1)
    found=$((after - before))
    summary+=("fuzz $name: ${runs:-0} runs in ${took:-$seconds} s (${rate:-0} exec/s), $found crashes")
    if [ $rc -ne 0 ] || [ $found -gt 0 ]; then
        status=1
        echo "fuzz $name failed (exit $rc); the end of $log:"
        tail -30 "$log"
    fi
done
printf '%s\n' "${summary[@]}"
exit $status
