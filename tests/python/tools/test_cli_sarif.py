"""quorvane check --output-format sarif, read back with sarif-tools."""

import json
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

from sarif import loader

QUERIES = (
    "MATCH (p:Persn) RETURN p;\n"
    "MATCH (p:Person)\n  RETURN p.nme, x;\n"
    "MATCH (p:Person)-[:ACTED_IN]->(m) RETURN m.nme;\n"
    "MATCH (n RETURN n\n"
)
SCHEMA = {
    "nodes": {"Person": ["name", "born"], "Movie": ["title", "released"]},
    "relationships": {"ACTED_IN": ["Person", "Movie", ["roles"]]},
}


def quorvane(*argv, cwd):
    return subprocess.run(
        [sys.executable, "-m", "quorvane", *argv], cwd=cwd, capture_output=True, text=True, timeout=300
    )


class SarifTest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, self.tmp)
        with open(os.path.join(self.tmp, "schema.json"), "w") as f:
            json.dump(SCHEMA, f)
        os.makedirs(os.path.join(self.tmp, "q"))
        with open(os.path.join(self.tmp, "q", "a.cypher"), "w") as f:
            f.write(QUERIES)

    def test_a_sarif_reader_loads_the_log_with_every_finding(self):
        sarif = quorvane("check", "--schema", "schema.json", "--output-format", "sarif", "q/a.cypher", cwd=self.tmp)
        self.assertEqual(sarif.returncode, 1, sarif.stderr)
        path = os.path.join(self.tmp, "out.sarif")
        with open(path, "w") as f:
            f.write(sarif.stdout)
        concise = quorvane("check", "--schema", "schema.json", "--format", "concise", "q/a.cypher", cwd=self.tmp)
        expected = []
        for line in concise.stdout.splitlines():
            location, rest = line.split(": ", 1)
            file, line_number, _ = location.split(":")
            severity, code = rest.split(" ", 1)[0].rstrip("]").split("[")
            expected.append({"Location": file, "Line": line_number, "Severity": severity, "Code": code,
                             "Description": rest.split(" ", 1)[1]})

        log = loader.load_sarif_file(path)
        self.assertEqual(log.get_distinct_tool_names(), ["quorvane"])
        self.assertEqual(log.get_result_count(), len(expected))
        self.assertEqual(len(expected), 5)
        records = [{k: str(r[k]) for k in ("Location", "Line", "Severity", "Code", "Description")} for r in log.get_records()]
        self.assertEqual(records, expected)
        # Every result's rule is described, with help.
        for code in {e["Code"] for e in expected}:
            (rule,) = log.get_rules_by_id(code)
            self.assertTrue(rule["shortDescription"]["text"])
            self.assertIn("text", rule["help"])

    def test_a_clean_run_is_a_log_without_results(self):
        with open(os.path.join(self.tmp, "q", "a.cypher"), "w") as f:
            f.write("MATCH (p:Person) RETURN p.name")
        sarif = quorvane("check", "--schema", "schema.json", "--output-format", "sarif", "q/a.cypher", cwd=self.tmp)
        self.assertEqual(sarif.returncode, 0, sarif.stderr)
        path = os.path.join(self.tmp, "clean.sarif")
        with open(path, "w") as f:
            f.write(sarif.stdout)
        log = loader.load_sarif_file(path)
        self.assertEqual(log.get_result_count(), 0)
        self.assertGreater(len(json.loads(sarif.stdout)["runs"][0]["tool"]["driver"]["rules"]), 5)


if __name__ == "__main__":
    unittest.main()
