#!/usr/bin/env bash
# Builds the fuzz targets with clang and libFuzzer into build-fuzz/ and runs each in turn.
#   scripts/fuzz.sh [SECONDS_PER_TARGET] [TARGET ...]     (default 60 s; targets: see fuzz/corpus/)
# Each target starts from its seed corpus fuzz/corpus/TARGET and grows build-fuzz/corpus/TARGET.
# An input that crashes, leaks or hangs (over 10 s) is saved in build-fuzz/findings/TARGET/ and
# the script fails; copy it into fuzz/corpus/TARGET once fixed, so the test run replays it.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for dir in fuzz/corpus/*/; do targets+=("$(basename "$dir")"); done
fi
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DZOLK_FUZZ=ON >/dev/null
cmake --build build-fuzz -j "$(nproc)" --target fuzzers
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
failed=()
for target in "${targets[@]}"; do
  program="build-fuzz/fuzz/fuzz_${target}"
  [ -x "$program" ] || { echo "fuzz.sh: no fuzz target $target" >&2; exit 2; }
  mkdir -p "build-fuzz/corpus/$target" "build-fuzz/findings/$target"
  echo "== $target: ${seconds} s"
  if ! "$program" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="build-fuzz/findings/$target/" "build-fuzz/corpus/$target" "fuzz/corpus/$target" \
      >"build-fuzz/$target.log" 2>&1; then
    failed+=("$target")
    tail -n 60 "build-fuzz/$target.log"
  fi
  grep -E '^(#[0-9]+[[:space:]]+DONE|stat::number_of_executed_units|stat::peak_rss_mb)' "build-fuzz/$target.log" || true
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz.sh: findings in ${failed[*]} (inputs in build-fuzz/findings/)" >&2
  exit 1
fi
echo "fuzz.sh: no findings"
