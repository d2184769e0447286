"""scripts/need.sh, which the set-up commands and CI use on a fresh machine:
what it finds, and that it stops with one line and status 2 when it cannot
install what is missing."""

import os
import shutil
import subprocess
import sys
import unittest

import support

NEED = os.path.join(support.REPO, "scripts", "need.sh")


def need(body, env=None):
    """Runs `body` in bash after sourcing need.sh; returns the completed process."""
    script = f'set -euo pipefail\nNEED_WHO=probe\n. "{NEED}"\n{body}\n'
    return subprocess.run(
        ["bash", "-c", script],
        env=dict(os.environ, **(env or {})),
        capture_output=True,
        text=True,
        timeout=120,
        check=False,
    )


@unittest.skipUnless(shutil.which("bash"), "needs bash")
class NeedTest(unittest.TestCase):
    @unittest.skipUnless(shutil.which("dpkg"), "needs Debian's dpkg")
    def test_installed_packages_pass_silently(self):
        proc = need("need_debs bash coreutils; echo ok")
        self.assertEqual((proc.returncode, proc.stdout, proc.stderr), (0, "ok\n", ""))

    @unittest.skipUnless(shutil.which("dpkg"), "needs Debian's dpkg")
    def test_missing_packages_without_root_stop_with_one_line(self):
        # As a user other than root, nothing is installed: one line names
        # exactly the missing packages, and the status is 2.
        proc = need("id() { echo 1000; }\nneed_debs bash quorvane-no-such-package-a quorvane-no-such-package-b\necho went on")
        self.assertEqual(proc.returncode, 2, proc.stderr)
        self.assertEqual(proc.stdout, "")
        self.assertEqual(
            proc.stderr,
            "probe: missing Debian packages; install them and run again: "
            "sudo apt-get install quorvane-no-such-package-a quorvane-no-such-package-b\n",
        )

    def test_no_python313_stops_with_one_line(self):
        # No pyenv, no python3.13 on the PATH (where the system has one, no
        # PATH at all), no Debian package to fall back on.
        empty = os.path.join(support.HERE, "no-such-dir")
        path = empty if shutil.which("python3.13", path="/usr/bin:/bin") else "/usr/bin:/bin"
        proc = need(
            "pyenv() { return 1; }\napt-cache() { return 1; }\nneed_python313\necho went on",
            env={"PATH": path, "HOME": empty, "PYENV_ROOT": empty},
        )
        self.assertEqual(proc.returncode, 2, proc.stderr)
        self.assertEqual(proc.stdout, "")
        self.assertEqual(len(proc.stderr.splitlines()), 1, proc.stderr)
        self.assertTrue(proc.stderr.startswith("probe: no CPython 3.13 with its headers; install one"), proc.stderr)

    @unittest.skipUnless(sys.version_info[:2] == (3, 13), "checked where the module's own 3.13 runs")
    def test_finds_a_python313_with_headers(self):
        proc = need("find_python313")
        self.assertEqual(proc.returncode, 0, proc.stderr)
        found = proc.stdout.strip()
        self.assertTrue(found, "no CPython 3.13 found, though this test runs on one")
        code = ("import os, sys, sysconfig; print(sys.version_info[:2] == (3, 13) and "
                "os.path.isfile(os.path.join(sysconfig.get_paths()['include'], 'Python.h')))")
        check = subprocess.run([found, "-c", code], capture_output=True, text=True, check=True)
        self.assertEqual(check.stdout, "True\n", found)

if __name__ == "__main__":
    unittest.main()
