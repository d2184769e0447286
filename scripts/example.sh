#!/usr/bin/env bash
# Builds the extension module if needed (in build/, or $BUILD_DIR) and runs
# `quorvane check` on the bundled example: a movie-graph schema and a file of
# queries, three of which have mistakes. Further arguments go to the command,
# e.g. `bash scripts/example.sh --format json`.
#
# The exit status is the checker's: 1, because the example has mistakes.
#
# On a fresh Debian machine it first installs what the module's build needs
# (CMake, a C++ compiler; CPython 3.13 with its headers where Debian has it)
# when run as root; otherwise it says what is missing and exits with status 2.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/need.sh
build_dir=${BUILD_DIR:-build}

need_build_tools
if [ ! -f "$build_dir/CMakeCache.txt" ]; then need_python313; fi

configure() {  # a new build directory, or one configured before python/ existed
  if [ ! -f "$build_dir/CMakeCache.txt" ]; then
    # Only the module: the test suites and benchmarks (and GoogleTest) are
    # scripts/test.sh's business, which turns them on in the same directory.
    cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Release \
      -DQUORVANE_BUILD_TESTS=OFF -DQUORVANE_BUILD_BENCH=OFF
  elif [ ! -f "$build_dir/python/main.sh" ]; then
    cmake -S . -B "$build_dir"
  fi
}
mkdir -p "$build_dir"
log="$build_dir/example-build.log"
echo "example.sh: building the module in $build_dir/ (log: $log)" >&2
failed() {
  cat "$log" >&2
  echo "example.sh: the build failed; its log is above and in $log" >&2
  exit 2
}
configure >"$log" 2>&1 || failed
if [ ! -f "$build_dir/python/main.sh" ]; then
  echo "example.sh: no CPython 3.13 to build the module for; see README.md, Requirements" >&2
  exit 2
fi
# Sets QUORVANE_PYTHON and QUORVANE_MODULE_DIR (.../python/<version>).
. "$build_dir/python/main.sh"
# Only the module for that interpreter.
cmake --build "$build_dir" -j "$(nproc)" --target "python_module_${QUORVANE_MODULE_DIR##*/}" >>"$log" 2>&1 || failed

export PYTHONPATH="$PWD/python:$QUORVANE_MODULE_DIR${PYTHONPATH:+:$PYTHONPATH}"
exec "$QUORVANE_PYTHON" -m quorvane check --example "$@"
