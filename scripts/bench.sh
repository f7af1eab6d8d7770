#!/usr/bin/env bash
# Builds and runs every benchmark program, then prints one line per figure: NAME RATIO GOAL
# and "met" or "NOT met" (GOAL reads like ">= 0.8" or "<= 1.3").
# Each ratio compares two runs measured in the same process, so it holds on any machine;
# the full benchmark output goes to build/bench.log.
#
# usage: scripts/bench.sh [--text-mib=N] [benchmark options...]
#   --text-mib=N  size of the text that the text-path benchmark encrypts and decrypts
#                 (default 256; smaller runs quicker on a busy machine)
set -euo pipefail
export OV_BENCH_TEXT_MIB=256
args=()
for arg in "$@"; do
    case "$arg" in
    --text-mib=*) OV_BENCH_TEXT_MIB=${arg#--text-mib=} ;;
    *) args+=("$arg") ;;
    esac
done
source "$(dirname "$0")/lib.sh"
"$ov_root/scripts/setup.sh"
ov_build "$ov_root/build"
log="$ov_root/build/bench.log"
: >"$log"
shopt -s nullglob
for bench in "$ov_root"/build/bin/bench_*; do
    "$bench" --benchmark_color=false ${args[@]+"${args[@]}"} 2>&1 | tee -a "$log" |
        sed -n 's/.*FIGURE //p' | awk '{
            goal = $0; sub(/^[^ ]+ [^ ]+ */, "", goal)
            op = goal; sub(/[ 0-9.eE+-]*$/, "", op); gsub(/ /, "", op)
            limit = goal; sub(/^[^0-9.+-]*/, "", limit); limit += 0
            ratio = $2 + 0
            if (op == ">=") met = ratio >= limit
            else if (op == ">") met = ratio > limit
            else if (op == "<=") met = ratio <= limit
            else if (op == "<") met = ratio < limit
            else { print $0; next }
            print $0 "  " (met ? "met" : "NOT met")
            fflush()
        }'
done
