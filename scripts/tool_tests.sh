#!/usr/bin/env bash
# Runs the tests that need packages from PyPI, tests/python/tools/test_*.py,
# with pytest in a CPython 3.13 virtual environment, ${BUILD_DIR:-build}/tool-venv,
# made if missing and given tests/python/requirements-tools.txt. The package
# comes from python/, the _quorvane module from the build
# (${BUILD_DIR:-build}/python/3.13) or from PYTHONPATH. Further arguments go
# to pytest, e.g. `bash scripts/tool_tests.sh -k hover`.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/need.sh
repo=$(pwd)
build_dir=${BUILD_DIR:-build}
case $build_dir in /*) ;; *) build_dir=$repo/$build_dir ;; esac

venv=$build_dir/tool-venv
if [ ! -x "$venv/bin/python" ]; then
  QUORVANE_PY313=$(find_python313)
  [ -n "$QUORVANE_PY313" ] || need_fail "no CPython 3.13 for the tool tests' virtual environment"
  mkdir -p "$build_dir"
  "$QUORVANE_PY313" -m venv "$venv"
fi
"$venv/bin/python" -m pip install -q --disable-pip-version-check -r tests/python/requirements-tools.txt \
  2> >(grep -v "^WARNING: Location '.*' is ignored" >&2)

export PYTHONPATH="$repo/python:$build_dir/python/3.13${PYTHONPATH:+:$PYTHONPATH}"
export PYTHONDONTWRITEBYTECODE=1
exec "$venv/bin/python" -m pytest tests/python/tools "$@"
