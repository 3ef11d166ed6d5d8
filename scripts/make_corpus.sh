#!/usr/bin/env bash
# Writes the seed corpus of every fuzz target into tests/corpus/ (run after
# changing make_corpus.cpp; the seeds are kept in the repository).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build >/dev/null
cmake --build build --target zk_make_corpus -j"$(nproc)"
QT_QPA_PLATFORM=offscreen build/bin/zk_make_corpus tests/corpus
ls tests/corpus/*/ | head -50
