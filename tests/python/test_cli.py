"""The quorvane command line: check, inspect, generate."""

import importlib.util
import io
import json
import os
import sys
import unittest
from unittest import mock

import package_support as ps
import support
from package_support import _quorvane, quorvane, run_cli, run_process

from quorvane import cli, findings

SCHEMA_ERROR = "Unknown node label: :Persn, did you mean :Person?"
LABEL_ERROR = "error[unknown-label] " + SCHEMA_ERROR
# Whether the module reports diagnostics with exact spans; before it does,
# schema findings are placed at the start of their query.
def where(text, needle, query_start=None):
    """The (line, column) a finding about ``needle`` has in a file holding
    ``text``: where the needle is written."""
    index = text.index(needle)
    return text.count("\n", 0, index) + 1, index - (text.rfind("\n", 0, index) + 1) + 1


class CheckTextTest(ps.TempDirTestCase, unittest.TestCase):
    def setUp(self):
        super().setUp()
        self.schema = self.write_schema()

    def check(self, *files, stdin=b""):
        return run_cli("check", "--schema", self.schema, *files, stdin=stdin)

    def test_valid_queries_exit_0_with_a_summary(self):
        path = self.write("ok.cypher", "MATCH (p:Person) RETURN p.name;\nMATCH (m:Movie) RETURN m.title;\n")
        self.assertEqual(self.check(path), (0, "2 queries checked, no errors\n", ""))

    def test_a_schema_error_is_reported_where_its_query_starts(self):
        text = "RETURN 1;\n\n  MATCH (p:Persn)\n  RETURN p;\n"
        path = self.write("q.cypher", text)
        status, out, err = self.check(path)
        self.assertEqual(status, 1)
        line, column = where(text, "Persn", "MATCH")
        self.assertEqual(
            out.splitlines(),
            [f"{path}:{line}:{column}: {LABEL_ERROR}", "2 queries checked, 1 with errors: 1 schema error"],
        )
        self.assertEqual(err, "")

    def test_several_schema_errors_of_one_query_each_get_a_line(self):
        text = "MATCH (p:Person) RETURN p.nme, x"
        path = self.write("q.cypher", text)
        status, out, _ = self.check(path)
        self.assertEqual(status, 1)
        self.assertEqual(
            out.splitlines(),
            [
                "%s:%d:%d: error[unknown-property] Unknown property 'nme' on variable 'p' with label :Person, did you mean 'name'?"
                % (path, *where(text, "nme", "MATCH")),
                "%s:%d:%d: error[unbound-variable] Variable 'x' is not bound in this scope" % (path, *where(text, "x", "MATCH")),
                "1 query checked, 1 with errors: 2 schema errors",
            ],
        )

    def test_a_syntax_error_on_the_first_line_of_a_query_shifts_the_column(self):
        path = self.write("q.cypher", "RETURN 1;   MATCH (n RETURN n")
        status, out, _ = self.check(path)
        self.assertEqual(status, 1)
        self.assertEqual(
            out,
            f"{path}:1:22: error[syntax-error] unexpected 'RETURN'; expected 'WHERE', a label such as ':Person' or a property map such as '{{name: $name}}'\n"
            " --> 1:10\n"
            "  |\n"
            "1 | MATCH (n RETURN n\n"
            "  |          ^---\n"
            "  |\n"
            "  = unexpected 'RETURN'; expected 'WHERE', a label such as ':Person' or a property map such as '{name: $name}'\n"
            "2 queries checked, 1 with errors: 1 syntax error\n",
        )

    def test_a_syntax_error_on_a_later_line_of_a_query_keeps_the_column(self):
        path = self.write("q.cypher", "// header\nRETURN 1;\n    MATCH (p:Person)\nWHERE p.born <\nRETURN p.name;\n")
        status, out, _ = self.check(path)
        self.assertEqual(status, 1)
        lines = out.splitlines()
        # The query starts on line 3; its line 3 is line 5 of the file.
        self.assertEqual(lines[0], f"{path}:5:1: error[syntax-error] unexpected 'RETURN'; expected an expression")
        self.assertEqual(lines[1], " --> 3:1")
        self.assertEqual(lines[3], "3 | RETURN p.name")
        self.assertEqual(lines[-1], "2 queries checked, 1 with errors: 1 syntax error")

    def test_warnings_print_without_failing_the_check(self):
        # The end of ACTED_IN is a Movie, which declares no 'nme'.
        text = "MATCH (p:Person)-[:ACTED_IN]->(m) RETURN m.nme;\nMATCH (p:Persn) RETURN p;"
        path = self.write("q.cypher", text)
        status, out, _ = self.check(path)
        lines = out.splitlines()
        self.assertEqual(status, 1)
        self.assertTrue(
            lines[0].startswith(
                "%s:%d:%d: warning[unknown-property] Unknown property 'nme' on variable 'm', which :ACTED_IN"
                % (path, *where(text, "nme", "MATCH"))
            ),
            lines,
        )
        self.assertEqual(lines[1], "%s:%d:%d: %s" % (path, *where(text, "Persn", "MATCH (p:Persn)"), LABEL_ERROR))
        self.assertEqual(lines[2], "2 queries checked, 1 with errors: 1 schema error (1 warning)")
        only_warning = self.write("w.cypher", "MATCH (p:Person)-[:ACTED_IN]->(m) RETURN m.nme")
        status, out, _ = self.check(only_warning)
        self.assertEqual(status, 0)
        self.assertEqual(out.splitlines()[-1], "1 query checked, no errors (1 warning)")
        # The subset has no warnings.
        status, out, _ = run_cli("check", "--schema", self.schema, "--language", "subset", only_warning)
        self.assertEqual((status, out), (0, "1 query checked, no errors\n"))

    def test_the_summary_counts_queries_and_errors_of_every_file(self):
        first = self.write("a.cypher", "MATCH (n RETURN n; MATCH (p:Persn) RETURN p")
        second = self.write("b.cypher", "MATCH (p:Person) RETURN p.nme, x; RETURN 1")
        status, out, _ = self.check(first, second)
        self.assertEqual(status, 1)
        self.assertEqual(out.splitlines()[-1], "4 queries checked, 3 with errors: 1 syntax error, 3 schema errors")
        self.assertEqual([line.split(":")[0] for line in out.splitlines() if ": error[" in line], [first, first, second, second])

    def test_semicolons_in_strings_comments_and_backticks_do_not_split(self):
        text = (
            "MATCH (p:Person) WHERE p.name = 'a;b' RETURN p; // c;d\n"
            'MATCH (p:Person) WHERE p.name = "e\\";f" RETURN p /* g;h */;\n'
            "MATCH (p:`Person`) RETURN p.`name`;\n"
        )
        status, out, _ = self.check(self.write("q.cypher", text))
        self.assertEqual((status, out), (0, "3 queries checked, no errors\n"))

    def test_windows_line_ends_and_a_bom_are_accepted(self):
        text = "RETURN 1;\r\nMATCH (p:Persn)\r\nRETURN p;\r\n"
        path = self.write("q.cypher", b"\xef\xbb\xbf" + text.encode())
        status, out, _ = self.check(path)
        self.assertEqual(status, 1)
        self.assertEqual(out.splitlines()[0], "%s:%d:%d: %s" % (path, *where(text, "Persn", "MATCH"), LABEL_ERROR))

    def test_standard_input(self):
        text = "MATCH (p:Persn) RETURN p"
        status, out, _ = self.check("-", stdin=text.encode())
        self.assertEqual(status, 1)
        self.assertEqual(out.splitlines()[0], "<stdin>:%d:%d: %s" % (*where(text, "Persn", "MATCH"), LABEL_ERROR))

    def test_an_empty_file_has_no_queries(self):
        self.assertEqual(self.check(self.write("empty.cypher", "// nothing yet\n")), (0, "0 queries checked, no errors\n", ""))

    def test_results_equal_validating_each_query_alone(self):
        queries = ["MATCH (p:Person) RETURN p", "MATCH (p:Persn) RETURN p", "MATCH (n RETURN n", "MATCH (m:Movie) RETURN m.nope"]
        path = self.write("q.cypher", ";\n".join(queries * 50))
        validator = quorvane.CypherValidator(quorvane.load_schema(self.schema), language="extended")
        status, out, _ = run_cli("check", "--schema", self.schema, "--format", "json-lines", path)
        self.assertEqual(status, 1)
        records = [json.loads(line) for line in out.splitlines()]
        self.assertEqual(len(records), 200)
        for record in records:
            result = validator.validate(record["query"])
            self.assertEqual(
                (record["is_valid"], record["syntax_errors"], record["semantic_errors"]),
                (result.is_valid, result.syntax_errors, result.semantic_errors),
            )
        self.assertEqual([r["query"] for r in records], queries * 50)


