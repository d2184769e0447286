"""Argument binding and conversion: the exact TypeError texts."""

import unittest

import _quorvane
import support


class BindingTest(unittest.TestCase):
    def setUp(self):
        self.schema = support.movie_schema()
        self.validator = _quorvane.CypherValidator(self.schema)

    def assertTypeError(self, message, fn, *args, **kwargs):
        with self.assertRaises(TypeError) as cm:
            fn(*args, **kwargs)
        self.assertIs(type(cm.exception), TypeError)
        self.assertEqual(str(cm.exception), message)

    def test_too_many_positional_arguments(self):
        self.assertTypeError(
            "Schema.__new__() takes 2 positional arguments but 3 were given",
            _quorvane.Schema, 1, 2, 3,
        )
        self.assertTypeError(
            "CypherValidator.validate() takes 1 positional arguments but 2 were given",
            self.validator.validate, "a", "b",
        )
        self.assertTypeError(
            "CypherValidator.__new__() takes 1 positional arguments but 2 were given",
            _quorvane.CypherValidator, self.schema, self.schema,
        )
        self.assertTypeError(
            "parse_query() takes 1 positional arguments but 3 were given",
            _quorvane.parse_query, "a", "b", "c",
        )

    def test_missing_arguments_are_listed(self):
        self.assertTypeError(
            "Schema.__new__() missing 2 required positional arguments: 'nodes' and "
            "'relationships'",
            _quorvane.Schema,
        )
        self.assertTypeError(
            "Schema.__new__() missing 1 required positional argument: 'relationships'",
            _quorvane.Schema, {},
        )
        self.assertTypeError(
            "Schema.__new__() missing 1 required positional argument: 'nodes'",
            _quorvane.Schema, relationships={},
        )
        self.assertTypeError(
            "CypherValidator.validate_batch() missing 1 required positional argument: 'queries'",
            self.validator.validate_batch,
        )
        self.assertTypeError(
            "Schema.from_dict() missing 1 required positional argument: 'd'",
            _quorvane.Schema.from_dict,
        )
        self.assertTypeError(
            "parse_query() missing 1 required positional argument: 'query'",
            _quorvane.parse_query,
        )

    def test_unexpected_keyword(self):
        self.assertTypeError(
            "Schema.__new__() got an unexpected keyword argument 'extra'",
            _quorvane.Schema, nodes={}, relationships={}, extra=1,
        )
        self.assertTypeError(
            "Schema.has_node_label() got an unexpected keyword argument 'name'",
            self.schema.has_node_label, name="Person",
        )
        self.assertTypeError(
            "parse_query() got an unexpected keyword argument 'text'",
            _quorvane.parse_query, text="RETURN 1",
        )
        # The keyword is checked before missing parameters are reported.
        self.assertTypeError(
            "CypherValidator.validate() got an unexpected keyword argument 'q'",
            self.validator.validate, q="RETURN 1",
        )

    def test_value_given_twice(self):
        self.assertTypeError(
            "Schema.__new__() got multiple values for argument 'nodes'",
            _quorvane.Schema, {}, {}, nodes={},
        )
        self.assertTypeError(
            "Schema.rel_properties() got multiple values for argument 'rel_type'",
            self.schema.rel_properties, "ACTED_IN", rel_type="ACTED_IN",
        )

    def test_keywords_bind_like_positionals(self):
        schema = _quorvane.Schema(relationships={}, nodes={"A": []})
        self.assertEqual(schema.node_labels(), ["A"])
        validator = _quorvane.CypherValidator(schema=schema)
        self.assertTrue(validator.validate(query="MATCH (a:A) RETURN a").is_valid)
        self.assertEqual(len(validator.validate_batch(queries=["RETURN 1"])), 1)
        self.assertTrue(schema.has_node_label(label="A"))
        self.assertFalse(schema.has_rel_type(rel_type="A"))
        self.assertEqual(schema.node_properties(label="A"), [])
        self.assertEqual(schema.rel_properties(rel_type="X"), [])
        self.assertIsNone(schema.rel_endpoints(rel_type="X"))
        self.assertEqual(_quorvane.Schema.from_dict(d={"nodes": {}, "relationships": {}}).to_dict(),
                         {"nodes": {}, "relationships": {}})
        self.assertTrue(_quorvane.parse_query(query="RETURN 1").is_valid)

    def test_methods_without_parameters_refuse_arguments(self):
        for method in (self.schema.node_labels, self.schema.rel_types, self.schema.to_dict, self.schema.__reduce__):
            with self.assertRaises(TypeError):
                method(1)


