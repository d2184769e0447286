"""Module initialisation, class registration and Python conventions."""

import importlib
import sys
import unittest

import _quorvane
import support

CLASSES = ["Schema", "CypherValidator", "ValidationResult", "CypherGenerator", "QueryInfo"]


class ModuleObjectTest(unittest.TestCase):
    def test_importing_again_gives_the_same_module_object(self):
        first = _quorvane
        del sys.modules["_quorvane"]
        try:
            second = importlib.import_module("_quorvane")
        finally:
            sys.modules["_quorvane"] = first
        self.assertIs(first, second)
        self.assertIs(first.Schema, second.Schema)

    def test_names_are_registered_in_order(self):
        names = [n for n in vars(_quorvane) if not n.startswith("__")]
        expected = [
            "Schema", "CypherValidator", "ValidationResult", "CypherGenerator", "QueryInfo",
            "Diagnostic", "Edit", "FixResult", "parse_query",
            # The functions pickles name to rebuild objects, and the code table.
            "_restore_schema", "_restore_validator", "_restore_validation_result",
            "_restore_generator", "_restore_query_info", "_restore_diagnostic", "_restore_edit",
            "_rule_table",
        ]
        self.assertEqual(names, expected)
        for name in expected[9:]:
            self.assertEqual(getattr(_quorvane, name).__module__, "_quorvane")

    def test_module_doc_is_empty(self):
        self.assertEqual(_quorvane.__doc__, "")

    def test_internal_failure_class_is_not_a_module_attribute(self):
        self.assertFalse(hasattr(_quorvane, "InternalError"))

    def test_sub_interpreter_import_is_refused(self):
        proc = support.run_python(
            """
            import _quorvane, os, tempfile
            try:
                import _testcapi
            except ImportError:
                print("no _testcapi")
                raise SystemExit
            path = tempfile.mktemp()
            code = (
                "try:\\n"
                "    import _quorvane\\n"
                "    msg = 'imported'\\n"
                "except ImportError as e:\\n"
                "    msg = 'ImportError: ' + str(e)\\n"
                f"open({path!r}, 'w').write(msg)\\n"
            )
            _testcapi.run_in_subinterp(code)
            print(open(path).read())
            os.unlink(path)
            # The first interpreter still has a working module.
            print(_quorvane.Schema({}, {}))
            """
        )
        self.assertEqual(proc.returncode, 0, proc.stderr)
        if proc.stdout.strip() == "no _testcapi":
            self.skipTest("this interpreter has no _testcapi to start a sub-interpreter")
        first, second = proc.stdout.splitlines()
        self.assertTrue(first.startswith("ImportError: "), first)
        self.assertIn("sub-interpreters", first)
        self.assertEqual(second, "Schema(nodes=[], relationships=[])")


