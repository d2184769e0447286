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

    def test_a_colon_inside_a_statement_is_cypher(self):
        text = "MATCH (n\n:Person)\nRETURN n"
        self.assertEqual([s.text for s in split_statements(text)], [text])


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


if __name__ == "__main__":
    unittest.main()
