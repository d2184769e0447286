"""quorvane check's findings and output formats: positions in the file,
text, concise, json, json-lines, sarif and github output, --statistics,
--exit-zero, and reading files statement by statement."""

import io
import json
import os
import random
import types
import unittest
from unittest import mock

import package_support as ps
from package_support import _quorvane, quorvane, run_cli

from quorvane import findings, output, stream
from quorvane.statements import Statement, split_statements

HAVE_DIAGNOSTICS = hasattr(_quorvane, "Diagnostic")

QUERIES = (
    "RETURN 1;\n"
    "  MATCH (p:Persn)\n"
    "  RETURN p.name;   MATCH (p:Person) RETURN p.nme, x;\n"
    "MATCH (p:Person)-[:ACTED_IN]->(m) RETURN m.nme;\n"
    "MATCH (n RETURN n\n"
)


def offset_of(text, line, column):
    """The index of 1-based (line, column) in text, counting line feeds."""
    start = 0
    for _ in range(line - 1):
        start = text.index("\n", start) + 1
    return start + column - 1


def position_of(text, index):
    return text.count("\n", 0, index) + 1, index - (text.rfind("\n", 0, index) + 1) + 1


class FakeDiagnostic(types.SimpleNamespace):
    """A diagnostic as the module reports it: spans relative to its query."""

    @classmethod
    def at(cls, query, needle, code="unknown-label", replacement=None):
        start = query.index(needle)
        end = start + len(needle)
        line, column = position_of(query, start)
        end_line, end_column = position_of(query, end)
        edits = [types.SimpleNamespace(start=start, end=end, replacement=replacement)] if replacement else []
        return cls(code=code, severity="error", message=f"about {needle}", start=start, end=end, line=line,
                   column=column, end_line=end_line, end_column=end_column, suggestion=replacement, edits=edits)


class PlacementTest(unittest.TestCase):
    """A diagnostic's span, relative to its query, lands on the same text in
    the file: lines shift by the query's line, columns on its first line by
    its column."""

    def test_spans_and_edits_land_on_their_text_in_the_file(self):
        text = "RETURN 1;  MATCH (p:Persn)\n  WHERE p.nme = 1\nRETURN p;\n\n   MATCH (q:Movei) RETURN q"
        for statement in split_statements(text):
            with self.subTest(statement=statement.text):
                needles = [n for n in (":Persn", "nme", "RETURN p", ":Movei", "RETURN q") if n in statement.text]
                diagnostics = [FakeDiagnostic.at(statement.text, n, replacement=n.upper()) for n in needles]
                result = types.SimpleNamespace(diagnostics=diagnostics, syntax_errors=[])
                placed = findings.statement_findings(statement, result)
                self.assertEqual(len(placed), len(needles))
                for finding, needle in zip(placed, needles, strict=True):
                    start = offset_of(text, finding.line, finding.column)
                    end = offset_of(text, finding.end_line, finding.end_column)
                    self.assertEqual(text[start:end], needle)
                    (edit,) = finding.edits
                    self.assertEqual(text[edit.start:edit.end], needle)
                    self.assertEqual((edit.line, edit.column), (finding.line, finding.column))
                    self.assertEqual(edit.replacement, needle.upper())

    def test_a_syntax_error_keeps_its_block(self):
        statement = Statement("MATCH (n RETURN n", 3, 5, 40)
        block = " --> 1:10\n  |\n1 | MATCH (n RETURN n\n  |          ^---\n  |\n  = unexpected 'RETURN'"
        diagnostic = FakeDiagnostic.at(statement.text, "RETURN", code="syntax-error")
        result = types.SimpleNamespace(diagnostics=[diagnostic], syntax_errors=[block])
        (finding,) = findings.statement_findings(statement, result)
        self.assertEqual((finding.line, finding.column, finding.end_column), (3, 14, 20))
        self.assertEqual(finding.detail, block)

    def test_the_cli_places_every_finding_where_the_validator_does(self):
        with tempfile_dir() as tmp:
            schema = os.path.join(tmp, "s.json")
            with open(schema, "w") as f:
                json.dump(ps.MOVIE_SCHEMA, f)
            status, out, _ = run_cli("check", "--schema", schema, "--format", "json", "-", stdin=QUERIES.encode())
        self.assertEqual(status, 1)
        (document,) = json.loads(out)["files"]
        validator = quorvane.CypherValidator(quorvane.Schema(ps.MOVIE_SCHEMA["nodes"], ps.MOVIE_SCHEMA["relationships"]), language="extended")
        expected = []
        for statement in split_statements(QUERIES):
            result = validator.validate(statement.text)
            if HAVE_DIAGNOSTICS:
                expected += [statement.text[d.start : d.end] for d in result.diagnostics if d.code != "syntax-error"]
            else:
                expected += [statement.text] * (len(result.semantic_errors) + len(result.warnings))
        placed = [
            QUERIES[offset_of(QUERIES, d["line"], d["column"]) : offset_of(QUERIES, d["end_line"], d["end_column"])]
            for d in document["diagnostics"]
            if d["code"] != "syntax-error"
        ]
        self.assertEqual(placed, expected)
        self.assertEqual(len(placed), 4)