class SyntaxFindingTest(unittest.TestCase):
    STATEMENT = quorvane.Statement("...", 4, 7, 0)

    def finding(self, line, column, message, detail=None):
        return findings.Finding("syntax-error", "error", message, line, column, line, column + 1 if detail else column, detail=detail)

    def test_a_block_is_placed_in_the_file(self):
        block = " --> 1:3\n  |\n1 | ab\n  |   ^---\n  |\n  = expected atom"
        self.assertEqual(findings.syntax_block_finding(self.STATEMENT, block), self.finding(4, 9, "expected atom", block))
        later = block.replace("1:3", "12:3")
        self.assertEqual(findings.syntax_block_finding(self.STATEMENT, later), self.finding(15, 3, "expected atom", later))
        # The form parse_query reports, with its prefix.
        self.assertEqual(findings.syntax_block_finding(self.STATEMENT, "Parse error: " + block), self.finding(4, 9, "expected atom", block))

    def test_a_message_without_a_position_is_placed_at_the_statement(self):
        self.assertEqual(findings.syntax_block_finding(self.STATEMENT, "Parse error: Empty query"), self.finding(4, 7, "Empty query"))
        self.assertEqual(findings.syntax_block_finding(self.STATEMENT, " --> 1:3 but no block"), self.finding(4, 7, " --> 1:3 but no block"))


