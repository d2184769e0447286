#!/usr/bin/env bash
# Builds everything in build/ (Release) and runs every test: the GoogleTest
# suites and the Python tests, through CTest.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${BUILD_DIR:-build}
extra=()
if [ "${CI:-}" = "true" ]; then extra+=(-DQUORVANE_WERROR=ON); fi
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Release "${extra[@]}" "$@"
cmake --build "$build_dir" -j "$(nproc)"
ctest --test-dir "$build_dir" --output-on-failure -j "$(nproc)"
