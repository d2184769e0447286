"""The quorvane package: re-exports, packaging metadata, type stubs, schema
files and statement splitting."""

import ast
import inspect
import json
import os
import pathlib
import re
import tomllib
import unittest

import package_support as ps
from package_support import _quorvane, quorvane

MODULE_NAMES = ["Schema", "CypherValidator", "ValidationResult", "CypherGenerator", "QueryInfo",
                "Diagnostic", "Edit", "FixResult", "parse_query"]
PACKAGE_DIR = os.path.dirname(os.path.abspath(quorvane.__file__))
STUB = os.path.join(os.path.dirname(PACKAGE_DIR), "_quorvane.pyi")


class ReExportTest(unittest.TestCase):
    def test_the_module_names_are_the_module_objects(self):
        for name in MODULE_NAMES:
            with self.subTest(name=name):
                self.assertIs(getattr(quorvane, name), getattr(_quorvane, name))

    def test_every_name_in_all_exists(self):
        missing = [n for n in quorvane.__all__ if not hasattr(quorvane, n)]
        self.assertEqual(missing, [])
        self.assertEqual(len(set(quorvane.__all__)), len(quorvane.__all__))

    def test_the_package_adds_its_own_names(self):
        self.assertTrue(issubclass(quorvane.SchemaFileError, ValueError))
        self.assertTrue(callable(quorvane.load_schema))
        self.assertTrue(quorvane.EXAMPLE_SCHEMA.is_file())
        self.assertTrue(quorvane.EXAMPLE_QUERIES.is_file())
        self.assertEqual(quorvane.EXAMPLE_SCHEMA.parent, quorvane.EXAMPLES_DIR)


class PackagingTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with open(os.path.join(ps.REPO, "pyproject.toml"), "rb") as f:
            cls.pyproject = tomllib.load(f)

    def test_one_version_everywhere(self):
        with open(os.path.join(ps.REPO, "CMakeLists.txt"), encoding="utf-8") as f:
            cmake_version = re.search(r"project\(quorvane VERSION ([0-9.]+)", f.read()).group(1)
        self.assertEqual(self.pyproject["project"]["version"], cmake_version)
        self.assertEqual(quorvane.__version__, cmake_version)

    def test_console_script_names_the_command_line_entry(self):
        target = self.pyproject["project"]["scripts"]["quorvane"]
        module_name, _, attribute = target.partition(":")
        module = __import__(module_name, fromlist=[attribute])
        self.assertIs(getattr(module, attribute), ps.main)

    def test_the_build_is_scikit_build_core_with_cmake_installing_everything(self):
        self.assertEqual(self.pyproject["build-system"]["build-backend"], "scikit_build_core.build")
        skbuild = self.pyproject["tool"]["scikit-build"]
        # The CMake install rules place the package; the backend must not copy it again.
        self.assertEqual(skbuild["wheel"]["packages"], [])
        defines = skbuild["cmake"]["define"]
        self.assertEqual(defines["QUORVANE_BUILD_TESTS"], "OFF")
        self.assertEqual(defines["QUORVANE_BUILD_BENCH"], "OFF")
        self.assertEqual(self.pyproject["project"]["requires-python"], ">=3.13")

    def test_package_files_are_in_place(self):
        for name in ["py.typed", "__main__.py", "examples/movies.schema.json", "examples/movies.cypher"]:
            with self.subTest(name=name):
                self.assertTrue(os.path.isfile(os.path.join(PACKAGE_DIR, name)))
        self.assertTrue(os.path.isfile(STUB), STUB)


# ------------------------------------------------------------ type stubs


def stub_signature(node):
    """Parameter names of a stub function, without self/cls."""
    names = [a.arg for a in node.args.posonlyargs + node.args.args + node.args.kwonlyargs]
    return names[1:] if names and names[0] in ("self", "cls") else names


