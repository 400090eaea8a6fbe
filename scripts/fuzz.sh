#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz/*_fuzz.cpp) with clang, replays every regression input of
# fuzz/regressions/TARGET/, then runs each target for SECONDS (default 20) on its seed corpus.
#
#   bash scripts/fuzz.sh [SECONDS] [TARGET...]
#
# The README's test command runs it briefly; for a long run give it an hour or more:
#   bash scripts/fuzz.sh 3600
# What a run learns stays in build/fuzz/corpus/TARGET (seeded from fuzz/corpus/TARGET) for the next
# run. A crash leaves its input in build/fuzz/artifacts/TARGET/ and fails the run: copy that file
# into fuzz/regressions/TARGET/ with the fix, so every later run replays it.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-20}
shift || true
case $seconds in '' | *[!0-9]*) echo "usage: $0 [SECONDS] [TARGET...]" >&2; exit 2 ;; esac

build=build/fuzz
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
if [ ! -f "$build/build.ninja" ]; then
    CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARNEL_FUZZ=ON \
        -DVARNEL_BUILD_TESTS=OFF -DVARNEL_BUILD_BENCH=OFF "${launcher[@]}" >/dev/null
fi

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for source in fuzz/*_fuzz.cpp; do targets+=("$(basename "$source" .cpp)"); done
fi
cmake --build "$build" -j "$(nproc)" --target "${targets[@]}"

status=0
for target in "${targets[@]}"; do
    name=${target%_fuzz}
    binary=$build/fuzz/$target
    corpus=$build/corpus/$name
    artifacts=$build/artifacts/$name/
    mkdir -p "$corpus" "$artifacts"
    if [ -d "fuzz/regressions/$name" ] && [ -n "$(ls -A "fuzz/regressions/$name")" ]; then
        echo "=== $target: regression inputs ==="
        "$binary" -runs=0 fuzz/regressions/"$name"/* 2>&1 | tail -n 1 || status=1
    fi
    echo "=== $target: $seconds s ==="
    # -merge first takes in the seeds, so the corpus size printed is that of this run's corpus.
    "$binary" -merge=1 "$corpus" "fuzz/corpus/$name" >/dev/null 2>&1 || true
    log=$build/$name.log
    if "$binary" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$artifacts" \
        -timeout=10 -rss_limit_mb=2048 -max_len=70000 "$corpus" >"$log" 2>&1; then
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
        speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
        echo "$target: $runs runs, $speed exec/s, corpus $(ls "$corpus" | wc -l) inputs"
    else
        echo "$target: FAILED, input kept in $artifacts" >&2
        grep -E 'ERROR|SUMMARY|deadly signal|Test unit written' "$log" | head -n 20 >&2
        status=1
    fi
done
exit $status
