"""README.md stays true: its Python snippets run and print what it says, its
example output is the real one, and its command lines are accepted."""

import importlib.util
import os
import re
import shlex
import subprocess
import sys
import unittest

import package_support as ps
from package_support import quorvane, run_cli

from quorvane import cli

README = os.path.join(ps.REPO, "README.md")
HAVE_DASK = all(importlib.util.find_spec(name) for name in ("dask", "distributed"))

# A fenced block: its language and its text.
FENCE = re.compile(r"^```(\w*)\n(.*?)^```\n", re.MULTILINE | re.DOTALL)
# `print(...)  # expected output` on one line.
PRINT = re.compile(r"^\s*print\(.*\)(?:\s+# (.*))?$")


def blocks():
    with open(README, encoding="utf-8") as f:
        text = f.read()
    return [(m.group(1), m.group(2), m.start(), m.end()) for m in FENCE.finditer(text)], text


def python_snippets():
    """(snippet, expected stdout or None, expected print comments) for every
    ```python block; a ```text block right after one is its exact output."""
    found, text = blocks()
    snippets = []
    for i, (lang, body, _, end) in enumerate(found):
        if lang != "python":
            continue
        expected = None
        if i + 1 < len(found) and found[i + 1][0] == "text" and text[end : found[i + 1][2]].strip() == "":
            expected = found[i + 1][1]
        prints = [m.group(1) for m in map(PRINT.match, body.splitlines()) if m]
        snippets.append((body, expected, prints))
    return snippets


def run_snippet(code):
    env = dict(os.environ, PYTHONPATH=ps.PYTHONPATH, PYTHONDONTWRITEBYTECODE="1")
    return subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, env=env, timeout=300)


class ReadmeSnippetTest(unittest.TestCase):
    def test_there_are_snippets_for_every_part_of_the_api(self):
        code = "\n".join(s for s, _, _ in python_snippets())
        for name in ["validate(", "validate_batch(", "parse_query(", "CypherGenerator(", "load_schema(", "split_statements("]:
            self.assertIn(name, code)

    def test_every_python_snippet_runs_and_prints_what_the_readme_says(self):
        snippets = python_snippets()
        self.assertGreaterEqual(len(snippets), 7)
        for index, (code, expected, prints) in enumerate(snippets):
            with self.subTest(snippet=index, first_line=code.splitlines()[0]):
                if "dask" in code and not HAVE_DASK:
                    self.skipTest("dask and distributed are not installed (pip install dask distributed)")
                proc = run_snippet(code)
                self.assertEqual(proc.returncode, 0, proc.stderr)
                if expected is not None:
                    self.assertEqual(proc.stdout, expected)
                    continue
                lines = proc.stdout.splitlines()
                self.assertEqual(len(lines), len(prints), proc.stdout)
                for line, comment in zip(lines, prints, strict=True):
                    if comment is not None:
                        self.assertEqual(line, comment)


class ReadmeCodeTableTest(unittest.TestCase):
    def test_the_code_table_is_the_rules_table(self):
        _, text = blocks()
        rows = re.findall(r"^\| `([a-z-]+)` \| (\w+) \| (yes)? \| (.*?) \| `(.*)` \|$", text, re.MULTILINE)
        expected = [
            (r.code, r.severity, "yes" if r.needs_schema else "", r.summary, r.example) for r in quorvane.rules()
        ]
        self.assertEqual(rows, expected)


class ReadmeCommandTest(unittest.TestCase):
    def command_lines(self):
        found, _ = blocks()
        for lang, body, _, _ in found:
            if lang == "sh":
                yield from (line for line in body.splitlines() if line.strip())

    def test_the_example_output_is_the_real_output(self):
        found, _ = blocks()
        index = next(i for i, b in enumerate(found) if b[0] == "sh" and "scripts/example.sh" in b[1])
        lang, shown, _, _ = found[index + 1]
        self.assertEqual(lang, "text")
        with ps.working_directory(ps.REPO):
            status, out, _ = run_cli("check", "--example")
            # The README shows the source tree's example; an installed package
            # has it elsewhere.
            shown = shown.replace("python/quorvane/examples/movies.cypher",
                                  cli.short_path(quorvane.EXAMPLE_QUERIES))
        self.assertEqual(status, 1)
        self.assertEqual(out, shown)

    def test_every_quorvane_command_line_is_accepted(self):
        parser = cli.build_parser()
        seen = 0
        for line in self.command_lines():
            for part in line.split("|"):
                words = shlex.split(part)
                if words and words[0] == "quorvane":
                    seen += 1
                    with self.subTest(line=part):
                        try:
                            args = parser.parse_args(words[1:])
                        except SystemExit:
                            self.fail(f"rejected: {part}")
                        self.assertTrue(callable(args.run))
        self.assertGreaterEqual(seen, 8)

    def test_scripts_it_names_exist(self):
        scripts = [shlex.split(line)[1] for line in self.command_lines() if line.startswith("bash ")]
        # The two set-up commands come first.
        self.assertEqual(scripts[:2], ["scripts/example.sh", "scripts/test.sh"])
        for script in scripts:
            self.assertTrue(os.path.isfile(os.path.join(ps.REPO, script)), script)


if __name__ == "__main__":
    unittest.main()