def stub_members(class_node):
    """{name: (kind, parameter names)} of a stub class."""
    members = {}
    for node in class_node.body:
        if isinstance(node, ast.FunctionDef):
            decorators = {d.id for d in node.decorator_list if isinstance(d, ast.Name)}
            kind = "property" if "property" in decorators else "static" if "staticmethod" in decorators else "method"
            members[node.name] = (kind, stub_signature(node))
    return members


def runtime_parameters(obj):
    """Parameter names from a text signature such as "($self, query)"."""
    text = obj.__text_signature__
    if text is None:
        return None
    names = [p.strip() for p in text.strip("()").split(",") if p.strip()]
    return [n.split("=")[0] for n in names if not n.startswith("$") and n not in ("/", "*")]


def runtime_members(cls):
    members = {}
    for name, value in vars(cls).items():
        if name.startswith("__") and name not in ("__bool__", "__len__", "__new__"):
            continue
        if name == "__new__":
            members[name] = ("method", runtime_parameters(cls))
        elif type(value).__name__ == "getset_descriptor":
            members[name] = ("property", [])
        elif isinstance(value, staticmethod):
            members[name] = ("static", runtime_parameters(getattr(cls, name)))
        elif name in ("__bool__", "__len__"):
            members[name] = ("method", [])
        else:
            members[name] = ("method", runtime_parameters(value))
    return members


class StubTest(unittest.TestCase):
    """_quorvane.pyi describes exactly what the module has."""

    @classmethod
    def setUpClass(cls):
        with open(STUB, encoding="utf-8") as f:
            cls.tree = ast.parse(f.read(), STUB)
        cls.classes = {n.name: n for n in cls.tree.body if isinstance(n, ast.ClassDef)}
        cls.functions = {n.name: n for n in cls.tree.body if isinstance(n, ast.FunctionDef)}

    def test_the_stub_and_the_module_have_the_same_public_names(self):
        stub_names = {n for n in list(self.classes) + list(self.functions) if not n.startswith("_")}
        self.assertEqual(stub_names, set(MODULE_NAMES))
        runtime = {n for n in vars(_quorvane) if not n.startswith("_")}
        self.assertEqual(runtime, set(MODULE_NAMES))

    def test_every_class_has_the_same_members_and_parameters(self):
        for name in MODULE_NAMES:
            if name not in self.classes:
                continue
            with self.subTest(cls=name):
                runtime = runtime_members(getattr(_quorvane, name))
                stub = stub_members(self.classes[name])
                for member in ("__bool__", "__len__"):
                    self.assertEqual(member in stub, member in runtime, member)
                self.assertEqual(stub, runtime)

    def test_classes_without_constructor_have_none_in_the_stub(self):
        for name in ["ValidationResult", "QueryInfo"]:
            with self.subTest(cls=name):
                self.assertNotIn("__new__", stub_members(self.classes[name]))
                self.assertNotIn("__init__", stub_members(self.classes[name]))
                with self.assertRaises(TypeError):
                    getattr(_quorvane, name)()

    def test_module_function_parameters(self):
        self.assertEqual(stub_signature(self.functions["parse_query"]), runtime_parameters(_quorvane.parse_query))

    def test_every_stub_definition_is_annotated(self):
        for node in ast.walk(self.tree):
            if isinstance(node, ast.FunctionDef):
                with self.subTest(function=node.name):
                    self.assertIsNotNone(node.returns)
                    params = node.args.posonlyargs + node.args.args + node.args.kwonlyargs
                    for arg in params:
                        if arg.arg not in ("self", "cls"):
                            self.assertIsNotNone(arg.annotation, arg.arg)


class PackageAnnotationTest(unittest.TestCase):
    def test_public_functions_are_fully_annotated(self):
        functions = [
            quorvane.load_schema,
            quorvane.schema_from_json,
            quorvane.schema_from_structured,
            quorvane.split_statements,
            quorvane.SchemaFileError.__init__,
            ps.main,
        ]
        for function in functions:
            with self.subTest(function=function.__qualname__):
                signature = inspect.signature(function)
                self.assertIsNot(signature.return_annotation, inspect.Signature.empty)
                for parameter in signature.parameters.values():
                    if parameter.name != "self":
                        self.assertIsNot(parameter.annotation, inspect.Parameter.empty, parameter.name)