class CheckJsonLinesTest(ps.TempDirTestCase, unittest.TestCase):
    def test_one_object_per_query(self):
        schema = self.write_schema()
        path = self.write("q.cypher", "MATCH (p:Person) RETURN p;\n  MATCH (p:Persn) RETURN p;\nMATCH (n RETURN n\n")
        status, out, err = run_cli("check", "--schema", schema, "--format", "json-lines", path)
        self.assertEqual((status, err), (1, ""))
        records = [json.loads(line) for line in out.splitlines()]
        self.assertEqual(
            [{k: r[k] for k in ("file", "line", "column", "query", "is_valid", "semantic_errors")} for r in records],
            [
                {"file": path, "line": 1, "column": 1, "query": "MATCH (p:Person) RETURN p", "is_valid": True, "semantic_errors": []},
                {"file": path, "line": 2, "column": 3, "query": "MATCH (p:Persn) RETURN p", "is_valid": False, "semantic_errors": [SCHEMA_ERROR]},
                {"file": path, "line": 3, "column": 1, "query": "MATCH (n RETURN n", "is_valid": False, "semantic_errors": []},
            ],
        )
        self.assertEqual([len(r["syntax_errors"]) for r in records], [0, 0, 1])
        self.assertTrue(records[2]["syntax_errors"][0].startswith(" --> 1:10\n"))
        self.assertEqual(
            set(records[0]),
            {"file", "line", "column", "query", "is_valid", "syntax_errors", "semantic_errors", "warnings", "diagnostics"},
        )
        self.assertEqual([[d["code"] for d in r["diagnostics"]] for r in records], [[], ["unknown-label"], ["syntax-error"]])

    def test_clean_input_exits_0(self):
        status, out, _ = run_cli("check", "--schema", self.write_schema(), "--format", "json-lines", "-", stdin=b"RETURN 'caf\xc3\xa9'")
        self.assertEqual(status, 0)
        self.assertEqual(json.loads(out)["query"], "RETURN 'café'")


