# Shared by the scripts: configure (once) and build one build folder incrementally.
# usage: ov_build DIR [cmake options...]
ov_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# ccache, when installed, makes a second build on one machine cheap; the base directory lets a
# fresh clone in another folder hit the same cache.
export CCACHE_BASEDIR="$ov_root"
export CCACHE_NOHASHDIR=1

ov_build() {
    local dir=$1
    shift
    if [ ! -f "$dir/build.ninja" ]; then
        local launcher=()
        if command -v ccache >/dev/null; then
            launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
        fi
        cmake -S "$ov_root" -B "$dir" -G Ninja "${launcher[@]}" "$@" >/dev/null
    fi
    # Ninja's "[N/M] ..." lines become one progress line ("build: N/M (P%)", rewritten in
    # place on a terminal, every tenth of the way otherwise); messages pass through. The
    # filter never fails, so the pipeline's status is the build's own.
    local tty=0
    [ -t 1 ] && tty=1
    (set -o pipefail
     cmake --build "$dir" -- -j"$(nproc)" |
         awk -v tty="$tty" -v name="$(basename "$dir")" '
             /^\[[0-9]+\/[0-9]+\] / {
                 split(substr($1, 2, length($1) - 2), n, "/")
                 pct = int(100 * n[1] / n[2])
                 if (tty) { printf "\r%s: %d/%d (%d%%)", name, n[1], n[2], pct; shown = 1 }
                 else if (pct >= next_pct) { printf "%s: %d/%d (%d%%)\n", name, n[1], n[2], pct; next_pct = pct - pct % 10 + 10 }
                 fflush(); next
             }
             /^ninja: no work to do/ { next }
             { if (shown) { printf "\n"; shown = 0 } print; fflush() }
             END { if (shown) printf "\n" }')
}
