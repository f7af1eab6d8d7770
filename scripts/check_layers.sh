#!/usr/bin/env bash
# Fails when a source file includes a header from a higher layer. The layers, lowest first;
# a folder may include its own headers and those of any layer below it. Folders on one line
# are one layer and do not include each other. A folder not listed here fails the check
# until it is given its place.
set -euo pipefail
# The tree to check is the repository's own, or the one given as the first argument.
root=$(cd "${1:-$(dirname "${BASH_SOURCE[0]}")/..}" && pwd)

layers=(
    "base"                         # bytes, whole files, atomic writes, file errors, code pages (core)
    "crypto"                       # ciphers, key derivation, envelope, secret buffer (core)
    "markup compound image"        # XML, compound files, images (core)
    "framework"                    # application framework on Qt: commands, documents, hosts
    "controls"                     # plain widgets: lock animation, splitter, toolbar, buttons
    "dialogs"                      # password prompts and message dialogs
    "documents"                    # table of document kinds; the encrypted-document flow
    "editor passwords storage browser" # the document kinds and their windows
    "app"                          # application object, main frame, screen lock
    "cli"                          # the command-line tool (core only)
)

declare -A rank
for i in "${!layers[@]}"; do
    for folder in ${layers[$i]}; do
        rank[$folder]=$i
    done
done

status=0
for dir in "$root"/src/*/; do
    folder=$(basename "$dir")
    if [ -z "${rank[$folder]+set}" ]; then
        echo "check_layers: src/$folder has no place in the layer order (scripts/check_layers.sh)"
        status=1
        continue
    fi
    while IFS=: read -r file line target; do
        [ -n "$file" ] || continue
        [ "$target" = "$folder" ] && continue
        if [ -z "${rank[$target]+set}" ]; then
            continue # not one of our folders (a system or library header)
        fi
        if [ "${rank[$target]}" -ge "${rank[$folder]}" ]; then
            echo "check_layers: ${file#"$root"/}:$line includes $target/ from the same or a higher layer than $folder/"
            status=1
        fi
    done < <(grep -rnoE '^#include "[A-Za-z_]+/' "$dir" | sed -E 's/#include "([A-Za-z_]+)\/$/\1/')
done
[ "$status" -eq 0 ] && echo "check_layers: no include goes up a layer"
exit "$status"
