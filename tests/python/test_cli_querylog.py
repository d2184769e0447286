"""quorvane check --input-format jsonl: query logs, one JSON object per line.

Findings sit on the line of their object, their column counted in the query
string; a line that holds no query is a bad-input-line finding of its own."""

import io
import itertools
import json
import unittest

import package_support as ps
from package_support import run_cli

from quorvane import findings, querylog
from quorvane.stream import read_chunks

LABEL_ERROR = "error[unknown-label] Unknown node label: :Persn, did you mean :Person?"


def log(*records):
    """A JSON Lines text: dicts are dumped, strings written as they are."""
    return "".join((json.dumps(r) if not isinstance(r, str) else r) + "\n" for r in records)


def column_of(query, needle):
    """The column a finding about ``needle`` has in a log: 1 plus its index
    in the query string."""
    return query.index(needle) + 1


class QueryLogTest(ps.TempDirTestCase, unittest.TestCase):
    def setUp(self):
        super().setUp()
        self.schema = self.write_schema()

    def check(self, text, *options, name="log.jsonl"):
        path = self.write(name, text)
        return path, run_cli("check", "--schema", self.schema, "--input-format", "jsonl", *options, path)

    def test_findings_are_on_the_objects_line_with_the_column_in_the_query(self):
        bad = "MATCH (p:Persn) RETURN p"
        multiline = "MATCH (p:Person)\nWHERE p.born > 1960\nRETURN p.nme"
        text = log(
            {"query": "MATCH (p:Person) RETURN p.name", "user": "a"},
            "",
            "   ",
            {"id": 7, "query": bad},
            {"query": multiline},
        )
        path, (status, out, err) = self.check(text)
        self.assertEqual(status, 1)
        self.assertEqual(err, "")
        self.assertEqual(
            out.splitlines(),
            [
                f"{path}:4:{column_of(bad, 'Persn')}: {LABEL_ERROR}",
                # A query over several lines: still the object's line, and
                # the column counts the characters of the whole string.
                f"{path}:5:{column_of(multiline, 'nme')}: error[unknown-property] Unknown property 'nme' on "
                "variable 'p' with label :Person, did you mean 'name'?",
                "3 queries checked, 2 with errors: 2 schema errors",
            ],
        )

    def test_a_query_field_with_several_statements_and_a_trailing_semicolon(self):
        query = "MATCH (m:Movie) RETURN m.title; MATCH (p:Persn) RETURN p;"
        path, (status, out, _) = self.check(log({"query": query}) + "\r\n" + log({"query": "RETURN 1;"}).replace("\n", "\r\n"))
        self.assertEqual(status, 1)
        self.assertEqual(
            out.splitlines(),
            [f"{path}:1:{column_of(query, 'Persn')}: {LABEL_ERROR}", "3 queries checked, 1 with errors: 1 schema error"],
        )

    def test_syntax_errors_keep_their_block_and_an_empty_query_fails(self):
        path, (status, out, _) = self.check(log({"query": "MATCH (n RETURN n"}, {"query": ""}), "--format", "concise")
        self.assertEqual(status, 1)
        lines = out.splitlines()
        self.assertEqual(len(lines), 2)
        self.assertTrue(lines[0].startswith(f"{path}:1:{column_of('MATCH (n RETURN n', 'RETURN')}: error[syntax-error] "), lines)
        self.assertTrue(lines[1].startswith(f"{path}:2:1: error[syntax-error] "), lines)
        _, (_, text_out, _) = self.check(log({"query": "MATCH (n RETURN n"}))
        self.assertIn("\n --> 1:10\n", text_out)

    def test_lines_without_a_query_are_reported_never_skipped(self):
        text = log(
            {"query": "RETURN 1"},
            "{not json",
            "[1, 2]",
            '"MATCH (n) RETURN n"',
            {"text": "RETURN 1"},
            {"query": None},
            {"query": ["RETURN 1"]},
            {"query": 3},
        )
        path, (status, out, _) = self.check(text)
        self.assertEqual(status, 1)
        self.assertEqual(
            out.splitlines(),
            [
                f"{path}:2:2: error[bad-input-line] not valid JSON: Expecting property name enclosed in double quotes",
                f"{path}:3:1: error[bad-input-line] expected a JSON object, found an array",
                f"{path}:4:1: error[bad-input-line] expected a JSON object, found a string",
                f'{path}:5:1: error[bad-input-line] the object has no "query" field',
                f'{path}:6:1: error[bad-input-line] the "query" field is null, not a string',
                f'{path}:7:1: error[bad-input-line] the "query" field is an array, not a string',
                f'{path}:8:1: error[bad-input-line] the "query" field is a number, not a string',
                "1 query checked, no errors; 7 input lines without a query",
            ],
        )

    def test_select_ignore_and_the_configuration_handle_the_code(self):
        text = log({"query": "MATCH (p:Persn) RETURN p"}, "garbage")
        _, (status, out, _) = self.check(text, "--ignore", "bad-input-line")
        self.assertEqual((status, out.count("bad-input-line")), (1, 0))
        _, (status, out, _) = self.check(text, "--ignore", "bad-input-line,unknown-label")
        self.assertEqual((status, out), (0, "1 query checked, no errors\n"))
        _, (status, out, _) = self.check(text, "--select", "bad-input-line", "--format", "concise")
        self.assertEqual(status, 1)
        self.assertEqual([line.split(" ")[1] for line in out.splitlines()], ["error[bad-input-line]"])
        # A configuration file may name the code too.
        self.write("quorvane.toml", 'ignore = ["bad-input-line"]\n')
        _, (status, out, _) = self.check(log({"query": "RETURN 1"}, "garbage"), name="logged.jsonl")
        self.assertEqual((status, out), (0, "1 query checked, no errors\n"))

    def test_query_field(self):
        text = log({"cypher": "MATCH (p:Persn) RETURN p", "query": "RETURN 1"}, {"query": "RETURN 1"})
        path, (status, out, _) = self.check(text, "--query-field", "cypher", "--format", "concise")
        self.assertEqual(status, 1)
        self.assertEqual(
            out.splitlines(),
            [f"{path}:1:10: {LABEL_ERROR}", f'{path}:2:1: error[bad-input-line] the object has no "cypher" field'],
        )

    def test_options_that_do_not_go_with_jsonl(self):
        path = self.write("log.jsonl", log({"query": "RETURN 1"}))
        for argv, message in [
            (["--query-field", "q", path], "--query-field goes with --input-format jsonl"),
            (["--input-format", "jsonl", "--fix", path], "--fix and --diff work on Cypher files only"),
            (["--input-format", "jsonl", "--diff", path], "--fix and --diff work on Cypher files only"),
            (["--input-format", "jsonl", "--example"], "--example"),
            (["--input-format", "csv", path], "invalid choice: 'csv'"),
        ]:
            with self.subTest(argv=argv):
                status, out, err = run_cli("check", *argv)
                self.assertEqual((status, out), (2, ""))
                self.assertIn(message, err)

    def test_standard_input_and_a_file_that_is_not_utf8(self):
        status, out, _ = run_cli(
            "check", "--schema", self.schema, "--input-format", "jsonl", "-",
            stdin=log({"query": "MATCH (p:Persn) RETURN p"}).encode(),
        )
        self.assertEqual((status, out.splitlines()[0]), (1, f"<stdin>:1:10: {LABEL_ERROR}"))
        path = self.write("bad.jsonl", b'{"query": "RETURN 1"}\n{"query": "\xff"}\n')
        status, out, err = run_cli("check", "--schema", self.schema, "--input-format", "jsonl", path)
        self.assertEqual(status, 2)
        self.assertIn(f"{path}: not UTF-8 text (invalid byte at offset 33)", err)

    def test_extract_reads_each_query_field_as_a_models_answer(self):
        fence = "`" * 3
        answer = f"Sure:\n{fence}cypher\nMATCH (p:Persn) RETURN p;\n{fence}\n"
        path, (status, out, _) = self.check(log({"answer": answer}), "--extract", "--query-field", "answer", "--format", "concise")
        self.assertEqual(status, 1)
        self.assertEqual(out, f"{path}:1:{column_of(answer, 'Persn')}: {LABEL_ERROR}\n")


