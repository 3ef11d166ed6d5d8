#!/usr/bin/env bash
# Builds everything and runs every test through ctest, on the offscreen
# platform. Exits non-zero when anything fails.
#
#     bash scripts/test.sh               # the normal build, in build/
#     bash scripts/test.sh --sanitize    # with AddressSanitizer and UBSan, in build-sanitize/
# Further arguments go to ctest (e.g. -R Favourites).
set -euo pipefail
cd "$(dirname "$0")/.."
build=build
options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DZENTAREK_BUILD_TESTS=ON)
if [[ "${1:-}" == "--sanitize" ]]; then
  shift
  build=build-sanitize
  options+=(-DZENTAREK_SANITIZE=ON)
  # Every report fails the test that caused it; leaks inside the system's
  # own libraries (fonts, X, GL) are not ours and are listed in the file.
  export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
  export LSAN_OPTIONS="suppressions=$PWD/tests/sanitize/lsan.supp:print_suppressions=0"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
fi
bash scripts/deps.sh
cmake -S . -B "$build" "${options[@]}" >/dev/null
cmake --build "$build" -j"$(nproc)"
export QT_QPA_PLATFORM=offscreen
cd "$build"
ctest --output-on-failure -j"$(nproc)" "$@"
