"""The language server's editor-independent parts: positions in code units,
settings files and editor options, and the findings of whole documents.
(The protocol itself is tested with a real client in tools/test_server_lsp.py.)"""

import os
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

import package_support as ps
from package_support import quorvane

import _quorvane
from quorvane.server.analysis import Analyzer, Edit, Finding, fix_all_edits
from quorvane.server.positions import LineIndex, code_units
from quorvane.server.settings import Settings, SettingsError, apply_options, find_config_file, load_config_file

SCHEMA = _quorvane.Schema.from_dict(ps.MOVIE_SCHEMA)
ENCODINGS = {"utf-8": ("utf-8", 1), "utf-16": ("utf-16-le", 2), "utf-32": ("utf-32-le", 4)}


def units_of(text, encoding):
    codec, width = ENCODINGS[encoding]
    return len(text.encode(codec)) // width


class PositionTest(unittest.TestCase):
    TEXT = "MATCH (p:Person)\r\nWHERE p.name = 'Amélie 🎬 x'\n\nRETURN p;\n🎥"

    def test_every_index_maps_to_its_line_and_code_units_and_back(self):
        index = LineIndex(self.TEXT)
        for encoding in ENCODINGS:
            for i in range(len(self.TEXT) + 1):
                with self.subTest(encoding=encoding, index=i):
                    line = self.TEXT.count("\n", 0, i)
                    line_start = self.TEXT.rfind("\n", 0, i) + 1
                    expected = (line, units_of(self.TEXT[line_start:i], encoding))
                    self.assertEqual(index.position(i, encoding), expected)
                    self.assertEqual(index.index(*expected, encoding), i)

    def test_code_units_of_each_encoding(self):
        for text in ["", "plain", "é", "🎬", "a🎬é\u20ac"]:
            for encoding in ENCODINGS:
                self.assertEqual(code_units(text, encoding), units_of(text, encoding), (text, encoding))

    def test_positions_outside_the_text_are_clamped(self):
        index = LineIndex(self.TEXT)
        self.assertEqual(index.index(99, 0, "utf-16"), len(self.TEXT))
        self.assertEqual(index.index(-1, 5, "utf-16"), 0)
        # Past the end of a line: its end (before the line feed; the carriage
        # return is part of the line).
        self.assertEqual(index.index(0, 500, "utf-16"), self.TEXT.index("\n"))
        self.assertEqual(index.index(0, 500, "utf-32"), self.TEXT.index("\n"))
        # Inside the two units of a character: that character.
        clapper = self.TEXT.index("🎬")
        line_start = self.TEXT.index("\n") + 1
        self.assertEqual(index.index(1, clapper - line_start + 1, "utf-16"), clapper)
        self.assertEqual(index.index(1, clapper - line_start + 3, "utf-8"), clapper)
        self.assertEqual(index.position(10_000, "utf-8"), index.position(len(self.TEXT), "utf-8"))


