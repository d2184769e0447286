"""Scripts for the shell clients: their commands are not statements, and
what follows them keeps its exact position."""

import random
import unittest

import package_support as ps
from package_support import run_cli

from quorvane.statements import split_statements
from quorvane.stream import iter_statements

SCRIPT = """:param limit => 10
:params {a: 1}
// set-up
:begin
MATCH (n:Person) RETURN n LIMIT $limit
:commit
:auto MATCH (m:Movie) RETURN m;
  :use neo4j
CREATE (a:Person {name: ':param ; not a command'})
:exit
"""


class ShellCommandTest(unittest.TestCase):
    def test_commands_are_skipped_and_statements_end_before_them(self):
        found = [(s.text, s.line, s.column) for s in split_statements(SCRIPT)]
        self.assertEqual(
            found,
            [
                ("MATCH (n:Person) RETURN n LIMIT $limit", 5, 1),
                ("MATCH (m:Movie) RETURN m", 7, 7),
                ("CREATE (a:Person {name: ':param ; not a command'})", 9, 1),
            ],
        )
        for statement in split_statements(SCRIPT):
            self.assertEqual(SCRIPT[statement.offset : statement.offset + len(statement.text)], statement.text)

    def test_reading_in_pieces_splits_the_same_way(self):
        rng = random.Random(7)
        for _ in range(50):
            cuts = sorted(rng.sample(range(1, len(SCRIPT)), 6))
            pieces = [SCRIPT[a:b] for a, b in zip([0, *cuts], [*cuts, len(SCRIPT)], strict=True)]
            self.assertEqual(list(iter_statements(pieces)), split_statements(SCRIPT))

    def test_a_parameter_map_may_run_over_several_lines(self):
        # Only a map's top-level keys are names; nothing in its strings is.
        SET_BY_MAPS = frozenset({"name", "the year", "nested", "limit"})
        found = [(s.text, s.line, s.column, s.parameters) for s in split_statements(PARAMETER_SCRIPT)]
        self.assertEqual(
            found,
            [
                ("RETURN $before", 1, 1, None),
                ("MATCH (p:Person {name: $name}) RETURN p LIMIT $limit", 10, 1, SET_BY_MAPS),
                ("RETURN $x", 12, 1, SET_BY_MAPS | {"odd `name"}),
                ("RETURN $x", 14, 1, frozenset()),
            ],
        )
        for statement in split_statements(PARAMETER_SCRIPT):
            self.assertEqual(PARAMETER_SCRIPT[statement.offset :].index(statement.text), 0)
        rng = random.Random(11)
        for _ in range(50):
            cuts = sorted(rng.sample(range(1, len(PARAMETER_SCRIPT)), 5))
            bounds = zip([0, *cuts], [*cuts, len(PARAMETER_SCRIPT)], strict=True)
            pieces = [PARAMETER_SCRIPT[a:b] for a, b in bounds]
            self.assertEqual(list(iter_statements(pieces)), split_statements(PARAMETER_SCRIPT))

    def test_listing_commands_set_nothing(self):
        text = ":params\n:param list\nRETURN $a"
        self.assertEqual([s.parameters for s in split_statements(text)], [None])

    def test_a_colon_inside_a_statement_is_cypher(self):
        text = "MATCH (n\n:Person)\nRETURN n"
        self.assertEqual([s.text for s in split_statements(text)], [text])


# Commands setting parameters, one of them a map over several lines whose
# strings and comments hold brackets, a colon and a semicolon.
PARAMETER_SCRIPT = """RETURN $before;
:param {
  name: 'Tom } Hanks',  // not the end: }
  `the year`: 1999,
  nested: {inner: [1, 2]}
}
:param limit => 10
:params {nested: 1}
  // the statement
MATCH (p:Person {name: $name}) RETURN p LIMIT $limit;
:param `odd ``name` => 'x;y'
RETURN $x;
:param clear
RETURN $x
"""


class CheckScriptTest(ps.TempDirTestCase, unittest.TestCase):
    def test_findings_after_shell_commands_keep_their_positions(self):
        schema = self.write_schema()
        path = self.write("script.cypher", SCRIPT.replace("(m:Movie)", "(m:Movei)"))
        status, out, err = run_cli("check", "--schema", schema, path)
        self.assertEqual((status, err), (1, ""))
        self.assertEqual(
            out.splitlines()[0],
            f"{path}:7:16: error[unknown-label] Unknown node label: :Movei, did you mean :Movie?",
        )
        self.assertIn("3 queries checked, 1 with errors", out)

    def test_parameters_the_script_has_not_set_are_warnings_at_their_place(self):
        schema = self.write_schema()
        text = "MATCH (n:Person) RETURN n LIMIT $top;\n:param limit => 5\n\nMATCH (n:Person)\nRETURN n LIMIT $limt;\n"
        path = self.write("params.cypher", text)
        for jobs in ("1", "2"):
            status, out, err = run_cli("check", "--schema", schema, "--jobs", jobs, path)
            self.assertEqual((status, err), (0, ""))
            self.assertEqual(
                out.splitlines()[0],
                f"{path}:5:16: warning[unknown-parameter] Parameter $limt is not set, did you mean $limit?",
            )
            self.assertIn("2 queries checked, no errors (1 warning)", out)


if __name__ == "__main__":
    unittest.main()
