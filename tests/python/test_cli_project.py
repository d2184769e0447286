"""The command as a project runs it: `python -m quorvane check` in a fresh
interpreter, from inside a project folder with a pyproject.toml and no file
arguments. Project discovery, the configuration, --select/--ignore and the
exit status work end to end, and bad input gets a one-line message and
status 2, never a traceback."""

import json
import os
import unittest

import package_support as ps
from package_support import run_process

BAD_LABEL = "MATCH (m:Movei) RETURN m.title;\n"
BAD_PROPERTY = "MATCH (p:Person) RETURN p.nme;\n"
GOOD = "MATCH (p:Person)-[:ACTED_IN]->(m:Movie) RETURN p.name, m.title;\n"

PYPROJECT = """\
[project]
name = "movies-app"
version = "1.0"

[tool.quorvane]
schema = "graph/movies.json"
exclude = ["fixtures/"]
ignore = ["unknown-function"]
"""


class ProjectTestCase(ps.TempDirTestCase, unittest.TestCase):
    def setUp(self):
        super().setUp()
        for name, text in [
            ("pyproject.toml", PYPROJECT),
            ("graph/movies.json", json.dumps(ps.MOVIE_SCHEMA)),
            ("app/queries/people.cypher", GOOD + BAD_PROPERTY),
            ("app/queries/movies.cql", "\n" + BAD_LABEL),
            ("app/queries/funcs.cypher", "RETURN nosuchfn(1);\n"),
            ("app/notes.txt", "MATCH (n RETURN n"),
            ("fixtures/broken.cypher", "MATCH (n RETURN n"),
        ]:
            self.put(name, text)

    def put(self, name, text):
        os.makedirs(os.path.dirname(os.path.join(self.tmp, name)), exist_ok=True)
        return self.write(name, text)

    def quorvane(self, *argv, folder="."):
        return run_process("check", *argv, cwd=os.path.join(self.tmp, folder))


class ProjectRunTest(ProjectTestCase):
    def test_a_run_without_files_checks_the_projects_query_files(self):
        for folder, prefix in [(".", "app/queries/"), ("app", "queries/"), ("app/queries", "")]:
            with self.subTest(folder=folder):
                proc = self.quorvane("--format", "concise", folder=folder)
                self.assertEqual(proc.returncode, 1, proc.stderr)
                self.assertEqual(proc.stderr, "")
                # Sorted paths below the configuration's folder, shown from
                # the working directory; fixtures/ is excluded, notes.txt is
                # not a query file, and unknown-function is ignored.
                self.assertEqual(
                    proc.stdout.splitlines(),
                    [
                        f"{prefix}movies.cql:2:{BAD_LABEL.index('Movei') + 1}: error[unknown-label] Unknown node "
                        "label: :Movei, did you mean :Movie?",
                        f"{prefix}people.cypher:2:{BAD_PROPERTY.index('nme') + 1}: error[unknown-property] Unknown property 'nme' on variable "
                        "'p' with label :Person, did you mean 'name'?",
                    ],
                )

    def test_select_ignore_and_exit_status(self):
        proc = self.quorvane("--select", "unknown-label", "--format", "json")
        self.assertEqual(proc.returncode, 1, proc.stderr)
        summary = json.loads(proc.stdout)["summary"]
        self.assertEqual((summary["queries"], summary["by_code"]), (4, {"unknown-label": 1}))
        # The command line's --ignore replaces the file's.
        proc = self.quorvane("--ignore", "unknown-label,unknown-property")
        self.assertEqual(proc.returncode, 1)
        self.assertIn("error[unknown-function]", proc.stdout)
        proc = self.quorvane("--ignore", "unknown-label,unknown-property,unknown-function")
        self.assertEqual((proc.returncode, proc.stdout), (0, "4 queries checked, no errors\n"))
        self.assertEqual(self.quorvane("--exit-zero").returncode, 0)
        # Fixed, the project passes.
        self.put("app/queries/people.cypher", GOOD)
        self.put("app/queries/movies.cql", GOOD)
        proc = self.quorvane()
        self.assertEqual((proc.returncode, proc.stdout, proc.stderr), (0, "3 queries checked, no errors\n", ""))

    def test_a_query_log_of_the_project(self):
        path = self.put("logs/today.jsonl", json.dumps({"query": BAD_LABEL}) + "\nnot json\n")
        proc = self.quorvane("--input-format", "jsonl", "--quiet", os.path.relpath(path, self.tmp))
        self.assertEqual(proc.returncode, 1, proc.stderr)
        self.assertEqual(
            proc.stdout.splitlines(),
            [
                "logs/today.jsonl:1:10: error[unknown-label] Unknown node label: :Movei, did you mean :Movie?",
                "logs/today.jsonl:2:1: error[bad-input-line] not valid JSON: Expecting value",
                "1 query checked, 1 with errors: 1 schema error; 1 input line without a query",
            ],
        )


class BadInputTest(ProjectTestCase):
    def assert_usage_error(self, proc, message):
        self.assertEqual(proc.returncode, 2, proc.stdout + proc.stderr)
        self.assertEqual(proc.stdout, "")
        self.assertNotIn("Traceback", proc.stderr)
        self.assertEqual(len(proc.stderr.splitlines()), 1, proc.stderr)
        self.assertTrue(proc.stderr.startswith("quorvane: error: "), proc.stderr)
        self.assertIn(message, proc.stderr)

    def test_a_configuration_file_that_is_not_toml(self):
        self.put("pyproject.toml", PYPROJECT.replace("[tool.quorvane]", "[tool.quorvane"))
        self.assert_usage_error(
            self.quorvane(folder="app"),
            f"bad configuration: {os.path.join(self.tmp, 'pyproject.toml')}: not valid TOML: ",
        )

    def test_a_schema_path_that_does_not_exist(self):
        self.put("pyproject.toml", PYPROJECT.replace("graph/movies.json", "graph/movie.json"))
        missing = os.path.join(self.tmp, "graph", "movie.json")
        self.assert_usage_error(
            self.quorvane(),
            f"{missing}: cannot read schema: No such file or directory (the schema set in pyproject.toml)",
        )
        # Given on the command line, the message names no configuration.
        proc = self.quorvane("--schema", "graph/none.json")
        self.assert_usage_error(proc, "graph/none.json: cannot read schema: No such file or directory")
        self.assertNotIn("set in", proc.stderr)

    def test_unknown_codes_in_select_and_ignore(self):
        self.put("pyproject.toml", PYPROJECT + 'select = ["unknown-lable"]\n')
        self.assert_usage_error(
            self.quorvane(),
            "pyproject.toml: [tool.quorvane] select: unknown code 'unknown-lable'; the codes are: syntax-error,",
        )
        self.put("pyproject.toml", PYPROJECT)
        self.assert_usage_error(self.quorvane("--select", "unknown-label,bad-code"), "--select: unknown code 'bad-code'")
        self.assert_usage_error(self.quorvane("--ignore", "syntax-error"), "syntax errors cannot be ignored")

    def test_a_schema_file_that_is_not_a_schema(self):
        self.put("graph/movies.json", "{\"nodes\": ")
        self.assert_usage_error(self.quorvane(), "bad schema: ")


if __name__ == "__main__":
    unittest.main()