class SettingsTest(unittest.TestCase):
    def setUp(self):
        self.dir = Path(tempfile.mkdtemp())
        self.addCleanup(lambda: __import__("shutil").rmtree(self.dir))

    def write(self, name, text):
        path = self.dir / name
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_text(text, encoding="utf-8")
        return path

    def test_quorvane_toml_comes_before_a_pyproject_table(self):
        self.assertIsNone(find_config_file(self.dir))
        self.write("pyproject.toml", '[project]\nname = "x"\n')
        self.assertIsNone(find_config_file(self.dir), "a pyproject.toml without [tool.quorvane]")
        pyproject = self.write("pyproject.toml", '[tool.quorvane]\nschema = "s/g.json"\nlanguage = "subset"\n')
        self.assertEqual(find_config_file(self.dir), pyproject)
        self.assertEqual(
            load_config_file(pyproject), Settings(self.dir / "s" / "g.json", "subset", pyproject)
        )
        own = self.write("quorvane.toml", 'schema = "/abs/g.json"\n')
        self.assertEqual(find_config_file(self.dir), own)
        self.assertEqual(load_config_file(own), Settings(Path("/abs/g.json"), "extended", own))

    def test_bad_files_and_values_raise_naming_the_file(self):
        cases = {
            "schema = [1]": "schema must be a path",
            'language = "full"': "language must be 'extended' or 'subset'",
            "schema = ": "not valid TOML",
        }
        for text, expected in cases.items():
            with self.subTest(text=text):
                path = self.write("quorvane.toml", text + "\n")
                with self.assertRaises(SettingsError) as caught:
                    load_config_file(path)
                self.assertIn(expected, str(caught.exception))
                self.assertIn(str(path), str(caught.exception))
        with self.assertRaisesRegex(SettingsError, "cannot read"):
            load_config_file(self.dir / "absent.toml")

    def test_editor_options_override_key_by_key(self):
        base = Settings(Path("/a/g.json"), "subset", None)
        root = Path("/work/space")
        self.assertEqual(apply_options(base, None, root), base)
        self.assertEqual(apply_options(base, ["schema"], root), base)
        self.assertEqual(apply_options(base, {"language": "extended"}, root), Settings(Path("/a/g.json"), "extended"))
        self.assertEqual(
            apply_options(base, {"quorvane": {"schema": "b.json"}}, root), Settings(root / "b.json", "subset")
        )
        self.assertEqual(apply_options(base, {"schema": ""}, root).schema, None)
        self.assertEqual(apply_options(base, {"schema": None}, root).schema, None)
        with self.assertRaisesRegex(SettingsError, "editor settings: language"):
            apply_options(base, {"language": 3}, root)


DOCUMENT = """// people
MATCH (p:Person) RETURN p.name;

MATCH (m:Movei)
RETURN m.title;
MATCH (p:Person) RETURN x;
MATCH (p:Person RETURN p
"""


class AnalyzerTest(unittest.TestCase):
    def test_findings_point_into_the_document(self):
        analysis = Analyzer(SCHEMA).analyze(DOCUMENT)
        self.assertEqual(analysis.statements, 4)
        spans = {f.code: DOCUMENT[f.start : f.end] for f in analysis.findings}
        self.assertEqual(spans, {"unknown-label": "Movei", "unbound-variable": "x", "syntax-error": "RETURN"})
        (syntax,) = [f for f in analysis.findings if f.code == "syntax-error"]
        self.assertEqual(syntax.start, DOCUMENT.index("RETURN p\n"))
        (label,) = [f for f in analysis.findings if f.code == "unknown-label"]
        self.assertEqual(label.edits, (Edit(label.start, label.end, "Movie"),))
        self.assertEqual(label.suggestion, "Movie")

    def test_findings_are_the_diagnostics_of_each_statement_moved_into_the_document(self):
        validator = _quorvane.CypherValidator(SCHEMA, language="extended")
        expected = []
        for statement in quorvane.split_statements(DOCUMENT):
            for d in validator.validate(statement.text).diagnostics:
                edits = [(e.start + statement.offset, e.end + statement.offset, e.replacement) for e in d.edits]
                expected.append((d.code, d.severity, d.message, d.start + statement.offset, d.end + statement.offset, edits))
        found = [
            (f.code, f.severity, f.message, f.start, f.end, [(e.start, e.end, e.replacement) for e in f.edits])
            for f in Analyzer(SCHEMA).analyze(DOCUMENT).findings
        ]
        self.assertEqual(found, expected)
        self.assertEqual(len(found), 3)

    def test_only_statements_whose_text_changed_are_validated_again(self):
        analyzer = Analyzer(SCHEMA)
        self.assertEqual(analyzer.analyze(DOCUMENT).validated, 4)
        self.assertEqual(analyzer.analyze(DOCUMENT).validated, 0)
        edited = DOCUMENT.replace("RETURN m.title", "RETURN m.title, m.released")
        analysis = analyzer.analyze("\n\n" + edited)
        self.assertEqual(analysis.validated, 1)
        # The cached findings moved with their statements.
        self.assertEqual(analysis.findings, [f.shifted(2) for f in Analyzer(SCHEMA).analyze(edited).findings])
        self.assertEqual(analyzer.analyze("RETURN 1; RETURN 2; RETURN 1").validated, 2)

    def test_parameters_set_by_shell_commands_are_known_to_the_statements_after_them(self):
        document = "RETURN $x;\n:param x => 1\nRETURN $x, $y;\n:param y: 2\nRETURN $x, $y"
        analyzer = Analyzer(SCHEMA)
        findings = analyzer.analyze(document).findings
        # Before any :param nothing is known or warned of; then only $y.
        self.assertEqual([(f.code, document[f.start : f.end]) for f in findings], [("unknown-parameter", "$y")])
        self.assertEqual(findings[0].start, document.index("$y"))
        # The same text after other commands is another statement to check.
        self.assertEqual(analyzer.analyze(document.replace(":param y: 2", ":param z: 2")).validated, 1)

    def test_without_a_schema_only_schema_free_findings_remain(self):
        codes = {f.code for f in Analyzer(None).analyze(DOCUMENT).findings}
        self.assertEqual(codes, {"unbound-variable", "syntax-error"})
        subset = Analyzer(None, "subset").analyze("MATCH (n) RETURN n {.name}")
        self.assertEqual([f.code for f in subset.findings], ["syntax-error"])


