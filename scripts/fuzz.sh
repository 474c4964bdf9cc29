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
mkdir -p "$dir/corpus" "$dir/crashes" "$dir/seeds/image" "$dir/seeds/avm1" "$dir/logs"
"$dir/tests/fuzz/tevlin_fuzz_seeds" "$dir/seeds/image" "$dir/seeds/avm1" || exit 1

status=0
summary=()
for name in header tags image engine avm1; do
    mkdir -p "$dir/corpus/$name"
    seeds=()
    case $name in
        image) seeds=("$dir/seeds/image") ;;
        avm1) seeds=("$dir/seeds/avm1") ;;
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