class ClassConventionsTest(unittest.TestCase):
    def test_classes_report_builtins_as_their_module(self):
        for name in CLASSES:
            cls = getattr(_quorvane, name)
            self.assertEqual(cls.__module__, "builtins", name)
            self.assertEqual(cls.__qualname__, name)
            self.assertEqual(cls.__name__, name)

    def test_classes_without_constructor_cannot_be_instantiated(self):
        for cls in (_quorvane.ValidationResult, _quorvane.QueryInfo):
            with self.assertRaises(TypeError):
                cls()
            with self.assertRaises(TypeError):
                cls.__new__(cls)

    def test_classes_are_final_and_immutable(self):
        for name in CLASSES:
            cls = getattr(_quorvane, name)
            with self.assertRaises(TypeError):
                type("Sub", (cls,), {})
            with self.assertRaises(TypeError):
                cls.extra = 1

    def test_instances_take_no_new_attributes(self):
        schema = _quorvane.Schema({}, {})
        with self.assertRaises(AttributeError):
            schema.anything = 1
        result = _quorvane.CypherValidator(schema).validate("RETURN 1")
        with self.assertRaises(AttributeError):
            result.is_valid = False
        info = _quorvane.parse_query("RETURN 1")
        with self.assertRaises(AttributeError):
            info.errors = []

    def test_class_docs_and_signatures(self):
        self.assertEqual(_quorvane.Schema.__text_signature__, "(nodes, relationships)")
        self.assertEqual(_quorvane.Schema.__doc__, "")
        self.assertEqual(_quorvane.CypherValidator.__text_signature__, "(schema, *, language='subset')")
        self.assertEqual(_quorvane.CypherValidator.__doc__, "")

    def test_method_docs_and_signatures(self):
        S = _quorvane.Schema
        expected = {
            S.node_labels: ("($self)", None),
            S.rel_types: ("($self)", None),
            S.has_node_label: ("($self, label)", None),
            S.has_rel_type: ("($self, rel_type)", None),
            S.node_properties: (
                "($self, label)",
                "Return the list of properties declared for a node label.",
            ),
            S.rel_properties: (
                "($self, rel_type)",
                "Return the list of properties declared for a relationship type.",
            ),
            S.rel_endpoints: (
                "($self, rel_type)",
                "Return `(src_label, tgt_label)` for a relationship type, or None if unknown.",
            ),
            S.to_dict: (
                "($self)",
                "Export the schema as a plain Python dict compatible with the Schema constructor.",
            ),
            _quorvane.CypherValidator.validate: ("($self, query, *, parameters=None)", None),
        }
        for method, (signature, doc) in expected.items():
            self.assertEqual(method.__text_signature__, signature, method)
            self.assertEqual(method.__doc__, doc, method)

    def test_from_dict_doc(self):
        self.assertEqual(_quorvane.Schema.from_dict.__text_signature__, "(d)")
        self.assertEqual(
            _quorvane.Schema.from_dict.__doc__,
            "Create a Schema from a plain Python dict (e.g. previously exported with "
            "``to_dict()``).\n\nExample::\n\n    d = {\n"
            '        "nodes": {"Person": ["name", "age"], "Movie": ["title"]},\n'
            '        "relationships": {"ACTED_IN": ("Person", "Movie", ["role"])},\n'
            "    }\n    schema = Schema.from_dict(d)",
        )

    def test_validate_batch_doc(self):
        method = _quorvane.CypherValidator.validate_batch
        self.assertEqual(method.__text_signature__, "($self, queries, *, parameters=None)")
        doc = method.__doc__
        self.assertTrue(
            doc.startswith(
                "Validate multiple queries at once and return one ``ValidationResult`` "
                "per query.\n\n"
            ),
            doc,
        )
        paragraphs = doc.split("\n\n")
        self.assertEqual(len(paragraphs[1].splitlines()), 2)
        self.assertIn("parallel", paragraphs[1])
        self.assertIn("GIL is released", " ".join(paragraphs[1].split()))
        self.assertTrue(paragraphs[1].endswith("so other Python threads can run concurrently."))
        self.assertTrue(
            doc.endswith(
                "Example::\n\n    results = validator.validate_batch([\n"
                '        "MATCH (p:Person) RETURN p",\n'
                '        "MATCH (p:BadLabel) RETURN p",\n'
                "    ])\n    for r in results:\n        print(r.is_valid, r.errors)"
            ),
            doc,
        )

    def test_parse_query_doc(self):
        f = _quorvane.parse_query
        self.assertEqual(f.__text_signature__, "(query, *, language='subset')")
        self.assertEqual(f.__module__, "_quorvane")
        self.assertEqual(
            f.__doc__,
            "Parse a Cypher query and return structural information without requiring a "
            'schema. ``language`` selects the Cypher the query is read as: ``"subset"`` (the '
            'default) or ``"extended"``, which also lists the names used inside subqueries, '
            "predicates and every other clause.\n\nExample::\n\n"
            '    info = parse_query("MATCH (p:Person)-[:ACTED_IN]->(m:Movie) RETURN p.name")\n'
            '    info.is_valid        # True\n'
            '    info.labels_used     # ["Movie", "Person"]\n'
            '    info.rel_types_used  # ["ACTED_IN"]\n'
            '    info.properties_used # ["name"]',
        )

    def test_attribute_docs(self):
        R = _quorvane.ValidationResult
        self.assertEqual(R.is_valid.__doc__, "")
        self.assertEqual(R.errors.__doc__, "All errors (syntax + semantic) combined.")
        self.assertEqual(R.syntax_errors.__doc__, "Parse/syntax errors only.")
        self.assertEqual(R.semantic_errors.__doc__, "Schema-level semantic errors only.")
        Q = _quorvane.QueryInfo
        self.assertEqual(Q.is_valid.__doc__, "True if the query is syntactically valid.")
        self.assertEqual(Q.labels_used.__doc__, "Node labels referenced in the query.")
        self.assertEqual(Q.rel_types_used.__doc__, "Relationship types referenced in the query.")
        self.assertEqual(
            Q.properties_used.__doc__,
            'Property keys accessed in the query (e.g. ``["name", "age"]``).',
        )
        self.assertEqual(Q.errors.__doc__, "Syntax error messages (empty if valid).")


class InternalFailureTest(unittest.TestCase):
    def test_pool_start_failure_raises_the_internal_failure_exception(self):
        # Leave so little address space that no worker stack can be mapped.
        proc = support.run_python(
            """
            import resource, _quorvane
            v = _quorvane.CypherValidator(_quorvane.Schema({}, {}))
            with open("/proc/self/statm") as f:
                size = int(f.read().split()[0]) * resource.getpagesize()
            resource.setrlimit(resource.RLIMIT_AS, (size + (4 << 20), resource.RLIM_INFINITY))
            try:
                v.validate_batch(["RETURN 1"])
                print("no failure")
            except Exception as e:
                print("caught as Exception:", type(e).__name__, e)
            except BaseException as e:
                t = type(e)
                print(t.__module__, t.__name__, t.__bases__[0].__name__)
                print(e.args[0])
            """,
            env={"RAYON_NUM_THREADS": "2"},
        )
        self.assertEqual(proc.returncode, 0, proc.stderr)
        lines = proc.stdout.splitlines()
        self.assertEqual(lines[0], "_quorvane InternalError BaseException", proc.stdout)
        self.assertTrue(
            lines[1].startswith("The global thread pool has not been initialized.: "), lines[1]
        )


if __name__ == "__main__":
    unittest.main()
