#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer on, the core instrumented for coverage) in
# build-fuzz/ and runs each for a bounded time. Fails if any target finds a
# crash, a broken invariant, a timeout or runs out of memory; the input that
# did it is kept in build-fuzz/fuzz-artifacts/<target>/.
#
# Environment:
#   FUZZ_SECONDS   time per target (default 45)
#   FUZZ_TARGETS   which targets (default "parse acceptance validate inspect schema")
#   FUZZ_ARGS      extra libFuzzer flags, e.g. "-max_len=8192"
#   FUZZ_BUILD_DIR build directory (default build-fuzz)
#
# New interesting inputs go to build-fuzz/fuzz-corpus/<target>/, which later
# runs resume from; the checked-in seeds in fuzz/corpus/ are only read.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/need.sh
need_build_tools
need_debs clang libclang-rt-dev

build_dir=${FUZZ_BUILD_DIR:-build-fuzz}
seconds=${FUZZ_SECONDS:-45}
targets=${FUZZ_TARGETS:-parse acceptance validate inspect schema}
read -r -a extra_args <<<"${FUZZ_ARGS:-}"

configure=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVANE_BUILD_FUZZERS=ON
           -DQUORVANE_BUILD_TESTS=OFF -DQUORVANE_BUILD_BENCH=OFF -DQUORVANE_BUILD_PYTHON=OFF)
if [ "${CI:-}" = "true" ]; then configure+=(-DQUORVANE_WERROR=ON); fi
CC=clang CXX=clang++ cmake -S . -B "$build_dir" "${configure[@]}" >/dev/null
build_targets=()
for t in $targets; do build_targets+=(--target "${t}_fuzzer"); done
cmake --build "$build_dir" -j "$(nproc)" "${build_targets[@]}"

failed=()
summary=()
for t in $targets; do
  corpus="$build_dir/fuzz-corpus/$t"
  artifacts="$build_dir/fuzz-artifacts/$t"
  log="$build_dir/fuzz-logs/$t.log"
  # Targets without seeds of their own start from the parser's.
  seeds="fuzz/corpus/$t"
  [ -d "$seeds" ] || seeds=fuzz/corpus/parse
  mkdir -p "$corpus" "$artifacts" "$(dirname "$log")"
  echo "--- fuzzing $t for ${seconds}s"
  status=0
  "$build_dir/fuzz/${t}_fuzzer" \
    -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 \
    -dict=fuzz/cypher.dict -print_final_stats=1 \
    -artifact_prefix="$artifacts/" "${extra_args[@]}" \
    "$corpus" "$seeds" >"$log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 || true)
  line=$(printf '%-9s %10s runs %8s exec/s  %s  corpus %s files' \
    "$t" "${runs:-?}" "${rate:-?}" "${cov:-}" "$(find "$corpus" -type f | wc -l)")
  if [ "$status" -ne 0 ]; then
    failed+=("$t")
    line+="  FAILED (exit $status, see $log)"
    grep -E 'ERROR|invariant broken|SUMMARY|Test unit written' "$log" | head -20 || true
  fi
  summary+=("$line")
done

echo "--- summary"
printf '%s\n' "${summary[@]}"
if [ "${#failed[@]}" -ne 0 ]; then
  echo "fuzzing found problems in: ${failed[*]}" >&2
  exit 1
fi
