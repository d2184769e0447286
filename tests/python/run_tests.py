"""Runs every Python test file in a process of its own, as CTest does, with
the interpreter that runs this script, and prints one closing count.

    QUORVANE_TEST_INSTALLED=1 python tests/python/run_tests.py [-j JOBS] [NAME...]

Meant for an environment where the package is installed (see support.py); the
working directory is left as it is, so running from outside the source tree
keeps python/ off the path. Exit status 0 only when every file passed and at
least one test ran.
"""

import argparse
import concurrent.futures
import glob
import os
import re
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
RAN = re.compile(r"^Ran (\d+) tests? in ", re.MULTILINE)
OUTCOME = re.compile(r"^(OK|FAILED)(?: \((.*)\))?$", re.MULTILINE)


def counts(output):
    """(ran, failed, skipped) from unittest's closing lines, or None."""
    ran, outcome = RAN.findall(output), OUTCOME.findall(output)
    if not ran or not outcome:
        return None
    details = dict(item.split("=") for item in outcome[-1][1].split(", ") if "=" in item)
    failed = int(details.get("failures", 0)) + int(details.get("errors", 0))
    failed += int(details.get("unexpected successes", 0))
    return int(ran[-1]), failed, int(details.get("skipped", 0))


def run(name):
    env = dict(os.environ, PYTHONDONTWRITEBYTECODE="1")
    env["PYTHONPATH"] = os.pathsep.join(p for p in (HERE, os.environ.get("PYTHONPATH")) if p)
    start = time.monotonic()
    proc = subprocess.run(
        [sys.executable, "-m", "unittest", "-v", name],
        env=env,
        capture_output=True,
        text=True,
        timeout=900,
        check=False,
    )
    return name, proc.returncode, proc.stdout + proc.stderr, time.monotonic() - start


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("-j", "--jobs", type=int, default=1, help="files run at once (default 1)")
    parser.add_argument("names", nargs="*", help="test modules, e.g. test_cli (default: all)")
    args = parser.parse_args()
    names = args.names or sorted(
        os.path.splitext(os.path.basename(p))[0] for p in glob.glob(os.path.join(HERE, "test_*.py"))
    )
    passed = failed = skipped = 0
    broken = []
    with concurrent.futures.ThreadPoolExecutor(max_workers=max(1, args.jobs)) as pool:
        for name, status, output, seconds in pool.map(run, names):
            found = counts(output)
            if found is None or status != 0:
                broken.append(name)
                print(output, file=sys.stderr)
            if found is None:
                failed += 1
                print(f"{name:<24} did not finish (exit status {status})", flush=True)
                continue
            ran, bad, skip = found
            passed += ran - bad - skip
            failed += bad
            skipped += skip
            print(f"{name:<24} {ran:4d} tests, {bad} failed, {skip} skipped, {seconds:5.1f}s", flush=True)
    if broken:
        print("failed: " + " ".join(broken), file=sys.stderr)
    print(f"python: {passed} passed, {failed} failed, {skipped} skipped")
    return 0 if not broken and passed > 0 else 1


if __name__ == "__main__":
    sys.exit(main())