class CheckFailureTest(ps.TempDirTestCase, unittest.TestCase):
    """Exit status 2, one clear line on stderr, nothing on stdout."""

    def assert_usage_error(self, argv, message, stdin=b""):
        status, out, err = run_cli(*argv, stdin=stdin)
        self.assertEqual((status, out), (2, ""), err)
        self.assertIn(message, err)
        self.assertNotIn("Traceback", err)

    def test_unreadable_inputs(self):
        schema = self.write_schema()
        missing = os.path.join(self.tmp, "missing.cypher")
        self.assert_usage_error(["check", "--schema", schema, missing], f"quorvane: error: {missing}: cannot read: No such file or directory")
        self.assert_usage_error(["check", "--schema", schema, self.tmp], f"{self.tmp}: is a directory")
        latin1 = self.write("latin1.cypher", "RETURN 'café'".encode("latin-1"))
        self.assert_usage_error(["check", "--schema", schema, latin1], f"{latin1}: not UTF-8 text (invalid byte at offset 11)")
        self.assert_usage_error(["check", "--schema", schema, "-", "-"], "standard input ('-') can be given only once")

    def test_an_unreadable_input_stops_before_any_output(self):
        good = self.write("good.cypher", "MATCH (p:Persn) RETURN p")
        self.assert_usage_error(["check", "--schema", self.write_schema(), good, os.path.join(self.tmp, "nope")], "cannot read")

    def test_bad_schemas(self):
        query = self.write("q.cypher", "RETURN 1")
        missing = os.path.join(self.tmp, "missing.json")
        self.assert_usage_error(["check", "--schema", missing, query], f"{missing}: cannot read schema: No such file or directory")
        self.assert_usage_error(["check", "--schema", self.tmp, query], "is a directory, not a schema file")
        bad = self.write_schema("bad.json", {"nodes": {"Person": "name"}, "relationships": {}})
        self.assert_usage_error(["check", "--schema", bad, query], f'bad schema: {bad}: nodes["Person"]: expected an array of property keys')
        broken = self.write("broken.json", "{")
        self.assert_usage_error(["check", "--schema", broken, query], f"bad schema: {broken}:1:2: not valid JSON")

    def test_usage_errors(self):
        schema = self.write_schema()
        query = self.write("q.cypher", "RETURN 1")
        self.assert_usage_error(["check", "--example", query], "--example takes neither --schema, --config nor files")
        self.assert_usage_error(["check", "--schema", schema, "--statistics", "--format", "json", query], "--statistics goes with")
        self.assert_usage_error(["check", "--schema", schema, "--select", "unknown-lable", query], "--select: unknown code 'unknown-lable'")
        self.assert_usage_error(["check", "--schema", schema, "--ignore", "syntax-error", query], "syntax errors cannot be ignored")
        self.assert_usage_error(["check", "--schema", schema, "--format", "xml", query], "invalid choice: 'xml'")
        self.assert_usage_error(["check", "--bogus"], "unrecognized arguments: --bogus")
        self.assert_usage_error([], "the following arguments are required: COMMAND")
        self.assert_usage_error(["lint"], "invalid choice: 'lint'")


class LanguageOptionTest(ps.TempDirTestCase, unittest.TestCase):
    QUERY = "MATCH (p:Person) WHERE EXISTS { MATCH (p)-[:ACTED_IN]->(m:Movie) } RETURN p.name;\n"

    def test_check_reads_the_extended_language_by_default(self):
        schema = self.write_schema()
        path = self.write("q.cypher", self.QUERY)
        self.assertEqual(run_cli("check", "--schema", schema, path)[0], 0)
        self.assertEqual(run_cli("check", "--language", "extended", "--schema", schema, path)[0], 0)
        status, out, _ = run_cli("check", "--language", "subset", "--schema", schema, path)
        self.assertEqual(status, 1)
        self.assertIn("1 syntax error", out)

    def test_inspect_reads_the_extended_language_by_default(self):
        query = "MATCH (p) WHERE p:Person RETURN p"
        status, out, _ = run_cli("inspect", "-q", query)
        self.assertEqual(status, 0)
        self.assertIn("labels:             Person", out)
        self.assertEqual(run_cli("inspect", "--language", "subset", "-q", query)[0], 1)

    def test_a_bad_language_is_a_usage_error(self):
        status, out, err = run_cli("inspect", "--language", "cypher", "-q", "RETURN 1")
        self.assertEqual((status, out), (2, ""))
        self.assertIn("invalid choice: 'cypher'", err)

    def test_help_names_the_default(self):
        for command in ("check", "inspect"):
            _, out, _ = run_cli(command, "--help")
            self.assertIn("--language {subset,extended}", out)
            self.assertIn("'extended' (the default here)", " ".join(out.split()))


