#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program (with FILE opened, if given).
set -euo pipefail
source "$(dirname "$0")/lib.sh"
"$ov_root/scripts/setup.sh"
ov_build "$ov_root/build"
bin="$ov_root/build/bin"
if [ -x "$bin/ombrivault" ]; then
    exec "$bin/ombrivault" "$@"
fi
exec "$bin/ombrivault-cli" --help