class tempfile_dir:
    def __enter__(self):
        import tempfile

        self._dir = tempfile.TemporaryDirectory()
        return self._dir.name

    def __exit__(self, *exc):
        self._dir.cleanup()


class FormatsTest(ps.TempDirTestCase, unittest.TestCase):
    def setUp(self):
        super().setUp()
        self.schema = self.write_schema()
        self.path = self.write("q.cypher", QUERIES)

    def check(self, *argv):
        return run_cli("check", "--schema", self.schema, *argv, self.path)

    def concise(self):
        status, out, err = self.check("--format", "concise")
        self.assertEqual((status, err), (1, ""))
        return out.splitlines()

    def test_text_and_concise_agree_and_text_adds_blocks_and_a_summary(self):
        lines = self.concise()
        self.assertEqual(len(lines), 5)
        self.assertTrue(all(line.startswith(self.path + ":") for line in lines))
        _, text, _ = self.check()
        text_lines = text.splitlines()
        self.assertEqual([line for line in text_lines if line.startswith(self.path)], lines)
        self.assertEqual(text_lines[-1], "5 queries checked, 3 with errors: 1 syntax error, 3 schema errors (1 warning)")
        block_start = text_lines.index(lines[-1]) + 1
        self.assertEqual(text_lines[block_start], " --> 1:10")
        self.assertEqual(len(text_lines), len(lines) + 6 + 1)
        self.assertTrue(lines[-1].startswith(f"{self.path}:5:10: error[syntax-error] unexpected 'RETURN';"), lines[-1])

    def test_json_document(self):
        status, out, _ = self.check("--output-format", "json")
        self.assertEqual(status, 1)
        document = json.loads(out)
        self.assertEqual(document["tool"], "quorvane")
        (entry,) = document["files"]
        self.assertEqual((entry["file"], entry["queries"]), (self.path, 5))
        concise = [f"{self.path}:{d['line']}:{d['column']}: {d['severity']}[{d['code']}] {d['message']}" for d in entry["diagnostics"]]
        self.assertEqual(concise, self.concise())
        for d in entry["diagnostics"]:
            self.assertLessEqual((d["line"], d["column"]), (d["end_line"], d["end_column"]))
            self.assertEqual(set(d) >= {"code", "severity", "message", "line", "column", "end_line", "end_column", "edits"}, True)
        summary = document["summary"]
        self.assertEqual((summary["queries"], summary["queries_with_errors"], summary["warnings"]), (5, 3, 1))
        self.assertEqual(sum(summary["by_code"].values()), 5)
        # No files: still one document.
        status, out, _ = run_cli("check", "--schema", self.schema, "--format", "json", "-", stdin=b"")
        self.assertEqual((status, json.loads(out)["files"]), (0, [{"file": "<stdin>", "diagnostics": [], "queries": 0}]))

    def test_sarif_has_the_rules_and_one_result_per_finding(self):
        status, out, _ = self.check("--output-format", "sarif")
        self.assertEqual(status, 1)
        log = json.loads(out)
        self.assertEqual(log["version"], "2.1.0")
        (run,) = log["runs"]
        rules = run["tool"]["driver"]["rules"]
        self.assertEqual([r["id"] for r in rules], list(findings.rule_table()))
        regions = []
        for result in run["results"]:
            self.assertEqual(rules[result["ruleIndex"]]["id"], result["ruleId"])
            (location,) = result["locations"]
            self.assertEqual(location["physicalLocation"]["artifactLocation"]["uri"], output.sarif_uri(self.path))
            region = location["physicalLocation"]["region"]
            regions.append(f"{self.path}:{region['startLine']}:{region['startColumn']}: {result['level']}[{result['ruleId']}] {result['message']['text']}")
        self.assertEqual(regions, self.concise())

    def test_github_annotations(self):
        status, out, _ = self.check("--output-format", "github")
        self.assertEqual(status, 1)
        lines = out.splitlines()
        self.assertEqual(len(lines), 5)
        self.assertEqual(sum(line.startswith("::warning file=") for line in lines), 1)
        self.assertTrue(lines[-1].startswith(f"::error file={self.path},line=5,col=10,endLine=5,endColumn="), lines[-1])
        self.assertIn(",title=syntax-error::unexpected 'RETURN'", lines[-1])

    def test_github_escaping(self):
        self.assertEqual(output.github_escape("100% sure\r\nnext"), "100%25 sure%0D%0Anext")
        self.assertEqual(output.github_escape("a:b,c%", in_property=True), "a%3Ab%2Cc%25")
        odd = self.write("a,b:c.cypher", "MATCH (n RETURN n")
        _, out, _ = run_cli("check", "--schema", self.schema, "--format", "github", odd)
        self.assertTrue(out.startswith("::error file=" + odd.replace(":", "%3A").replace(",", "%2C") + ",line=1,"), out)

    def test_statistics_and_exit_zero(self):
        status, out, _ = self.check("--statistics")
        self.assertEqual(status, 1)
        counts = {}
        for line in self.concise():
            code = line.split("[")[1].split("]")[0]
            counts[code] = counts.get(code, 0) + 1
        rows = out.splitlines()[:-1]
        self.assertEqual({row.split()[1]: int(row.split()[0]) for row in rows}, counts)
        self.assertEqual([int(row.split()[0]) for row in rows], sorted(counts.values(), reverse=True))
        self.assertEqual(out.splitlines()[-1], "5 queries checked, 3 with errors: 1 syntax error, 3 schema errors (1 warning)")
        status, out, _ = self.check("--exit-zero")
        self.assertEqual(status, 0)
        self.assertIn("3 with errors", out)


