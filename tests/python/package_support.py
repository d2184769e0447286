"""Shared helpers for the tests of the quorvane package and its command line.

The package under test is the one in python/ of this tree, put first on the
path here; the _quorvane module comes from PYTHONPATH (a build directory).
With QUORVANE_TEST_INSTALLED=1 both come from the installed package instead
(see support.py), and python/ is left off the path.
"""

import contextlib
import io
import json
import os
import subprocess
import sys
import tempfile

import support

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))

PACKAGE_ROOT = os.path.join(REPO, "python")
if not support.INSTALLED and PACKAGE_ROOT not in sys.path:
    sys.path.insert(0, PACKAGE_ROOT)

import quorvane  # noqa: E402

import _quorvane  # noqa: E402
from quorvane.cli import main  # noqa: E402

support.check_origin(quorvane)

# The path entries that make both the package and the module importable.
PYTHONPATH = os.pathsep.join(
    dict.fromkeys(
        [
            os.path.dirname(os.path.dirname(os.path.abspath(quorvane.__file__))),
            os.path.dirname(os.path.abspath(_quorvane.__file__)),
        ]
    )
)

MOVIE_SCHEMA = {
    "nodes": {
        "Person": ["name", "born"],
        "Movie": ["title", "released"],
    },
    "relationships": {
        "ACTED_IN": ["Person", "Movie", ["roles"]],
        "DIRECTED": ["Person", "Movie", []],
    },
}


class TtyStringIO(io.StringIO):
    """A text stream that claims to be a terminal."""

    def isatty(self):
        return True


class BytesStdin(io.TextIOWrapper):
    """Standard input holding the given bytes."""

    def __init__(self, data):
        super().__init__(io.BytesIO(data), encoding="utf-8")


def run_cli(*argv, stdin=b"", err=None):
    """Runs the command in this process; returns (status, stdout, stderr)."""
    out = io.StringIO()
    err = err if err is not None else io.StringIO()
    status = main(list(argv), stdout=out, stderr=err, stdin=BytesStdin(stdin))
    return status, out.getvalue(), err.getvalue()


def run_process(*argv, stdin=b"", cwd=None):
    """Runs `python -m quorvane` in a fresh interpreter; returns the completed
    process with text output."""
    env = dict(os.environ)
    env["PYTHONPATH"] = PYTHONPATH
    env["PYTHONDONTWRITEBYTECODE"] = "1"
    proc = subprocess.run(
        [sys.executable, "-m", "quorvane", *argv],
        input=stdin,
        capture_output=True,
        env=env,
        cwd=cwd,
        timeout=300,
    )
    return subprocess.CompletedProcess(
        proc.args,
        proc.returncode,
        proc.stdout.decode("utf-8"),
        proc.stderr.decode("utf-8"),
    )


class TempDirTestCase:
    """Mixin: a temporary directory per test, with a helper to write files."""

    def setUp(self):
        super().setUp()
        self._tmp = tempfile.TemporaryDirectory()
        self.tmp = self._tmp.name
        self.addCleanup(self._tmp.cleanup)

    def write(self, name, content):
        path = os.path.join(self.tmp, name)
        data = content if isinstance(content, bytes) else content.encode("utf-8")
        with open(path, "wb") as f:
            f.write(data)
        return path

    def write_schema(self, name="schema.json", schema=None):
        return self.write(name, json.dumps(MOVIE_SCHEMA if schema is None else schema))


@contextlib.contextmanager
def working_directory(path):
    old = os.getcwd()
    os.chdir(path)
    try:
        yield
    finally:
        os.chdir(old)
