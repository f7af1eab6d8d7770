#!/usr/bin/env bash
# Installs what is missing, checks the layer order of the includes, builds, and runs every
# test: the whole suite, the checks of the Debian package made from that build, then the core
# tests again under AddressSanitizer and UndefinedBehaviorSanitizer, then each fuzzer briefly.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
"$ov_root/scripts/setup.sh"

jobs=$(nproc)
echo "== layers"
"$ov_root/scripts/check_layers.sh"
echo "== build"
ov_build "$ov_root/build"
echo "== tests"
summary=$(mktemp)
trap 'rm -f "$summary"' EXIT
ctest --test-dir "$ov_root/build" --output-on-failure -j"$jobs" --timeout 300 | tee "$summary"

echo "== package"
# The Debian package from the same build, and the validators of what it carries.
"$ov_root/scripts/check_package.sh" "$ov_root/build" | tee -a "$summary"

echo "== core tests with sanitizers"
ov_build "$ov_root/build-asan" -DOV_SANITIZE=ON -DOV_BUILD_GUI=OFF -DOV_BUILD_BENCH=OFF \
    -DCMAKE_BUILD_TYPE=Debug
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir "$ov_root/build-asan" --output-on-failure -j"$jobs" --timeout 600 -L core |
    tee -a "$summary"

echo "== fuzzers"
"$ov_root/scripts/fuzz.sh" "${OV_FUZZ_SECONDS:-15}"

# One closing line for both ctest runs and the package checks (a failure has already stopped
# the script).
total=$(awk '/tests passed, [0-9]+ tests failed out of/ { n += $NF }
             /^package checks: / { n += $3 } END { print n + 0 }' "$summary")
skipped=$(awk '/^package checks: / { n += $7 } END { print n + 0 }' "$summary")
echo "tests: $total passed, 0 failed, $skipped skipped"