# ---------------------------------------------------------- schema files


class LoadSchemaTest(ps.TempDirTestCase, unittest.TestCase):
    def test_a_schema_file_gives_the_schema(self):
        schema = quorvane.load_schema(self.write_schema())
        self.assertEqual(sorted(schema.node_labels()), ["Movie", "Person"])
        self.assertEqual(schema.node_properties("Person"), ["name", "born"])
        self.assertEqual(schema.rel_endpoints("ACTED_IN"), ("Person", "Movie"))
        self.assertEqual(schema.rel_properties("ACTED_IN"), ["roles"])
        self.assertEqual(schema.rel_properties("DIRECTED"), [])

    def test_paths_may_be_path_objects_and_files_may_start_with_a_bom(self):
        path = self.write("bom.json", b"\xef\xbb\xbf" + json.dumps(ps.MOVIE_SCHEMA).encode())
        schema = quorvane.load_schema(pathlib.Path(path))
        self.assertTrue(schema.has_rel_type("DIRECTED"))

    def test_other_top_level_keys_are_ignored(self):
        doc = dict(ps.MOVIE_SCHEMA, description="movies", version=3)
        schema = quorvane.load_schema(self.write_schema(schema=doc))
        self.assertTrue(schema.has_node_label("Movie"))

    def test_the_example_schema_loads(self):
        schema = quorvane.load_schema(quorvane.EXAMPLE_SCHEMA)
        self.assertEqual(sorted(schema.node_labels()), ["Genre", "Movie", "Person"])
        self.assertEqual(schema.rel_endpoints("IN_GENRE"), ("Movie", "Genre"))

    def test_an_unreadable_file_raises_oserror_naming_it(self):
        missing = os.path.join(self.tmp, "missing.json")
        with self.assertRaises(FileNotFoundError) as caught:
            quorvane.load_schema(missing)
        self.assertEqual(caught.exception.filename, missing)

    def test_bad_content_names_the_file_and_the_entry(self):
        cases = [
            # (file content, entry, detail)
            ("[1, 2]", None, 'expected an object with "nodes" and "relationships", found an array'),
            ('{"relationships": {}}', None, 'missing "nodes": node labels and their property keys'),
            ('{"nodes": {}}', None, 'missing "relationships": relationship types with [source, target, [property keys]]'),
            ('{"nodes": [], "relationships": {}}', "nodes", "expected an object (node labels and their property keys), found an empty array"),
            ('{"nodes": {}, "relationships": null}', "relationships", "expected an object (relationship types with [source, target, [property keys]]), found null"),
            ('{"nodes": {"Person": "name"}, "relationships": {}}', 'nodes["Person"]', 'expected an array of property keys, found the string "name"'),
            ('{"nodes": {"Person": ["name", 3]}, "relationships": {}}', 'nodes["Person"][1]', "expected a property key (a string), found the number 3"),
            ('{"nodes": {"Person": {}}, "relationships": {}}', 'nodes["Person"]', "expected an array of property keys, found an object"),
            ('{"nodes": {"A": [], "A": ["x"]}, "relationships": {}}', "nodes", '"A" is declared twice'),
            ('{"nodes": {}, "nodes": {}, "relationships": {}}', None, '"nodes" appears twice'),
            ('{"nodes": {}, "relationships": {"KNOWS": ["Person", "Person"]}}', 'relationships["KNOWS"]', "expected [source label, target label, [property keys]], found an array"),
            ('{"nodes": {}, "relationships": {"KNOWS": {"source": "Person"}}}', 'relationships["KNOWS"]', 'unknown key "source": expected "endpoints" and "properties"'),
            ('{"nodes": {}, "relationships": {"KNOWS": ["Person", true, []]}}', 'relationships["KNOWS"][1]', "expected a label (a string), found true"),
            ('{"nodes": {}, "relationships": {"KNOWS": ["Person", "Person", "since"]}}', 'relationships["KNOWS"][2]', 'expected an array of property keys, found the string "since"'),
            ('{"nodes": {}, "relationships": {"KNOWS": ["Person", "Person", [null]]}}', 'relationships["KNOWS"][2][0]', "expected a property key (a string), found null"),
        ]
        for content, entry, detail in cases:
            with self.subTest(content=content):
                path = self.write("bad.json", content)
                with self.assertRaises(quorvane.SchemaFileError) as caught:
                    quorvane.load_schema(path)
                e = caught.exception
                self.assertEqual((e.source, e.entry, e.detail), (path, entry, detail))
                where = f"{path}: {entry}" if entry else path
                self.assertEqual(str(e), f"{where}: {detail}")

    def test_invalid_json_gives_its_position(self):
        path = self.write("broken.json", '{\n  "nodes": {}\n  "relationships": {}\n}')
        with self.assertRaises(quorvane.SchemaFileError) as caught:
            quorvane.load_schema(path)
        self.assertEqual(str(caught.exception), f"{path}:3:3: not valid JSON: Expecting ',' delimiter")
        self.assertIsInstance(caught.exception, ValueError)

    def test_text_that_is_not_utf8_is_refused(self):
        path = self.write("latin1.json", '{"nodes": {"Café": []}, "relationships": {}}'.encode("latin-1"))
        with self.assertRaises(quorvane.SchemaFileError) as caught:
            quorvane.load_schema(path)
        self.assertEqual(str(caught.exception), f"{path}: not UTF-8 text (invalid byte at offset 15)")

    def test_schema_from_json_names_its_source(self):
        schema = quorvane.schema_from_json(json.dumps(ps.MOVIE_SCHEMA))
        self.assertTrue(schema.has_node_label("Person"))
        with self.assertRaises(quorvane.SchemaFileError) as caught:
            quorvane.schema_from_json("{}")
        self.assertTrue(str(caught.exception).startswith('<string>: missing "nodes"'))
        with self.assertRaises(quorvane.SchemaFileError) as caught:
            quorvane.schema_from_json("{}", source="inline")
        self.assertEqual(caught.exception.source, "inline")


