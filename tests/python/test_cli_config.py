"""quorvane check's configuration: where it is found, what it sets, how the
command line overrides it, which files a run without FILE arguments checks,
and runs without a schema."""

import json
import os
import unittest

import package_support as ps
from package_support import run_cli

from quorvane import config

BAD_LABEL = "MATCH (m:Movei) RETURN m;\n"
UNBOUND = "RETURN x;\n"


class ConfigTestCase(ps.TempDirTestCase, unittest.TestCase):
    def setUp(self):
        super().setUp()
        self.write_schema("movies.json")

    def toml(self, name, text):
        os.makedirs(os.path.dirname(os.path.join(self.tmp, name)), exist_ok=True)
        return self.write(name, text)

    def run_in(self, folder, *argv, stdin=b""):
        with ps.working_directory(os.path.join(self.tmp, folder)):
            return run_cli("check", *argv, stdin=stdin)


class FindingTheFileTest(ConfigTestCase):
    def test_pyproject_table_is_found_from_the_checked_files_folder_upward(self):
        self.toml("pyproject.toml", '[project]\nname = "x"\n\n[tool.quorvane]\nschema = "movies.json"\n')
        os.makedirs(os.path.join(self.tmp, "a", "b"))
        path = self.write("a/b/q.cypher", BAD_LABEL)
        # Run from elsewhere: the search starts at the file's folder, and the
        # schema path is relative to the configuration file.
        with ps.working_directory(ps.HERE):
            status, out, err = run_cli("check", path)
        self.assertEqual((status, err), (1, ""))
        self.assertIn("error[unknown-label] Unknown node label: :Movei, did you mean :Movie?", out)

    def test_a_pyproject_without_the_table_is_passed_over_and_quorvane_toml_wins(self):
        self.toml("quorvane.toml", 'schema = "movies.json"\nlanguage = "subset"\n')
        os.makedirs(os.path.join(self.tmp, "inner"))
        self.toml("inner/pyproject.toml", '[project]\nname = "inner"\n')
        path = self.write("inner/q.cypher", "MATCH (p:Person) WHERE EXISTS { MATCH (p)-->() } RETURN p")
        status, out, _ = run_cli("check", path)
        self.assertEqual(status, 1)  # the subset does not read EXISTS { ... }
        self.assertIn("syntax-error", out)
        # Both in one folder: quorvane.toml is read.
        self.toml("inner/quorvane.toml", 'language = "extended"\nschema = "../movies.json"\n')
        self.toml("inner/pyproject.toml", '[tool.quorvane]\nlanguage = "subset"\n')
        self.assertEqual(run_cli("check", path)[0], 0)

    def test_found_from_the_working_directory_or_stdin_filename(self):
        self.toml("proj/quorvane.toml", 'schema = "../movies.json"\n')
        self.assertIn("unknown-label", self.run_in("proj", "-", stdin=BAD_LABEL.encode())[1])
        # Elsewhere, --stdin-filename says where standard input belongs.
        status, out, _ = self.run_in(".", "--stdin-filename", "proj/new.cypher", "-", stdin=BAD_LABEL.encode())
        self.assertEqual(status, 1)
        self.assertTrue(out.startswith("proj/new.cypher:1:"), out)
        # ... also without '-': then standard input is read.
        status, out, _ = self.run_in(".", "--stdin-filename", "proj/new.cypher", stdin=BAD_LABEL.encode())
        self.assertEqual(status, 1)
        self.assertTrue(out.startswith("proj/new.cypher:1:"), out)

    def test_config_and_isolated_options(self):
        self.toml("proj/quorvane.toml", 'schema = "../movies.json"\n')
        other = self.toml("other.toml", 'schema = "movies.json"\nignore = ["unknown-label"]\n')
        self.assertEqual(self.run_in("proj", "--config", other, "-", stdin=BAD_LABEL.encode())[0], 0)
        status, _, err = self.run_in("proj", "--isolated", "-", stdin=BAD_LABEL.encode())
        self.assertEqual(status, 0)  # no schema at all: labels are not checked
        self.assertIn("schema checks skipped", err)
        no_table = self.toml("pyproject.toml", "[project]\n")
        status, _, err = self.run_in("proj", "--config", no_table, "-")
        self.assertEqual(status, 2)
        self.assertIn("has no [tool.quorvane] table", err)