class FixAllTest(unittest.TestCase):
    @staticmethod
    def finding(*edits):
        return Finding("c", "error", "m", edits[0][0] if edits else 0, 1, None, tuple(Edit(*e) for e in edits))

    def test_fixes_are_taken_whole_in_text_order_without_overlaps(self):
        findings = [
            self.finding((30, 35, "Movie")),
            self.finding(),
            self.finding((2, 4, "->"), (10, 11, "-")),  # one fix of two edits
            self.finding((33, 40, "other")),  # overlaps the first
            self.finding((9, 9, "x"), (50, 51, "y")),  # touches nothing taken before it
            self.finding((10, 12, "z")),  # overlaps the two-edit fix
        ]
        edits = fix_all_edits(findings)
        self.assertEqual(
            [(e.start, e.end, e.replacement) for e in edits],
            [(2, 4, "->"), (9, 9, "x"), (10, 11, "-"), (30, 35, "Movie"), (50, 51, "y")],
        )
        self.assertEqual(fix_all_edits([self.finding((5, 5, "a")), self.finding((5, 5, "b"))]), [Edit(5, 5, "a")])


class ServerCommandTest(unittest.TestCase):
    BLOCK = (
        "import sys\n"
        "class Block:\n"
        "    def find_spec(self, name, path=None, target=None):\n"
        "        if name.split('.')[0] in ('pygls', 'lsprotocol'):\n"
        "            raise ModuleNotFoundError(f'No module named {name!r}', name=name)\n"
        "sys.meta_path.insert(0, Block())\n"
        "from quorvane.cli import main\n"
        "sys.exit(main(['server']))\n"
    )

    def test_without_the_extra_the_command_says_how_to_install_it(self):
        env = dict(os.environ, PYTHONPATH=ps.PYTHONPATH)
        proc = subprocess.run(
            [sys.executable, "-c", self.BLOCK], capture_output=True, text=True, env=env, timeout=60, check=False
        )
        self.assertEqual(proc.returncode, 2, proc.stderr)
        self.assertEqual(proc.stdout, "")
        self.assertEqual(proc.stderr.count("\n"), 1, proc.stderr)
        self.assertIn('pip install "quorvane[server]"', proc.stderr)

    def test_the_command_and_its_stdio_option_parse(self):
        parser = quorvane.cli.build_parser()
        for argv in (["server"], ["server", "--stdio"]):
            self.assertEqual(parser.parse_args(argv).run, quorvane.cli.run_server)


if __name__ == "__main__":
    unittest.main()
