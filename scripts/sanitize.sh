#!/usr/bin/env bash
# Sanitizer runs for CI, in three steps:
#   asan    build-asan/: everything (core, GoogleTests, the Python module)
#           with AddressSanitizer and UndefinedBehaviorSanitizer; every
#           GoogleTest suite runs under CTest.
#   tsan    build-tsan/: ThreadSanitizer build of the suites that share work
#           between threads; the pool's tests, the validator's multi-thread
#           test and the hardening suite's two-thread tests run.
#   python  The Python tests against the ASan build of the module, with the
#           ASan runtime preloaded into the (uninstrumented) interpreter
#           (all but the tests that measure memory growth).
# Any sanitizer report or test failure fails the run; every step still runs,
# so one CI run shows all problems. Prints the time each step took.
#
# Environment: SANITIZE_STEPS (default "asan tsan python") picks steps;
# SANITIZE_BUILD_TYPE (default RelWithDebInfo).
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/need.sh
need_build_tools
need_debs libgtest-dev libgmock-dev

steps=${SANITIZE_STEPS:-asan tsan python}
build_type=${SANITIZE_BUILD_TYPE:-RelWithDebInfo}
jobs=$(nproc)
common=(-DCMAKE_BUILD_TYPE="$build_type" -DQUORVANE_BUILD_BENCH=OFF
        -DQUORVANE_PYTHON_EXTRA_VERSIONS=)
if [ "${CI:-}" = "true" ]; then common+=(-DQUORVANE_WERROR=ON); fi

# Stop at the first report of any kind, with readable stack traces.
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
asan_options=detect_leaks=1:detect_stack_use_after_return=1:strict_string_checks=1
asan_options+=:check_initialization_order=1
export ASAN_OPTIONS=${ASAN_OPTIONS:-$asan_options}
# The pool's fork test starts threads in a child forked from a threaded
# parent, which ThreadSanitizer refuses unless told otherwise.
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1:die_after_fork=0}

timings=()
failed=()
step_start=0
begin() {
  echo "=== $1"
  step_start=$SECONDS
}
end() { timings+=("$(printf '%-34s %5ds' "$1" $((SECONDS - step_start)))"); }
# Runs a test command; a failure is recorded and the run goes on.
check() {
  if ! "$@"; then failed+=("$*"); fi
}
has_step() { [[ " $steps " == *" $1 "* ]]; }

if has_step asan || has_step python; then
  begin "asan+ubsan build"
  cmake -S . -B build-asan "${common[@]}" -DQUORVANE_SANITIZE=address,undefined >/dev/null
  cmake --build build-asan -j "$jobs"
  end "asan+ubsan build"
fi

if has_step asan; then
  begin "asan+ubsan GoogleTests"
  check ctest --test-dir build-asan -R '^cpp_' --output-on-failure -j "$jobs"
  end "asan+ubsan GoogleTests"
fi

if has_step tsan; then
  begin "tsan build"
  cmake -S . -B build-tsan "${common[@]}" -DQUORVANE_SANITIZE=thread \
    -DQUORVANE_BUILD_PYTHON=OFF >/dev/null
  cmake --build build-tsan -j "$jobs" --target pool_tests validator_tests hardening_tests
  end "tsan build"

  begin "tsan tests"
  check build-tsan/tests/pool_tests
  check build-tsan/tests/validator_tests --gtest_filter='*Thread*'
  check build-tsan/tests/hardening_tests --gtest_filter='MixedCorpus.Two*'
  end "tsan tests"
fi

# Python tests whose assertions measure the process's memory growth: under
# ASan the quarantine and the allocator's caches dominate that growth (it
# levels off after warm-up), so they only mean something in the normal build.
python_rss_tests='^test_refcounts\.|\.MemoryTest\.'

if has_step python; then
  begin "python tests on the asan module"
  compiler=$(sed -n 's/^CMAKE_CXX_COMPILER:[A-Z]*=//p' build-asan/CMakeCache.txt)
  if "$compiler" --version | grep -qi clang; then
    runtime=$("$compiler" -print-file-name=libclang_rt.asan-x86_64.so)
  else
    runtime=$("$compiler" -print-file-name=libasan.so)
  fi
  if [ ! -f "$runtime" ]; then
    echo "no ASan runtime found for $compiler" >&2
    failed+=("python tests: no ASan runtime")
  elif [ ! -f build-asan/python/main.sh ]; then
    echo "build-asan/python/main.sh missing: the module was not built" >&2
    failed+=("python tests: no module")
  else
    # QUORVANE_PYTHON and QUORVANE_MODULE_DIR: the interpreter and its module.
    # shellcheck source=/dev/null
    . build-asan/python/main.sh
    # PYTHONMALLOC=malloc sends the interpreter's small objects through ASan
    # too. The interpreter's deliberate leaks at exit are not ours, so leak
    # detection is off.
    check env LD_PRELOAD="$runtime" PYTHONMALLOC=malloc \
      ASAN_OPTIONS=detect_leaks=0:strict_string_checks=1 \
      PYTHONPATH="$QUORVANE_MODULE_DIR" PYTHONDONTWRITEBYTECODE=1 \
      "$QUORVANE_PYTHON" - "$python_rss_tests" <<'PY'
import os
import re
import sys
import unittest

os.chdir("tests/python")
sys.path.insert(0, os.getcwd())
left_out = re.compile(sys.argv[1])


def cases(suite):
    for test in suite:
        if isinstance(test, unittest.TestSuite):
            yield from cases(test)
        else:
            yield test


kept = unittest.TestSuite()
skipped = 0
for test in cases(unittest.defaultTestLoader.discover(".", pattern="test_*.py")):
    if left_out.search(test.id()):
        skipped += 1
    else:
        kept.addTest(test)
print(f"{kept.countTestCases()} Python tests, {skipped} memory-growth tests left out",
      file=sys.stderr)
result = unittest.TextTestRunner(verbosity=1).run(kept)
sys.exit(0 if result.wasSuccessful() and result.testsRun > 0 else 1)
PY
  fi
  end "python tests on the asan module"
fi

echo "=== timings"
printf '%s\n' "${timings[@]}"
if [ "${#failed[@]}" -ne 0 ]; then
  echo "=== failed:" >&2
  printf '  %s\n' "${failed[@]}" >&2
  exit 1
fi