class SettingsTest(ConfigTestCase):
    def test_select_and_ignore_from_the_file_and_overridden_on_the_command_line(self):
        self.toml("quorvane.toml", 'schema = "movies.json"\nignore = ["unbound-variable"]\n')
        path = self.write("q.cypher", BAD_LABEL + UNBOUND + "MATCH (n RETURN n")
        codes = lambda out: [line.split("[")[1].split("]")[0] for line in out.splitlines() if "[" in line]  # noqa: E731
        self.assertEqual(codes(self.run_in(".", path)[1]), ["unknown-label", "syntax-error"])
        # An option replaces the file's list.
        self.assertEqual(codes(self.run_in(".", "--ignore", "unknown-label", path)[1]), ["unbound-variable", "syntax-error"])
        self.toml("quorvane.toml", 'schema = "movies.json"\nselect = ["unbound-variable"]\n')
        status, out, _ = self.run_in(".", path)
        self.assertEqual(codes(out), ["unbound-variable", "syntax-error"])  # syntax errors stay
        self.assertEqual(
            codes(self.run_in(".", "--select", "unknown-label,unbound-variable", path)[1]),
            ["unknown-label", "unbound-variable", "syntax-error"],
        )
        self.assertEqual(status, 1)
        # Ignored errors do not fail the run.
        only_label = self.write("label.cypher", BAD_LABEL)
        self.assertEqual(self.run_in(".", "--ignore", "unknown-label", only_label)[:2], (0, "1 query checked, no errors\n"))

    def test_the_command_line_overrides_schema_and_language(self):
        self.toml("quorvane.toml", 'schema = "movies.json"\nlanguage = "subset"\n')
        query = self.write("q.cypher", "MATCH (p:Person) WHERE p:Person RETURN p")
        self.assertEqual(self.run_in(".", query)[0], 1)
        self.assertEqual(self.run_in(".", "--language", "extended", query)[0], 0)
        other = self.write_schema("other.json", {"nodes": {"Movei": []}, "relationships": {}})
        self.assertEqual(self.run_in(".", "--schema", other, self.write("m.cypher", BAD_LABEL))[0], 0)

    def test_bad_files_and_values_name_the_file_and_setting(self):
        cases = [
            ("quorvane.toml", "schema = [1]\n", "quorvane.toml: schema: expected the path of a schema file"),
            ("quorvane.toml", 'language = "cobol"\n', "quorvane.toml: language: expected 'subset' or 'extended', found 'cobol'"),
            ("quorvane.toml", 'select = "unknown-label"\n', "quorvane.toml: select: expected a list of strings"),
            ("quorvane.toml", 'ignore = ["unknown-lable"]\n', "quorvane.toml: ignore: unknown code 'unknown-lable'"),
            ("quorvane.toml", 'scheme = "movies.json"\n', "quorvane.toml: scheme: unknown setting; the settings are: schema, language"),
            ("quorvane.toml", "schema = \n", "quorvane.toml: not valid TOML"),
            ("pyproject.toml", "[tool.quorvane]\nexclude = [1]\n", "pyproject.toml: [tool.quorvane] exclude: expected a list of strings"),
            ("pyproject.toml", "[tool]\nquorvane = 3\n", "pyproject.toml: [tool.quorvane] must be a table"),
        ]
        for name, text, message in cases:
            with self.subTest(text=text):
                for stale in ("quorvane.toml", "pyproject.toml"):
                    if os.path.exists(os.path.join(self.tmp, stale)):
                        os.remove(os.path.join(self.tmp, stale))
                self.toml(name, text)
                status, out, err = self.run_in(".", "-", stdin=b"RETURN 1")
                self.assertEqual((status, out), (2, ""))
                self.assertIn("quorvane: error: bad configuration: " + os.path.join(self.tmp, message), err)


