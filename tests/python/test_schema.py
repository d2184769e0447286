"""The Schema class: construction, the dict form, lookups and repr."""

import unittest

import _quorvane
import support

Schema = _quorvane.Schema


class ConstructionTest(unittest.TestCase):
    def assertTypeError(self, message, fn, *args):
        with self.assertRaises(TypeError) as cm:
            fn(*args)
        self.assertEqual(str(cm.exception), message)

    def test_empty_schema(self):
        s = Schema({}, {})
        self.assertEqual(repr(s), "Schema(nodes=[], relationships=[])")
        self.assertEqual(s.to_dict(), {"nodes": {}, "relationships": {}})
        self.assertEqual(s.node_labels(), [])
        self.assertEqual(s.rel_types(), [])

    def test_property_lists_may_be_any_sequence_but_str(self):
        s = Schema({"Person": ("name", "age"), "Movie": ["title"]}, {})
        self.assertEqual(s.node_properties("Person"), ["name", "age"])
        self.assertTypeError(
            "Expected list[str] for node properties of label 'Person'",
            Schema, {"Person": "name"}, {},
        )
        for bad in ({"name"}, 5, None, ["name", 5], [b"name"], ["ok", "\ud800"]):
            with self.subTest(bad=bad):
                self.assertTypeError(
                    "Expected list[str] for node properties of label 'Person'",
                    Schema, {"Person": bad}, {},
                )

    def test_relationship_values_must_be_three_element_tuples_or_lists(self):
        message = (
            "Expected (str, str, list[str]) for relationship 'KNOWS', "
            "e.g. ('Person', 'Movie', ['role'])"
        )
        for bad in (
            ["Person", "Person"],
            ["Person", "Person", [], []],
            ["Person", 1, []],
            ["Person", "Person", "since"],
            ("Person", "Person"),
            ("Person", "Person", [], []),
            ("Person", 1, []),
            (1, "Person", []),
            ("Person", "Person", "since"),
            ("Person", "Person", [1]),
            "Person",
        ):
            with self.subTest(bad=bad):
                self.assertTypeError(message, Schema, {}, {"KNOWS": bad})

    def test_a_schema_survives_a_round_trip_through_json(self):
        # JSON turns the relationship tuples into lists.
        import json

        s = Schema(
            {"Person": ["name"], "Movie": ["title"]},
            {
                "ACTED_IN": ("Person", "Movie", ["role"]),
                "LIKES": {"endpoints": [("Person", "Movie"), ("Person", "Person")], "properties": []},
            },
        )
        d = json.loads(json.dumps(s.to_dict()))
        self.assertIsInstance(d["relationships"]["ACTED_IN"], list)
        for again in (Schema(**d), Schema.from_dict(d)):
            self.assertEqual(again.to_dict(), s.to_dict())
            self.assertEqual(again.rel_endpoints("ACTED_IN"), ("Person", "Movie"))
            self.assertEqual(again.rel_properties("ACTED_IN"), ["role"])

    def test_tuple_subclasses_are_relationship_values(self):
        import collections

        Rel = collections.namedtuple("Rel", "source target props")
        s = Schema({}, {"KNOWS": Rel("Person", "Person", ("since",))})
        self.assertEqual(s.rel_endpoints("KNOWS"), ("Person", "Person"))
        self.assertEqual(s.rel_properties("KNOWS"), ["since"])

    def test_keys_must_be_str_without_prefix(self):
        self.assertTypeError("'int' object cannot be cast as 'str'", Schema, {1: []}, {})
        self.assertTypeError("'tuple' object cannot be cast as 'str'", Schema, {}, {(1,): ()})

    def test_lone_surrogate_in_a_key_raises_unicode_encode_error(self):
        with self.assertRaises(UnicodeEncodeError):
            Schema({"\ud800": []}, {})

    def test_nodes_are_checked_before_relationships(self):
        self.assertTypeError(
            "Expected list[str] for node properties of label 'B'",
            Schema, {"A": [], "B": 1}, {"R": None},
        )

    def test_dict_subclasses_are_accepted(self):
        class D(dict):
            pass

        s = Schema(D(A=["x"]), D(R=("A", "A", [])))
        self.assertEqual(s.node_labels(), ["A"])
        self.assertEqual(s.rel_types(), ["R"])

    def test_properties_keep_order_and_repeats(self):
        s = Schema({"A": ["z", "a", "z"]}, {"R": ("A", "A", ["y", "b", "y"])})
        self.assertEqual(s.node_properties("A"), ["z", "a", "z"])
        self.assertEqual(s.rel_properties("R"), ["y", "b", "y"])

    def test_mutating_a_dict_while_its_values_are_read_is_safe(self):
        nodes = {"A": None, "B": []}

        class Sneaky:
            def __len__(self):
                return 1

            def __getitem__(self, i):
                if i == 0:
                    nodes.clear()
                    return "x"
                raise IndexError

        nodes["A"] = Sneaky()
        s = Schema(nodes, {})
        self.assertEqual(s.node_properties("A"), ["x"])

    def test_the_schema_is_a_copy_of_the_input(self):
        nodes = {"A": ["x"]}
        s = Schema(nodes, {})
        nodes["A"].append("y")
        nodes["B"] = []
        self.assertEqual(s.node_labels(), ["A"])
        self.assertEqual(s.node_properties("A"), ["x"])


