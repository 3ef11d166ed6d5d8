#!/usr/bin/env bash
# Builds the fuzz targets with clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs each for SECONDS (two at a time),
# starting from its corpus in tests/corpus/<target>/. An input that crashes,
# leaks or hangs a target is kept there (crash-*, leak-*, timeout-*), so the
# corpus replay test of every build runs it from then on.
#
#     bash scripts/fuzz.sh 600 [target ...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:?usage: fuzz.sh SECONDS [target ...]}"
shift
targets=("$@")
if ((${#targets[@]} == 0)); then
  targets=(gif jpeg settings shortcut bookmarks help pasv ftp_reply references)
fi
bash scripts/deps.sh
for p in clang libclang-rt-14-dev; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || {
    SUDO=""; [[ $(id -u) -ne 0 ]] && SUDO="sudo"
    $SUDO apt-get install -y -q --no-install-recommends clang libclang-rt-14-dev; break; }
done
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZENTAREK_FUZZ=ON \
  -DZENTAREK_BUILD_TESTS=OFF -DZENTAREK_WERROR=OFF >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target "${targets[@]/#/fuzz_}"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1
run_one() {
  local t="$1" corpus="tests/corpus/$1"
  mkdir -p "$work/$t" "$corpus"
  local before
  before=$(ls "$corpus" | grep -cE '^(crash|leak|timeout|oom)-' || true)
  build-fuzz/fuzz/fuzz_"$t" "$work/$t" "$corpus" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="$corpus/" -print_final_stats=1 >"$work/$t.log" 2>&1 || true
  local after execs rate cov
  after=$(ls "$corpus" | grep -cE '^(crash|leak|timeout|oom)-' || true)
  execs=$(grep -oE 'stat::number_of_executed_units:[[:space:]]+[0-9]+' "$work/$t.log" | grep -oE '[0-9]+$' || echo 0)
  rate=$(grep -oE 'stat::average_exec_per_sec:[[:space:]]+[0-9]+' "$work/$t.log" | grep -oE '[0-9]+$' || echo 0)
  cov=$(grep -oE 'cov: [0-9]+' "$work/$t.log" | tail -1 | grep -oE '[0-9]+$' || echo 0)
  printf '%-12s %12s runs %8s/s   coverage %6s   new faults %s\n' "$t" "$execs" "$rate" "$cov" "$((after - before))"
  if ((after > before)); then
    grep -E 'ERROR|SUMMARY|runtime error' "$work/$t.log" | head -5
  fi
}
export -f run_one
export work seconds
printf '%s\n' "${targets[@]}" | xargs -P 2 -I{} bash -c 'run_one {}'
faults=$(ls tests/corpus/*/ | grep -cE '^(crash|leak|timeout|oom)-' || true)
echo "fault inputs kept under tests/corpus: $faults"