class QueryLogFormatsTest(ps.TempDirTestCase, unittest.TestCase):
    QUERY = "MATCH (p:Persn) RETURN p"

    def run_format(self, output_format):
        schema = self.write_schema()
        path = self.write("log.jsonl", log({"query": self.QUERY}, "oops"))
        status, out, _ = run_cli(
            "check", "--schema", schema, "--input-format", "jsonl", "--format", output_format, path
        )
        self.assertEqual(status, 1)
        return path, out

    def test_json_and_json_lines(self):
        path, out = self.run_format("json")
        document = json.loads(out)
        (file,) = document["files"]
        self.assertEqual((file["file"], file["queries"]), (path, 1))
        label, bad = file["diagnostics"]
        column = column_of(self.QUERY, "Persn")
        self.assertEqual(
            (label["code"], label["line"], label["column"], label["end_column"], label["edits"]),
            ("unknown-label", 1, column, column + len("Persn"), []),
        )
        self.assertEqual((bad["code"], bad["line"], bad["column"]), ("bad-input-line", 2, 1))
        self.assertEqual(document["summary"]["bad_input_lines"], 1)
        self.assertEqual(document["summary"]["by_code"], {"bad-input-line": 1, "unknown-label": 1})

        _, out = self.run_format("json-lines")
        first, second = map(json.loads, out.splitlines())
        self.assertEqual((first["line"], first["column"], first["query"], first["is_valid"]), (1, 1, self.QUERY, False))
        self.assertEqual((second["line"], second["query"], second["is_valid"]), (2, None, False))
        self.assertEqual([d["code"] for d in second["diagnostics"]], ["bad-input-line"])

    def test_sarif_lists_the_code_among_its_rules(self):
        _, out = self.run_format("sarif")
        run = json.loads(out)["runs"][0]
        rules = [rule["id"] for rule in run["tool"]["driver"]["rules"]]
        self.assertIn("bad-input-line", rules)
        results = run["results"]
        self.assertEqual([r["ruleId"] for r in results], ["unknown-label", "bad-input-line"])
        for result in results:
            self.assertEqual(rules[result["ruleIndex"]], result["ruleId"])
            self.assertNotIn("fixes", result)  # a query in JSON cannot be edited in place
        self.assertEqual(results[1]["locations"][0]["physicalLocation"]["region"]["startLine"], 2)

    def test_github_and_statistics(self):
        path, out = self.run_format("github")
        self.assertEqual(
            out.splitlines()[1], f"::error file={path},line=2,col=1,endLine=2,endColumn=5,title=bad-input-line::"
            "not valid JSON: Expecting value"
        )
        schema = self.write_schema()
        status, out, _ = run_cli("check", "--schema", schema, "--input-format", "jsonl", "--statistics", path)
        self.assertEqual(status, 1)
        self.assertEqual(out.splitlines()[-1], "1 query checked, 1 with errors: 1 schema error; 1 input line without a query")
        self.assertRegex(out, r"(?m)^ +1  bad-input-line +A line of a JSON Lines input")


