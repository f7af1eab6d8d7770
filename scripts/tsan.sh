#!/usr/bin/env bash
# Builds the storage window tests with ThreadSanitizer (build-tsan/) and runs the tests of the
# paths where worker threads share data with the window: the load, the save and directory
# imports. The Qt libraries are not instrumented, so TSan cannot see their locks and reports
# races inside Qt itself; the script fails only on a report in which our own code made one
# of the racing accesses (scripts/tsan_own_races.py), and prints how many it left aside.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
dir="$ov_root/build-tsan"
if [ ! -f "$dir/build.ninja" ]; then
    cmake -S "$ov_root" -B "$dir" -G Ninja -DCMAKE_C_COMPILER_LAUNCHER=ccache \
        -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DOV_BUILD_BENCH=OFF -DCMAKE_CXX_FLAGS=-fsanitize=thread -DCMAKE_C_FLAGS=-fsanitize=thread \
        -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread >/dev/null
fi
cmake --build "$dir" --target storage_window_test ombrivault-cli -- -j"$(nproc)" >/dev/null
log="$dir/tsan.log"
(cd "$dir" && QT_QPA_PLATFORM=offscreen TSAN_OPTIONS="halt_on_error=0 exitcode=0 die_after_fork=0" ./bin/storage_window_test \
    --gtest_filter='*Load*:*Save*:*Dropped*:*Closing*:*Damaged*:*Yes*:StorageRace*:*Director*' >"$log" 2>&1) || {
    tail -40 "$log"
    exit 1
}
grep -q '^\[  PASSED  \]' "$log" && ! grep -q '^\[  FAILED  \]' "$log" || {
    grep -E '^\[  (FAILED|PASSED) ' "$log"
    exit 1
}
python3 "$ov_root/scripts/tsan_own_races.py" "$log"