class StreamingTest(unittest.TestCase):
    def test_pieces_split_as_the_whole_text_does(self):
        rng = random.Random(7)
        alphabet = ["a", " ", "\n", "\r\n", ";", "'", '"', "`", "\\", "//", "/*", "*/", "/", "é", "RETURN 1", "\t"]
        for _ in range(600):
            text = "".join(rng.choice(alphabet) for _ in range(rng.randint(0, 40)))
            expected = split_statements(text)
            for size in (1, 2, 3, 7):
                pieces = [text[i : i + size] for i in range(0, len(text), size)]
                with mock.patch.object(stream, "CHUNK_SIZE", 5):  # drop split text often
                    self.assertEqual(list(stream.iter_statements(pieces)), expected, (text, size))

    def test_decoding_in_pieces(self):
        text = "RETURN 'é€𝄞';\n" * 3
        for data in (text.encode(), b"\xef\xbb\xbf" + text.encode()):
            for size in (1, 2, 3, 5, 64):
                self.assertEqual("".join(stream.read_chunks(io.BytesIO(data), size)), text)
        for bad, offset in [(b"RETURN '\xe9'", 8), (b"\xef\xbb\xbfRETURN '\xff", 11), (b"RETURN 1;\n\xe2\x82", 10)]:
            for size in (1, 4, 100):
                with self.subTest(bad=bad, size=size), self.assertRaises(stream.NotUtf8Error) as caught:
                    "".join(stream.read_chunks(io.BytesIO(bad), size))
                self.assertEqual(caught.exception.offset, offset)

    def test_check_in_small_pieces_gives_the_same_output(self):
        schema = os.path.join(ps.HERE, "..", "..", "python", "quorvane", "examples", "movies.schema.json")
        queries = quorvane.EXAMPLE_QUERIES.read_bytes() * 40
        whole = run_cli("check", "--schema", schema, "-", stdin=queries)
        with mock.patch.object(stream, "CHUNK_SIZE", 13):
            pieces = run_cli("check", "--schema", schema, "-", stdin=queries)
        self.assertEqual(pieces, whole)
        self.assertEqual(whole[1].splitlines()[-1], "320 queries checked, 120 with errors: 40 syntax errors, 80 schema errors")

    def test_a_bad_byte_late_in_a_file_is_a_usage_error(self):
        data = b"RETURN 1;\n" * 1000 + b"RETURN '\xff'"
        with mock.patch.object(stream, "CHUNK_SIZE", 64):
            status, _, err = run_cli("check", "--isolated", "-", stdin=data)
        self.assertEqual(status, 2)
        self.assertIn("<stdin>: not UTF-8 text (invalid byte at offset 10008)", err)


if __name__ == "__main__":
    unittest.main()
