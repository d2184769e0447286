#!/usr/bin/env bash
# Builds everything in build/ (Release) and runs every test: the GoogleTest
# suites and the Python tests, through CTest. Further arguments go to CMake's
# configure step, e.g. -DPython3_EXECUTABLE=/path/to/python3.13.
#
# On a fresh Debian machine it first installs what the build needs (CMake, a
# C++ compiler, GoogleTest, Google Benchmark) when run as root; otherwise it
# names the missing packages and exits with status 2.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/need.sh
build_dir=${BUILD_DIR:-build}

need_build_tools
need_debs libgtest-dev libgmock-dev libbenchmark-dev
case " $* " in
  *Python3_EXECUTABLE*) ;;  # the caller names the interpreter
  *) need_python313 ;;
esac

extra=()
if [ "${CI:-}" = "true" ]; then extra+=(-DQUORVANE_WERROR=ON); fi
# Tests and benchmarks on, even in a build directory that scripts/example.sh
# configured without them.
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Release \
  -DQUORVANE_BUILD_TESTS=ON -DQUORVANE_BUILD_BENCH=ON "${extra[@]}" "$@"
cmake --build "$build_dir" -j "$(nproc)"
ctest --test-dir "$build_dir" --output-on-failure -j "$(nproc)"
bash scripts/tool_tests.sh  # the tests that need packages from PyPI (pre-commit, sarif-tools, ...)