# -------------------------------------------------------------- splitting


def split(text):
    return [(s.text, s.line, s.column) for s in quorvane.split_statements(text)]


class SplitStatementsTest(unittest.TestCase):
    def test_one_statement_with_or_without_a_final_semicolon(self):
        self.assertEqual(split("MATCH (n) RETURN n"), [("MATCH (n) RETURN n", 1, 1)])
        self.assertEqual(split("MATCH (n) RETURN n;\n"), [("MATCH (n) RETURN n", 1, 1)])

    def test_statements_and_their_positions(self):
        text = "RETURN 1;  RETURN 2;\n\n   MATCH (n)\n   RETURN n;"
        self.assertEqual(
            split(text),
            [("RETURN 1", 1, 1), ("RETURN 2", 1, 12), ("MATCH (n)\n   RETURN n", 3, 4)],
        )

    def test_empty_pieces_and_comments_alone_are_not_statements(self):
        self.assertEqual(split(""), [])
        self.assertEqual(split(" ;; \n;"), [])
        self.assertEqual(split("// only a comment\n/* and ; another */"), [])
        self.assertEqual(split("RETURN 1;;\n// the end\n"), [("RETURN 1", 1, 1)])

    def test_a_statement_starts_after_leading_comments(self):
        text = "// first\n/* a\nblock */ RETURN 1; // trailing\nRETURN 2"
        self.assertEqual(split(text), [("RETURN 1", 3, 10), ("RETURN 2", 4, 1)])

    def test_semicolons_in_strings_do_not_split(self):
        cases = {
            "RETURN 'a;b'; RETURN 2": ["RETURN 'a;b'", "RETURN 2"],
            'RETURN "a;b"; RETURN 2': ['RETURN "a;b"', "RETURN 2"],
            "RETURN 'it\\'s; fine'; RETURN 2": ["RETURN 'it\\'s; fine'", "RETURN 2"],
            'RETURN "say \\"hi;\\""; RETURN 2': ['RETURN "say \\"hi;\\""', "RETURN 2"],
            # An escaped backslash does not protect the closing quote.
            "RETURN 'a\\\\'; RETURN 2": ["RETURN 'a\\\\'", "RETURN 2"],
            "RETURN \"it's;\"; RETURN 2": ["RETURN \"it's;\"", "RETURN 2"],
            "RETURN 'a\n;b'; RETURN 2": ["RETURN 'a\n;b'", "RETURN 2"],
        }
        for text, expected in cases.items():
            with self.subTest(text=text):
                self.assertEqual([s for s, _, _ in split(text)], expected)

    def test_semicolons_in_comments_and_backticks_do_not_split(self):
        cases = {
            "MATCH (n) // no; split\nRETURN n; RETURN 2": ["MATCH (n) // no; split\nRETURN n", "RETURN 2"],
            "MATCH (n) /* no; split */ RETURN n; RETURN 2": ["MATCH (n) /* no; split */ RETURN n", "RETURN 2"],
            "MATCH (n:`a;b`) RETURN n; RETURN 2": ["MATCH (n:`a;b`) RETURN n", "RETURN 2"],
            # A quote inside a comment or backticks opens no string.
            "MATCH (n) // it's\nRETURN n; RETURN 2": ["MATCH (n) // it's\nRETURN n", "RETURN 2"],
            "MATCH (n:`it's`) RETURN n; RETURN '2'": ["MATCH (n:`it's`) RETURN n", "RETURN '2'"],
            # Division is not a comment.
            "RETURN 4 / 2; RETURN 2": ["RETURN 4 / 2", "RETURN 2"],
        }
        for text, expected in cases.items():
            with self.subTest(text=text):
                self.assertEqual([s for s, _, _ in split(text)], expected)

    def test_unclosed_strings_names_and_comments_run_to_the_end(self):
        for text in ["RETURN 'a; RETURN 2", 'RETURN "a; RETURN 2', "MATCH (`a; RETURN 2", "RETURN 1 /* a; RETURN 2"]:
            with self.subTest(text=text):
                self.assertEqual(split(text), [(text, 1, 1)])

    def test_columns_count_characters_and_lines_count_line_feeds(self):
        self.assertEqual(split("RETURN 'é€'; RETURN 2"), [("RETURN 'é€'", 1, 1), ("RETURN 2", 1, 14)])
        self.assertEqual(split("RETURN 1;\r\n\tRETURN 2\r\n"), [("RETURN 1", 1, 1), ("RETURN 2", 2, 2)])

    def test_offsets_point_at_the_statement(self):
        text = "/* x */ RETURN 1 ;\n  MATCH (n) RETURN n ; RETURN 'x;y'"
        statements = quorvane.split_statements(text)
        self.assertEqual(len(statements), 3)
        for statement in statements:
            self.assertTrue(text.startswith(statement.text, statement.offset))
            line_start = text.rfind("\n", 0, statement.offset) + 1
            self.assertEqual(text.count("\n", 0, statement.offset) + 1, statement.line)
            self.assertEqual(statement.offset - line_start + 1, statement.column)

    def test_every_statement_of_a_valid_file_is_accepted_by_the_parser(self):
        with open(quorvane.EXAMPLE_QUERIES, encoding="utf-8") as f:
            statements = quorvane.split_statements(f.read())
        self.assertEqual(len(statements), 8)
        failing = [s.line for s in statements if not quorvane.parse_query(s.text).is_valid]
        # Only the deliberate syntax error of the example fails to parse.
        self.assertEqual(failing, [34])


if __name__ == "__main__":
    unittest.main()
