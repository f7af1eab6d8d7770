#!/usr/bin/env bash
# The layer check on a copy of the sources: it passes on the tree as it is, and fails, naming
# the file, once a base file includes a cipher header or a cipher file a window header.
set -euo pipefail
script=$1
sources=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cp -r "$sources" "$scratch/src"

"$script" "$scratch" >/dev/null

plant() { # FILE INCLUDE: the check must fail and name FILE
    local file=$1 include=$2 out
    cp -r "$sources/." "$scratch/src/"
    printf '#include "%s"\n' "$include" >>"$scratch/src/$file"
    if out=$("$script" "$scratch" 2>&1); then
        echo "the layer check passed with $include planted in $file" >&2
        exit 1
    fi
    grep -q "src/$file" <<<"$out" || { echo "the failure does not name $file: $out" >&2; exit 1; }
}
plant base/Bytes.cpp crypto/Ciphers.h
plant crypto/Ciphers.cpp framework/Document.h
plant base/WholeFile.h app/MainFrame.h
echo "the layer check fails on every planted upward include"