class ExampleTest(unittest.TestCase):
    EXPECTED = (
        ":16:34: error[unknown-label] Unknown node label: :Movei, did you mean :Movie?",
        ":25:9: error[unknown-property] Unknown property 'rating' on variable 'm' with label :Movie; declared properties of :Movie: "
        "'title', 'released', 'tagline'",
        ":35:18: error[syntax-error] unexpected '->'; expected 'WHERE', a length such as '*1..3' or a property map such as '{name: $name}'; is a ']' missing before the arrow?",
    )

    def test_the_example_shows_its_three_mistakes(self):
        status, out, err = run_cli("check", "--example")
        self.assertEqual(status, 1)
        name = cli.short_path(quorvane.EXAMPLE_QUERIES)
        found = [line for line in out.splitlines() if ": error[" in line]
        self.assertEqual(found, [name + suffix for suffix in self.EXPECTED])
        self.assertEqual(out.splitlines()[-1], "8 queries checked, 3 with errors: 1 syntax error, 2 schema errors")
        self.assertIn("against the schema", err)

    def test_example_paths_are_shown_relative_below_the_working_directory(self):
        package_parent = os.path.dirname(os.path.dirname(os.path.dirname(str(quorvane.EXAMPLE_QUERIES))))
        with ps.working_directory(package_parent):
            _, out, _ = run_cli("check", "--example")
        self.assertTrue(out.startswith(os.path.join("quorvane", "examples", "movies.cypher") + ":16:34: "), out)
        with ps.working_directory(os.path.dirname(quorvane.EXAMPLE_QUERIES)):
            self.assertEqual(cli.short_path(quorvane.EXAMPLE_SCHEMA), "movies.schema.json")

    def test_the_example_in_json(self):
        status, out, _ = run_cli("check", "--example", "--format", "json-lines")
        records = [json.loads(line) for line in out.splitlines()]
        self.assertEqual(status, 1)
        self.assertEqual([r["line"] for r in records if not r["is_valid"]], [16, 24, 34])


def has_tqdm():
    return importlib.util.find_spec("tqdm") is not None


# Runs the command in a fresh interpreter and prints its status, the threads
# it started and the pool setting left behind.
JOBS_SCRIPT = """
import io, os, sys
import package_support, support
from quorvane.cli import main
before = support.thread_count()
status = main(["check", "--quiet", *sys.argv[1:]], stdout=io.StringIO())
print(status, support.thread_count() - before, os.environ.get("RAYON_NUM_THREADS"))
"""


class JobsTest(ps.TempDirTestCase, unittest.TestCase):
    def setUp(self):
        super().setUp()
        self.schema = self.write_schema()
        text = "".join(f"MATCH (p:Person) RETURN p.x{i};\nMATCH (p:Persn) RETURN p;\nRETURN {i};\n" for i in range(40))
        self.path = self.write("q.cypher", text)

    def threads_started(self, *argv):
        proc = support.run_python(JOBS_SCRIPT, args=["--schema", self.schema, *argv, self.path])
        self.assertEqual(proc.returncode, 0, proc.stderr)
        status, threads, setting = proc.stdout.split()
        self.assertEqual((status, setting), ("1", "None"))  # the setting is restored
        return int(threads)

    def test_jobs_sizes_the_worker_pool(self):
        self.assertEqual(self.threads_started("--jobs", "3"), 3)
        self.assertEqual(self.threads_started("-j", "2"), 2)
        self.assertEqual(self.threads_started("--jobs", "1"), 0)  # the main thread alone
        default = self.threads_started()
        self.assertGreaterEqual(default, 1)
        self.assertLessEqual(default, len(os.sched_getaffinity(0)))

    def test_the_same_findings_in_the_same_order_with_any_number_of_jobs(self):
        outputs = set()
        for jobs in ("1", "2", "4"):
            with mock.patch.object(cli, "PROGRESS_BATCH", 7):
                status, out, _ = run_cli("check", "--schema", self.schema, "--jobs", jobs, self.path)
            self.assertEqual(status, 1)
            outputs.add(out)
        (out,) = outputs
        lines = out.splitlines()
        self.assertEqual(len(lines), 81)
        self.assertEqual([int(line.split(":")[1]) for line in lines[:-1]], [n for i in range(40) for n in (3 * i + 1, 3 * i + 2)])

    def test_bad_values(self):
        for value in ("0", "-2", "many"):
            with self.subTest(value=value):
                status, _, err = run_cli("check", "--jobs", value, self.path)
                self.assertEqual(status, 2)
                self.assertIn("argument -j/--jobs", err)


