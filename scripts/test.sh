#!/usr/bin/env bash
# Builds everything and runs every test through ctest, on the offscreen
# platform. Exits non-zero when anything fails.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZENTAREK_BUILD_TESTS=ON >/dev/null
cmake --build build -j"$(nproc)"
export QT_QPA_PLATFORM=offscreen
cd build
ctest --output-on-failure -j"$(nproc)" "$@"
