#!/usr/bin/env bash
# Builds the program into build/ and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target zentarek
exec ./build/bin/zentarek "$@"
