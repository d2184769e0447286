"""quorvane check --fix and --diff, and quorvane rules."""

import json
import unittest

import package_support as ps
from package_support import quorvane, run_cli

BROKEN = (
    "// set-up\n"
    "MATCH (p:Persn) RETURN p.nmae;\n"
    "\n"
    "MATCH (m:Movie)-[:ACTED_IN]->(p:Person) RETURN p;   // turned\n"
    "MATCH (x) RETURN y;\n"
)
FIXED = (
    "// set-up\n"
    "MATCH (p:Person) RETURN p.name;\n"
    "\n"
    "MATCH (m:Movie)<-[:ACTED_IN]-(p:Person) RETURN p;   // turned\n"
    "MATCH (x) RETURN y;\n"
)


class FixTest(ps.TempDirTestCase, unittest.TestCase):
    def setUp(self):
        super().setUp()
        self.schema = self.write_schema()

    def read(self, path):
        with open(path, encoding="utf-8") as f:
            return f.read()

    def test_diff_shows_the_fixes_and_writes_nothing(self):
        path = self.write("q.cypher", BROKEN)
        status, out, err = run_cli("check", "--schema", self.schema, "--diff", path)
        self.assertEqual((status, err), (1, ""))
        self.assertIn("-MATCH (p:Persn) RETURN p.nmae;\n+MATCH (p:Person) RETURN p.name;\n", out)
        self.assertIn("+MATCH (m:Movie)<-[:ACTED_IN]-(p:Person) RETURN p;   // turned\n", out)
        self.assertNotIn("-MATCH (x) RETURN y", out)
        self.assertTrue(out.startswith(f"--- {path}\n+++ {path}\n"), out)
        self.assertEqual(self.read(path), BROKEN)

    def test_fix_rewrites_the_file_and_reports_what_remains(self):
        path = self.write("q.cypher", BROKEN)
        status, out, err = run_cli("check", "--schema", self.schema, "--fix", path)
        self.assertEqual(self.read(path), FIXED)
        self.assertEqual(status, 1)
        self.assertIn("fixed 3 findings", err)
        self.assertEqual(
            out.splitlines()[0], f"{path}:5:18: error[unbound-variable] Variable 'y' is not bound in this scope"
        )
        # Nothing left to fix: a second run changes nothing, --diff agrees.
        self.assertEqual(run_cli("check", "--schema", self.schema, "--diff", path)[:2], (0, ""))

    def test_fix_of_standard_input_writes_the_fixed_text(self):
        status, out, _ = run_cli("check", "--schema", self.schema, "--fix", "-", stdin=BROKEN.encode())
        self.assertEqual((status, out), (0, FIXED))

    def test_fix_and_diff_exclude_each_other(self):
        path = self.write("q.cypher", BROKEN)
        status, _, err = run_cli("check", "--schema", self.schema, "--fix", "--diff", path)
        self.assertEqual(status, 2)
        self.assertIn("not allowed with", err)


class RulesCommandTest(unittest.TestCase):
    def test_text_and_json_list_every_code(self):
        # The module's codes, then those only the command line reports.
        codes = [rule.code for rule in quorvane.rules()] + ["bad-input-line"]
        self.assertNotIn("bad-input-line", [rule.code for rule in quorvane.rules()])
        status, out, _ = run_cli("rules")
        self.assertEqual(status, 0)
        listed = [line.split()[0] for line in out.splitlines() if not line.startswith(" ")]
        self.assertEqual(listed, codes)
        status, out, _ = run_cli("rules", "--format", "json")
        self.assertEqual(status, 0)
        self.assertEqual([r["code"] for r in json.loads(out)], codes)
        self.assertEqual(json.loads(out)[0], quorvane.rules()[0]._asdict())


if __name__ == "__main__":
    unittest.main()
