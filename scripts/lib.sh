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
    # The filter never fails, so the pipeline's status is the build's own.
    (set -o pipefail
     cmake --build "$dir" -- -j"$(nproc)" |
         { grep -vE '^(\[[0-9]+/[0-9]+\] |ninja: no work to do)' || true; })
}
