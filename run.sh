#!/usr/bin/env bash
# Builds the Linux desktop program and starts it. Installs what it needs first.
set -euo pipefail
cd "$(dirname "$0")"
tools/deps.sh run
cmake --preset linux >/dev/null
cmake --build --preset linux -j"$(nproc)" --target tollora
exe=$(find build/linux -name tollora -type f -perm -u+x | head -n 1)
exec "$exe" "$@"