class DiscoveryTest(ConfigTestCase):
    def layout(self):
        for name, text in [
            ("q/a.cypher", BAD_LABEL),
            ("q/sub/b.cql", "MATCH (m:Movie) RETURN m.title"),
            ("q/notes.txt", "MATCH (n RETURN n"),
            (".hidden/c.cypher", "MATCH (n RETURN n"),
            ("q/.d.cypher", "MATCH (n RETURN n"),
            ("generated/e.cypher", "MATCH (n RETURN n"),
            ("q/generated/f.cypher", "MATCH (n RETURN n"),
        ]:
            os.makedirs(os.path.dirname(os.path.join(self.tmp, name)), exist_ok=True)
            self.write(name, text)

    def test_no_files_checks_the_projects_query_files(self):
        self.layout()
        self.toml("pyproject.toml", '[tool.quorvane]\nschema = "movies.json"\nexclude = ["generated/"]\n')
        status, out, _ = self.run_in("q/sub", "--format", "json")
        self.assertEqual(status, 1)
        document = json.loads(out)
        # From a subfolder too, the files below the configuration's folder,
        # shown relative to the working directory when below it.
        self.assertEqual([f["file"] for f in document["files"]], [os.path.join(self.tmp, "q", "a.cypher"), "b.cql"])
        self.assertEqual(document["summary"]["queries"], 2)

    def test_include_and_path_patterns(self):
        self.layout()
        self.toml("quorvane.toml", 'include = ["*.txt", "**/b.cql"]\nexclude = ["q/sub/**"]\n')
        status, out, err = self.run_in(".", "--format", "concise")
        self.assertEqual(status, 1)
        self.assertEqual([line.split(":")[0] for line in out.splitlines()], [os.path.join("q", "notes.txt")])
        self.assertIn("schema checks skipped", err)

    def test_without_configuration_the_working_directory_is_searched(self):
        self.layout()
        status, out, err = self.run_in("q", "--schema", os.path.join(self.tmp, "movies.json"), "--format", "concise")
        self.assertEqual(status, 1)
        # generated/f.cypher is not excluded here.
        self.assertEqual(sorted({line.split(":")[0] for line in out.splitlines()}), ["a.cypher", os.path.join("generated", "f.cypher")])
        empty = os.path.join(self.tmp, "empty")
        os.makedirs(empty)
        status, out, err = self.run_in("empty", "--schema", os.path.join(self.tmp, "movies.json"))
        self.assertEqual((status, out), (0, "0 queries checked, no errors\n"))
        self.assertIn("no query files (*.cypher, *.cql) found", err)

    def test_patterns(self):
        for pattern, path, is_dir, expected in [
            ("*.cypher", "a/b/c.cypher", False, True),
            ("*.cypher", "a/b/c.cql", False, False),
            ("generated/", "x/generated", True, True),
            ("generated/", "x/generated", False, False),
            ("q/*.cypher", "q/a.cypher", False, True),
            ("q/*.cypher", "q/sub/a.cypher", False, False),
            ("q/**/*.cypher", "q/sub/deep/a.cypher", False, True),
            ("q/**/*.cypher", "q/a.cypher", False, True),
            ("**/fixtures", "a/b/fixtures", True, True),
            ("./q/a.cypher", "q/a.cypher", False, True),
            ("[ab].cql", "x/b.cql", False, True),
            ("[!ab].cql", "x/b.cql", False, False),
            ("?.cql", "x/bb.cql", False, False),
        ]:
            with self.subTest(pattern=pattern, path=path):
                self.assertEqual(config.matches(pattern, path, is_dir), expected)


class SchemaFreeTest(ConfigTestCase):
    def test_without_a_schema_only_schema_free_checks_run(self):
        path = self.write("q.cypher", BAD_LABEL + UNBOUND + "MATCH (p:Person)-[:NOPE]->(m) RETURN m.x;\nMATCH (n RETURN n")
        status, out, err = self.run_in(".", "--isolated", path)
        self.assertEqual(status, 1)
        codes = [line.split("[")[1].split("]")[0] for line in out.splitlines() if ": error[" in line]
        self.assertEqual(codes, ["unbound-variable", "syntax-error"])
        self.assertEqual(out.splitlines()[-1], "4 queries checked, 2 with errors: 1 syntax error, 1 schema error")
        # Said once, on stderr.
        self.assertEqual(err.count("schema checks skipped"), 1)
        self.assertEqual(len(err.splitlines()), 1)


if __name__ == "__main__":
    unittest.main()