class ProgressTest(ps.TempDirTestCase, unittest.TestCase):
    def setUp(self):
        super().setUp()
        self.schema = self.write_schema()
        self.path = self.write("many.cypher", "MATCH (p:Person) RETURN p;\n" * 25)

    def run_on(self, err, *options):
        with (
            mock.patch.object(cli, "PROGRESS_BATCH", 10),
            mock.patch.object(cli, "PROGRESS_DELAY", 0),
            mock.patch.object(cli, "PROGRESS_INTERVAL", 0),
        ):
            return run_cli("check", "--schema", self.schema, *options, self.path, err=err)

    @unittest.skipUnless(has_tqdm(), "tqdm is not installed")
    def test_a_bar_over_the_bytes_read_on_a_terminal(self):
        terminal = ps.TtyStringIO()
        status, out, _ = self.run_on(terminal)
        self.assertEqual((status, out), (0, "25 queries checked, no errors\n"))
        shown = terminal.getvalue()
        size = os.path.getsize(self.path)
        self.assertIn("quorvane: 100%", shown)
        self.assertIn(f"{size}/{size}", shown.replace("B", ""))
        self.assertIn("25 queries", shown)
        self.assertTrue(shown.endswith("\r"), repr(shown[-20:]))  # the bar is cleared at the end

    def test_no_bar_off_a_terminal_with_quiet_or_without_tqdm(self):
        self.assertEqual(self.run_on(io.StringIO())[2], "")
        terminal = ps.TtyStringIO()
        self.assertEqual(self.run_on(terminal, "--quiet")[:2], (0, "25 queries checked, no errors\n"))
        self.assertEqual(terminal.getvalue(), "")
        terminal = ps.TtyStringIO()
        with mock.patch.dict(sys.modules, {"tqdm": None}):  # importing it fails
            self.assertEqual(self.run_on(terminal)[:2], (0, "25 queries checked, no errors\n"))
        self.assertEqual(terminal.getvalue(), "")

    def test_quiet_silences_the_notes_but_not_the_errors(self):
        self.assertIn("no schema given", run_cli("check", self.path)[2])
        self.assertEqual(run_cli("check", "-q", self.path)[2], "")
        self.assertIn("checking", run_cli("check", "--example")[2])
        self.assertEqual(run_cli("check", "--example", "--quiet")[2], "")
        status, _, err = run_cli("check", "--quiet", "--schema", self.schema, self.path + ".missing")
        self.assertEqual(status, 2)
        self.assertIn("cannot read", err)

    def test_batched_results_stay_in_input_order(self):
        schema = self.write_schema()
        queries = [f"MATCH (p:Person) RETURN p.x{i}" for i in range(23)]
        path = self.write("q.cypher", ";\n".join(queries))
        with mock.patch.object(cli, "PROGRESS_BATCH", 5):
            status, out, _ = run_cli("check", "--schema", schema, path, err=ps.TtyStringIO())
        self.assertEqual(status, 1)
        found = [line for line in out.splitlines() if ": error[" in line]
        text = ";\n".join(queries)
        self.assertEqual(
            found,
            [
                "%s:%d:%d: error[unknown-property] Unknown property 'x%d' on variable 'p' with label :Person; "
                "declared properties of :Person: 'name', 'born'" % (path, *where(text, f"x{i}", queries[i]), i)
                for i in range(23)
            ],
        )


