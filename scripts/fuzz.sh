#!/usr/bin/env bash
# Builds the libFuzzer harnesses with clang and runs each for SECONDS (default 60) on a copy
# of its seed corpus. A crash fails the script and leaves the crashing input in build-fuzz/.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
seconds=${1:-60}
dir="$ov_root/build-fuzz"
CC=clang CXX=clang++ ov_build "$dir" -DOV_FUZZ=ON -DOV_BUILD_GUI=OFF -DOV_BUILD_BENCH=OFF \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
shopt -s nullglob
count=0
for fuzzer in "$dir"/bin/*_fuzzer; do
    name=$(basename "$fuzzer")
    work="$dir/corpus/$name"
    mkdir -p "$work"
    seeds="$ov_root/fuzz/corpus/$name"
    [ -d "$seeds" ] && cp -n "$seeds"/* "$work"/ 2>/dev/null || true
    echo "fuzz: $name for ${seconds}s"
    (cd "$dir" && "$fuzzer" -max_total_time="$seconds" -rss_limit_mb=2048 -print_final_stats=0 \
        "$work" 2>"$dir/$name.log") || { tail -40 "$dir/$name.log"; exit 1; }
    count=$((count + 1))
done
echo "fuzz: $count harnesses ran without a crash"