class ConversionTest(unittest.TestCase):
    def setUp(self):
        self.schema = support.movie_schema()
        self.validator = _quorvane.CypherValidator(self.schema)

    def assertTypeError(self, message, fn, *args, **kwargs):
        with self.assertRaises(TypeError) as cm:
            fn(*args, **kwargs)
        self.assertEqual(str(cm.exception), message)

    def test_text_parameters(self):
        cases = [
            (self.validator.validate, "query"),
            (_quorvane.parse_query, "query"),
            (self.schema.has_node_label, "label"),
            (self.schema.has_rel_type, "rel_type"),
            (self.schema.node_properties, "label"),
            (self.schema.rel_properties, "rel_type"),
            (self.schema.rel_endpoints, "rel_type"),
            (self.schema.rel_endpoint_pairs, "rel_type"),
        ]
        for fn, name in cases:
            with self.subTest(fn=fn):
                self.assertTypeError(
                    f"argument '{name}': 'int' object cannot be cast as 'str'", fn, 5
                )
                self.assertTypeError(
                    f"argument '{name}': 'bytes' object cannot be cast as 'str'", fn, b"x"
                )
                self.assertTypeError(
                    f"argument '{name}': 'NoneType' object cannot be cast as 'str'", fn, None
                )

    def test_type_names_are_qualified(self):
        class Local:
            pass

        self.assertTypeError(
            "argument 'query': 'ConversionTest.test_type_names_are_qualified.<locals>.Local' "
            "object cannot be cast as 'str'",
            _quorvane.parse_query, Local(),
        )

    def test_str_subclasses_are_accepted(self):
        class Text(str):
            pass

        self.assertTrue(self.validator.validate(Text("MATCH (p:Person) RETURN p")).is_valid)
        self.assertTrue(self.schema.has_node_label(Text("Person")))
        self.assertEqual(_quorvane.parse_query(Text("MATCH (a:A) RETURN a")).labels_used, ["A"])

    def test_dict_parameters(self):
        self.assertTypeError(
            "argument 'nodes': 'list' object cannot be cast as 'dict'", _quorvane.Schema, [], {}
        )
        self.assertTypeError(
            "argument 'relationships': 'tuple' object cannot be cast as 'dict'",
            _quorvane.Schema, {}, (),
        )
        self.assertTypeError(
            "argument 'd': 'list' object cannot be cast as 'dict'", _quorvane.Schema.from_dict, []
        )

    def test_parameters_convert_in_order(self):
        # Both are wrong; the first one is reported.
        self.assertTypeError(
            "argument 'nodes': 'int' object cannot be cast as 'dict'", _quorvane.Schema, 1, 2
        )

    def test_class_instance_parameter(self):
        self.assertTypeError(
            "argument 'schema': 'dict' object cannot be cast as 'Schema'",
            _quorvane.CypherValidator, {},
        )
        self.assertTypeError(
            "argument 'schema': 'CypherValidator' object cannot be cast as 'Schema'",
            _quorvane.CypherValidator, self.validator,
        )

    def test_list_of_texts_parameter(self):
        with self.assertRaises(TypeError) as cm:
            self.validator.validate_batch("MATCH (n) RETURN n")
        self.assertTrue(str(cm.exception).startswith("argument 'queries': "), cm.exception)
        self.assertTypeError(
            "argument 'queries': 'int' object cannot be cast as 'Sequence'",
            self.validator.validate_batch, 5,
        )
        self.assertTypeError(
            "argument 'queries': 'set' object cannot be cast as 'Sequence'",
            self.validator.validate_batch, {"RETURN 1"},
        )
        self.assertTypeError(
            "argument 'queries': 'int' object cannot be cast as 'str'",
            self.validator.validate_batch, ["MATCH (n) RETURN n", 5],
        )

    def test_any_sequence_of_str_is_a_list_of_texts(self):
        class Seq:
            def __init__(self, items):
                self.items = items

            def __len__(self):
                return len(self.items)

            def __getitem__(self, i):
                return self.items[i]

        queries = ["RETURN 1", "MATCH (x:Nope) RETURN x"]
        expected = [support.as_tuple(self.validator.validate(q)) for q in queries]
        for container in (queries, tuple(queries), Seq(queries)):
            got = [support.as_tuple(r) for r in self.validator.validate_batch(container)]
            self.assertEqual(got, expected)

    def test_errors_raised_while_iterating_keep_their_kind(self):
        class Broken:
            def __len__(self):
                return 2

            def __getitem__(self, i):
                if i == 1:
                    raise ValueError("boom")
                return "RETURN 1"

        with self.assertRaises(ValueError) as cm:
            self.validator.validate_batch(Broken())
        self.assertEqual(str(cm.exception), "boom")

        class BrokenType(Broken):
            def __getitem__(self, i):
                raise TypeError("inner")

        self.assertTypeError("argument 'queries': inner", self.validator.validate_batch,
                             BrokenType())

    def test_lone_surrogates_raise_unicode_encode_error_unprefixed(self):
        bad = "MATCH (n:\ud800) RETURN n"
        for call in (
            lambda: self.validator.validate(bad),
            lambda: self.validator.validate_batch(["RETURN 1", bad]),
            lambda: _quorvane.parse_query(bad),
            lambda: self.schema.has_node_label("\udfff"),
        ):
            with self.assertRaises(UnicodeEncodeError) as cm:
                call()
            self.assertFalse(str(cm.exception).startswith("argument"), cm.exception)

    def test_surrogates_in_a_batch_validate_nothing(self):
        # Run where no batch ran before: the pool would be started by any
        # validation, so its threads show whether one happened.
        proc = support.run_python(
            """
            import _quorvane, support
            v = _quorvane.CypherValidator(_quorvane.Schema({}, {}))
            before = support.thread_count()
            try:
                v.validate_batch(["RETURN 1"] * 100 + ["\\ud800"])
            except UnicodeEncodeError:
                print("raised", support.thread_count() - before)
            """,
            env={"RAYON_NUM_THREADS": "2"},
        )
        self.assertEqual(proc.returncode, 0, proc.stderr)
        self.assertEqual(proc.stdout.strip(), "raised 0")


if __name__ == "__main__":
    unittest.main()