class InspectTest(ps.TempDirTestCase, unittest.TestCase):
    QUERY = "MATCH (p:Person)-[:ACTED_IN]->(m:Movie) RETURN p.name"

    def test_a_query_argument_as_text(self):
        status, out, err = run_cli("inspect", "-q", self.QUERY)
        self.assertEqual((status, err), (0, ""))
        self.assertEqual(
            out,
            "<query>:1:1:\n"
            "  labels:             Movie, Person\n"
            "  relationship types: ACTED_IN\n"
            "  properties:         name\n",
        )

    def test_files_as_json(self):
        path = self.write("q.cypher", f"{self.QUERY};\nRETURN 1;\nMATCH (n RETURN n")
        status, out, _ = run_cli("inspect", "--format", "json", path)
        self.assertEqual(status, 1)
        records = [json.loads(line) for line in out.splitlines()]
        self.assertEqual(
            [(r["line"], r["is_valid"], r["labels_used"], r["rel_types_used"], r["properties_used"]) for r in records],
            [(1, True, ["Movie", "Person"], ["ACTED_IN"], ["name"]), (2, True, [], [], []), (3, False, [], [], [])],
        )
        self.assertTrue(records[2]["errors"][0].startswith("Parse error:  --> 1:10"))
        self.assertEqual(records[0]["file"], path)

    def test_a_syntax_error_is_located_in_the_file(self):
        path = self.write("q.cypher", "RETURN 1;\nRETURN 2;  MATCH (n RETURN n\n")
        status, out, _ = run_cli("inspect", path)
        self.assertEqual(status, 1)
        self.assertIn(f"{path}:2:21: error[syntax-error] unexpected 'RETURN'; expected 'WHERE', a label such as ':Person' or a property map such as '{{name: $name}}'\n --> 1:10\n", out)
        self.assertIn(f"{path}:1:1:\n  labels:             -\n", out)

    def test_standard_input_and_an_empty_query(self):
        status, out, _ = run_cli("inspect", "-", stdin=b"MATCH (n:A) RETURN n.b")
        self.assertEqual(status, 0)
        self.assertTrue(out.startswith("<stdin>:1:1:\n  labels:             A\n"))
        status, out, _ = run_cli("inspect", "-q", "")
        self.assertEqual(status, 1)
        self.assertTrue(out.startswith("<query>:1:1: error[syntax-error] unexpected end of query; expected a clause such as MATCH, "
                                       "WITH or RETURN\n"), out)

    def test_usage_errors(self):
        path = self.write("q.cypher", "RETURN 1")
        for argv, message in [
            (["inspect"], "inspect needs -q QUERY or at least one FILE"),
            (["inspect", "-q", "RETURN 1", path], "either -q/--query or files"),
            (["inspect", os.path.join(self.tmp, "none")], "cannot read"),
        ]:
            with self.subTest(argv=argv):
                status, out, err = run_cli(*argv)
                self.assertEqual((status, out), (2, ""))
                self.assertIn(message, err)


class GenerateTest(ps.TempDirTestCase, unittest.TestCase):
    def setUp(self):
        super().setUp()
        self.schema = self.write_schema()

    def generate(self, *argv):
        return run_cli("generate", "--schema", self.schema, *argv)

    def test_list_types(self):
        status, out, _ = run_cli("generate", "--list-types")
        self.assertEqual(status, 0)
        self.assertEqual(out.splitlines(), _quorvane.CypherGenerator.supported_types())
        self.assertEqual(len(out.splitlines()), 13)

    def test_the_same_seed_gives_the_same_queries(self):
        first = self.generate("--type", "match_where_return", "-n", "20", "--seed", "7")
        second = self.generate("--type", "match_where_return", "-n", "20", "--seed", "7")
        other = self.generate("--type", "match_where_return", "-n", "20", "--seed", "8")
        self.assertEqual(first[0], 0)
        self.assertEqual(first, second)
        self.assertNotEqual(first[1], other[1])
        self.assertEqual(len(first[1].splitlines()), 20)

    def test_output_matches_the_generator_and_checks_clean(self):
        schema = quorvane.load_schema(self.schema)
        for query_type in _quorvane.CypherGenerator.supported_types():
            with self.subTest(query_type=query_type):
                status, out, _ = self.generate("--type", query_type, "-n", "5", "--seed", "123")
                self.assertEqual(status, 0)
                generator = quorvane.CypherGenerator(schema, seed=123)
                self.assertEqual(out, "".join(generator.generate(query_type) + ";\n" for _ in range(5)))
                status, checked, _ = run_cli("check", "--schema", self.schema, "-", stdin=out.encode())
                self.assertEqual((status, checked), (0, "5 queries checked, no errors\n"))

    def test_the_example_schema_and_a_count_of_zero(self):
        status, out, _ = run_cli("generate", "--example", "--type", "create", "-n", "3", "--seed", "1")
        self.assertEqual(status, 0)
        self.assertEqual(len(out.splitlines()), 3)
        self.assertEqual(self.generate("--type", "create", "-n", "0"), (0, "", ""))

    def test_bad_arguments(self):
        for argv, message in [
            (["--type", "bogus"], "unknown query type 'bogus'"),
            ([], "generate needs --type TYPE"),
            (["--type", "create", "--seed", "-1"], "must be from 0 to 2**64 - 1"),
            (["--type", "create", "--seed", str(2**64)], "must be from 0 to 2**64 - 1"),
            (["--type", "create", "--seed", "1.5"], "not an integer: '1.5'"),
            (["--type", "create", "-n", "-3"], "must not be negative"),
            (["--type", "create", "--example"], "--example and --schema exclude each other"),
        ]:
            with self.subTest(argv=argv):
                status, out, err = self.generate(*argv)
                self.assertEqual((status, out), (2, ""))
                self.assertIn(message, err)
        status, _, err = run_cli("generate", "--type", "create")
        self.assertEqual(status, 2)
        self.assertIn("generate needs --schema", err)

    def test_the_largest_seed_is_accepted(self):
        self.assertEqual(self.generate("--type", "create", "--seed", str(2**64 - 1))[0], 0)


