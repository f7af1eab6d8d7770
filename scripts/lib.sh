# Shared by the scripts: configure (once) and build one build folder incrementally.
# usage: ov_build DIR [cmake options...]
ov_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

ov_build() {
    local dir=$1
    shift
    if [ ! -f "$dir/build.ninja" ]; then
        cmake -S "$ov_root" -B "$dir" -G Ninja "$@" >/dev/null
    fi
    cmake --build "$dir" -- -j"$(nproc)" | grep -vE '^(\[[0-9]+/[0-9]+\] |ninja: no work to do)' || true
    [ "${PIPESTATUS[0]}" -eq 0 ]
}
