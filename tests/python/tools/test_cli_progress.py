"""quorvane check's progress bar (tqdm), on a real terminal: standard error
is a pseudo-terminal, standard output a pipe."""

import fcntl
import os
import pty
import struct
import subprocess
import sys
import tempfile
import termios
import unittest

import _quorvane

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(os.path.dirname(HERE)))

# The command, with the bar shown from the start instead of after a second.
RUN = "import sys; from quorvane import cli; cli.PROGRESS_DELAY = 0; cli.PROGRESS_BATCH = 100; sys.exit(cli.main())"


def run_on_terminal(*argv):
    """Runs `quorvane check ARGV` with stderr on a pseudo-terminal; returns
    (status, stdout, what the terminal showed)."""
    leader, follower = pty.openpty()
    # A terminal of 24 lines of 120 columns (a new one has none).
    fcntl.ioctl(follower, termios.TIOCSWINSZ, struct.pack("HHHH", 24, 120, 0, 0))
    env = dict(os.environ, PYTHONPATH=os.pathsep.join([os.path.join(REPO, "python"), os.path.dirname(_quorvane.__file__)]))
    proc = subprocess.Popen(
        [sys.executable, "-c", RUN, "check", *argv], stdout=subprocess.PIPE, stderr=follower, env=env
    )
    os.close(follower)
    shown = b""
    while True:
        try:
            data = os.read(leader, 65536)
        except OSError:  # the terminal closed
            break
        if not data:
            break
        shown += data
    out, _ = proc.communicate(timeout=300)
    os.close(leader)
    return proc.returncode, out.decode(), shown.decode("utf-8", "replace")


class ProgressBarTest(unittest.TestCase):
    def setUp(self):
        tmp = tempfile.TemporaryDirectory()
        self.addCleanup(tmp.cleanup)
        self.path = os.path.join(tmp.name, "many.cypher")
        with open(self.path, "w") as f:
            f.write("MATCH (p:Person) RETURN p.name;\n" * 2000)
        self.size = os.path.getsize(self.path)

    def test_the_bar_counts_bytes_and_queries_and_is_cleared(self):
        status, out, shown = run_on_terminal("--isolated", self.path)
        self.assertEqual((status, out), (0, "2000 queries checked, no errors\n"))
        self.assertIn("quorvane:   0%|", shown)
        self.assertIn("quorvane: 100%|", shown)
        self.assertIn("2000 queries", shown)
        self.assertIn(f"/{self.size / 1024:.1f}k", shown)  # the file's size, in KiB
        self.assertRegex(shown, r"\r +\r$")  # the bar is wiped at the end

    def test_quiet_shows_nothing(self):
        status, out, shown = run_on_terminal("--isolated", "--quiet", self.path)
        self.assertEqual((status, out, shown), (0, "2000 queries checked, no errors\n", ""))


if __name__ == "__main__":
    unittest.main()