class GenerateWithoutGeneratorTest(ps.TempDirTestCase, unittest.TestCase):
    def test_a_module_without_the_generator_is_a_clear_error(self):
        schema = self.write_schema()
        with mock.patch.dict(_quorvane.__dict__):
            _quorvane.__dict__.pop("CypherGenerator", None)
            status, out, err = run_cli("generate", "--schema", schema, "--type", "create")
        self.assertEqual((status, out), (2, ""))
        self.assertIn("has no CypherGenerator", err)


class HelpAndVersionTest(unittest.TestCase):
    def test_help_for_every_command(self):
        for argv, words in [
            (["--help"], ["check", "inspect", "generate", "--version"]),
            (["check", "--help"], ["--schema", "--example", "--format", "FILE"]),
            (["inspect", "--help"], ["--query", "--format"]),
            (["generate", "--help"], ["--type", "--seed", "--list-types", "-n N"]),
        ]:
            with self.subTest(argv=argv):
                status, out, err = run_cli(*argv)
                self.assertEqual((status, err), (0, ""))
                self.assertTrue(out.startswith("usage: quorvane"))
                for word in words:
                    self.assertIn(word, out)

    def test_version(self):
        self.assertEqual(run_cli("--version"), (0, f"quorvane {quorvane.__version__}\n", ""))


class ProcessTest(ps.TempDirTestCase, unittest.TestCase):
    """The real `python -m quorvane` entry point."""

    def test_exit_statuses_and_streams(self):
        schema = self.write_schema()
        proc = run_process("check", "--schema", schema, "-", stdin=b"MATCH (p:Person) RETURN p")
        self.assertEqual((proc.returncode, proc.stdout, proc.stderr), (0, "1 query checked, no errors\n", ""))
        text = "MATCH (p:Persn) RETURN p"
        proc = run_process("check", "--schema", schema, "-", stdin=text.encode())
        self.assertEqual(proc.returncode, 1)
        self.assertEqual(proc.stdout.splitlines()[0], "<stdin>:%d:%d: %s" % (*where(text, "Persn", "MATCH"), LABEL_ERROR))
        proc = run_process("check", "--schema", os.path.join(self.tmp, "none.json"), "-")
        self.assertEqual((proc.returncode, proc.stdout), (2, ""))
        self.assertNotIn("Traceback", proc.stderr)
        self.assertTrue(proc.stderr.startswith("quorvane: error: "))

    def test_the_example_runs_from_any_directory(self):
        proc = run_process("check", "--example", cwd=self.tmp)
        self.assertEqual(proc.returncode, 1)
        self.assertIn(f"{quorvane.EXAMPLE_QUERIES}:16:34: error[unknown-label] Unknown node label: :Movei", proc.stdout)


if __name__ == "__main__":
    unittest.main()
