#!/usr/bin/env bash
# Builds the program optimised into build-package/ and makes a Debian package
# of the installed tree there (zentarek_<version>_amd64.deb).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build-package -DCMAKE_BUILD_TYPE=Release -DZENTAREK_BUILD_TESTS=OFF >/dev/null
cmake --build build-package -j"$(nproc)" --target zentarek
(cd build-package && cpack -G DEB)