class FromDictTest(unittest.TestCase):
    def test_round_trip(self):
        s = support.movie_schema()
        d = s.to_dict()
        self.assertEqual(Schema.from_dict(d).to_dict(), d)
        self.assertEqual(Schema(d["nodes"], d["relationships"]).to_dict(), d)
        self.assertEqual(list(d), ["nodes", "relationships"])

    def test_missing_keys_in_order(self):
        for d, message in (
            ({}, "'nodes' key missing from dict"),
            ({"relationships": {}}, "'nodes' key missing from dict"),
            ({"nodes": {}}, "'relationships' key missing from dict"),
        ):
            with self.assertRaises(KeyError) as cm:
                Schema.from_dict(d)
            self.assertEqual(cm.exception.args, (message,))

    def test_parts_must_be_dicts(self):
        for d, message in (
            ({"nodes": []}, "'nodes' must be a dict"),
            ({"nodes": [], "relationships": 5}, "'nodes' must be a dict"),
            ({"nodes": {}, "relationships": []}, "'relationships' must be a dict"),
        ):
            with self.assertRaises(TypeError) as cm:
                Schema.from_dict(d)
            self.assertEqual(str(cm.exception), message)

    def test_other_keys_are_ignored_and_it_is_static(self):
        d = {"extra": 1, "nodes": {"A": []}, "relationships": {}}
        self.assertEqual(Schema.from_dict(d).node_labels(), ["A"])
        self.assertEqual(Schema({}, {}).from_dict(d).node_labels(), ["A"])
        self.assertIs(type(Schema.from_dict(d)), Schema)

    def test_shape_errors_pass_through(self):
        with self.assertRaises(TypeError) as cm:
            Schema.from_dict({"nodes": {"A": 1}, "relationships": {}})
        self.assertEqual(str(cm.exception), "Expected list[str] for node properties of label 'A'")


class LookupTest(unittest.TestCase):
    def setUp(self):
        self.s = support.movie_schema()

    def test_enumeration_follows_insertion_order(self):
        self.assertEqual(self.s.node_labels(), list(support.MOVIE_NODES))
        self.assertEqual(self.s.rel_types(), list(support.MOVIE_RELATIONSHIPS))
        self.assertEqual(list(self.s.to_dict()["nodes"]), list(support.MOVIE_NODES))
        self.assertEqual(list(self.s.to_dict()["relationships"]), list(support.MOVIE_RELATIONSHIPS))

    def test_repeated_names_replace_in_place(self):
        # A dict cannot hold a key twice, but str subclasses that are equal
        # as dict keys only when identical can.
        class K(str):
            def __hash__(self):
                return id(self)

            def __eq__(self, other):
                return self is other

        nodes = {K("A"): ["x"], K("B"): [], K("A"): ["y"]}
        s = Schema(nodes, {})
        self.assertEqual(s.node_labels(), ["A", "B"])
        self.assertEqual(s.node_properties("A"), ["y"])

    def test_known_names(self):
        self.assertTrue(self.s.has_node_label("Person"))
        self.assertTrue(self.s.has_rel_type("ACTED_IN"))
        self.assertEqual(self.s.node_properties("Movie"), ["title", "released", "tagline"])
        self.assertEqual(self.s.rel_properties("RATED"), ["rating", "timestamp"])
        self.assertEqual(self.s.rel_endpoints("IN_GENRE"), ("Movie", "Genre"))

    def test_unknown_names_and_case(self):
        self.assertFalse(self.s.has_node_label("person"))
        self.assertFalse(self.s.has_rel_type("acted_in"))
        self.assertFalse(self.s.has_node_label("ACTED_IN"))
        self.assertEqual(self.s.node_properties("UNKNOWN"), [])
        self.assertEqual(self.s.rel_properties("UNKNOWN"), [])
        self.assertIsNone(self.s.rel_endpoints("UNKNOWN"))

    def test_returned_objects_are_new(self):
        first = self.s.node_labels()
        first.append("X")
        self.assertEqual(self.s.node_labels(), list(support.MOVIE_NODES))
        self.assertIsNot(self.s.node_properties("Person"), self.s.node_properties("Person"))
        d = self.s.to_dict()
        d["nodes"]["Person"].append("hacked")
        self.assertEqual(self.s.node_properties("Person"), ["name", "born"])
        self.assertIsInstance(self.s.has_node_label("Person"), bool)


class ReprTest(unittest.TestCase):
    def test_lists_labels_and_types_without_properties(self):
        s = Schema({"Person": ["name"], "Movie": []}, {"ACTED_IN": ("Person", "Movie", ["role"])})
        self.assertEqual(repr(s), 'Schema(nodes=["Person", "Movie"], relationships=["ACTED_IN"])')
        self.assertEqual(str(s), repr(s))

    def test_debug_escapes(self):
        cases = [
            ('a"b', r'"a\"b"'),
            ("a\\b", r'"a\\b"'),
            ("it's", '"it\'s"'),
            ("\0\t\r\n", r'"\0\t\r\n"'),
            ("\x01\x1f\x7f", r'"\u{1}\u{1f}\u{7f}"'),
            ("\x85\xa0", r'"\u{85}\u{a0}"'),
            ("\u200b\u2028\u2029\ue000", r'"\u{200b}\u{2028}\u{2029}\u{e000}"'),
            ("\U000e0001", r'"\u{e0001}"'),
            ("Été 東京 😀", '"Été 東京 😀"'),
            ("a b", '"a b"'),
            ("", '""'),
        ]
        for label, rendered in cases:
            with self.subTest(label=label):
                self.assertEqual(repr(Schema({label: []}, {})),
                                 f"Schema(nodes=[{rendered}], relationships=[])")


if __name__ == "__main__":
    unittest.main()