class ReadingTest(unittest.TestCase):
    TEXT = 'x\n\n{"query": "RETURN 1"}\r\n{"a": "é\\n"}\nlast'

    def test_lines_are_the_same_however_the_text_is_cut(self):
        whole = list(querylog.iter_lines([self.TEXT]))
        self.assertEqual([n for n, _ in whole], [1, 2, 3, 4, 5])
        self.assertEqual([line for _, line in whole], self.TEXT.split("\n"))
        for size in (1, 2, 3, 7):
            with self.subTest(size=size):
                pieces = [self.TEXT[i : i + size] for i in range(0, len(self.TEXT), size)]
                self.assertEqual(list(querylog.iter_lines(pieces)), whole)
        self.assertEqual(list(querylog.iter_lines([])), [])
        self.assertEqual(list(querylog.iter_lines(["a\n"])), [(1, "a")])

    def test_records_are_read_as_they_arrive(self):
        # An endless log: the first records come out without reading it all.
        endless = itertools.cycle(['{"query": "RETURN 1"}\n', 'x\n'])
        first = list(itertools.islice(querylog.iter_records(endless), 4))
        self.assertEqual([type(item).__name__ for item in first], ["Statement", "Finding"] * 2)
        self.assertEqual([item.line for item in first], [1, 2, 3, 4])
        # From bytes in small pieces, a byte order mark and all.
        data = "\ufeff".encode() + log({"query": "RETURN 1; RETURN 2"}).encode()
        statements = list(querylog.iter_records(read_chunks(io.BytesIO(data), size=3)))
        self.assertEqual([(s.text, s.line, s.column) for s in statements], [("RETURN 1", 1, 1), ("RETURN 2", 1, 11)])

    def test_the_code_is_the_command_lines_own(self):
        self.assertIn("bad-input-line", findings.rule_table())
        self.assertFalse(findings.rule_table()["bad-input-line"].needs_schema)


if __name__ == "__main__":
    unittest.main()
